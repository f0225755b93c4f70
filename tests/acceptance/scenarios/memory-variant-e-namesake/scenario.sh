# Variant E's worm named after system components. One copy runs as C:\TEMP\alg.exe while the
# alg service of that name starts a clean program of the system folder: the worm is terminated
# and deleted, and the alg key stays. Another runs as C:\TEMP\msdtc.exe while the msdtc service
# starts a dormant copy of the worm in the system folder: that key is deleted and reported.
SERVICES='HKLM\SYSTEM\CurrentControlSet\Services'
plant() {
    win_quiet cmd /c 'if not exist C:\TEMP mkdir C:\TEMP'
    copy_file 'C:\tools\standin-e.exe' 'C:\TEMP\alg.exe'
    copy_file 'C:\tools\standin-e.exe' 'C:\TEMP\msdtc.exe'
    copy_file 'C:\tools\empty.exe' 'C:\windows\system32\alg.exe'
    copy_file 'C:\tools\standin-e.exe' 'C:\windows\system32\msdtc.exe'
    reg_add "$SERVICES\\alg" ImagePath '%SystemRoot%\System32\alg.exe' REG_EXPAND_SZ
    reg_add "$SERVICES\\msdtc" ImagePath '%SystemRoot%\System32\msdtc.exe' REG_EXPAND_SZ
    start_process 'C:\TEMP\alg.exe'
    start_process 'C:\TEMP\msdtc.exe'
}
after() {
    local name
    for name in alg.exe msdtc.exe; do
        expect_no_file "$DRIVE_C/TEMP/$name"
        process_running "$name" && fail "$name still runs"
        expect_file "$SYSDIR/$name"
    done
    reg_has_key "$SERVICES\\alg" || fail "the alg key of a clean program was deleted"
    reg_has_key "$SERVICES\\msdtc" && fail "the msdtc key that starts the worm is still there"
    return 0
}
