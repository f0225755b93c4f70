# Two running stand-ins of TROJ_VORN.E; the first has a service key of its base name. The pass
# for variant E deletes and reports that key before it terminates the process, then deletes
# the file; the second, without a key, is terminated and deleted with no key message.
plant() {
    copy_file 'C:\tools\standin-e.exe' 'C:\windows\system32\vorne.exe'
    copy_file 'C:\tools\standin-e.exe' 'C:\windows\system32\vorne2.exe'
    reg_add 'HKLM\SYSTEM\CurrentControlSet\Services\vorne' ImagePath \
        'C:\windows\system32\vorne.exe'
    reg_add 'HKLM\SYSTEM\CurrentControlSet\Services\vorne.exe' ImagePath 'kept'
    start_process 'C:\windows\system32\vorne.exe'
    start_process 'C:\windows\system32\vorne2.exe'
}
after() {
    local name
    for name in vorne.exe vorne2.exe; do
        expect_no_file "$SYSDIR/$name"
        process_running "$name" && fail "$name still runs"
    done
    reg_has_key 'HKLM\SYSTEM\CurrentControlSet\Services\vorne' && fail "the vorne key is still there"
    reg_has_key 'HKLM\SYSTEM\CurrentControlSet\Services\vorne.exe' ||
        fail "the key named with the extension was deleted"
}
