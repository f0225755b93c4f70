# A running stand-in of TROJ_VORN.C as the worm's read-only WinSvc.exe in the system folder:
# the pass for variant A scans it and passes it over; the pass for variant C finds it,
# terminates it, resets its attributes and deletes it.
plant() {
    copy_file 'C:\tools\standin-c.exe' 'C:\windows\system32\WinSvc.exe'
    attrib_set 'C:\windows\system32\WinSvc.exe' +r
    start_process 'C:\windows\system32\WinSvc.exe'
}
after() {
    expect_no_file "$SYSDIR/WinSvc.exe"
    process_running WinSvc.exe && fail "WinSvc.exe still runs"
}
