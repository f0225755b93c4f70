# A process named "Wqk.exe" that appears only after the pass for variant C has listed the
# processes: the launch tool starts it as soon as the first stand-in of TROJ_VORN.C has been
# terminated by that pass, which then still waits at least four seconds (one for each of the
# four stand-ins, a margin for a loaded machine) before the pass for variant E lists the
# processes. That pass is the first to meet it: " ---> found PE_QUILMO.B", terminated and
# deleted, and the service key named after it is left alone.
plant() {
    copy_file 'C:\tools\standin-c.exe' 'C:\windows\system32\WinSvc.exe'
    copy_file 'C:\tools\standin-c.exe' 'C:\windows\system32\winsvc2.exe'
    copy_file 'C:\tools\standin-c.exe' 'C:\windows\system32\winsvc3.exe'
    copy_file 'C:\tools\standin-c.exe' 'C:\windows\system32\winsvc4.exe'
    copy_file 'C:\tools\launch.exe' 'C:\windows\system32\Wqk.exe'
    reg_add 'HKLM\SYSTEM\CurrentControlSet\Services\Wqk' ImagePath 'C:\windows\system32\Wqk.exe'
    start_process /then 'C:\windows\system32\Wqk.exe' 'C:\windows\system32\WinSvc.exe'
    start_process 'C:\windows\system32\winsvc2.exe'
    start_process 'C:\windows\system32\winsvc3.exe'
    start_process 'C:\windows\system32\winsvc4.exe'
}
after() {
    local name
    for name in WinSvc.exe winsvc2.exe winsvc3.exe winsvc4.exe Wqk.exe; do
        expect_no_file "$SYSDIR/$name"
        process_running "$name" && fail "$name still runs"
    done
    reg_has_key 'HKLM\SYSTEM\CurrentControlSet\Services\Wqk' || fail "the Wqk key was deleted"
}
