# Under the win98 identity the passes list processes through Toolhelp. Wine's Toolhelp gives
# bare file names in szExeFile, where Windows 98 gives full paths: no name holds a backslash,
# so every process gets its scanning line and nothing more. Nothing is scanned, identified,
# terminated or deleted, no service key is touched; the dropped-file stage then cannot delete
# the running images ("delete failed").
IDENTITY=win98
plant() {
    copy_file 'C:\tools\standin-a.exe' 'C:\windows\system32\krn132.exe'
    copy_file 'C:\tools\standin-c.exe' 'C:\windows\system32\WinSvc.exe'
    attrib_set 'C:\windows\system32\WinSvc.exe' +r
    copy_file 'C:\tools\standin-e.exe' 'C:\windows\system32\vorne.exe'
    copy_file 'C:\tools\launch.exe' 'C:\windows\system32\WQK.exe'
    reg_add 'HKLM\SYSTEM\CurrentControlSet\Services\vorne' ImagePath \
        'C:\windows\system32\vorne.exe'
    start_process 'C:\windows\system32\krn132.exe'
    start_process 'C:\windows\system32\WinSvc.exe'
    start_process 'C:\windows\system32\vorne.exe'
    start_process 'C:\windows\system32\WQK.exe' /idle
}
after() {
    local name
    for name in krn132.exe WinSvc.exe vorne.exe WQK.exe; do
        expect_file "$SYSDIR/$name"
        process_running "$name" || fail "$name no longer runs"
    done
    reg_has_key 'HKLM\SYSTEM\CurrentControlSet\Services\vorne' || fail "the vorne key was deleted"
}
