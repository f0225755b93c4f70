# A harmless program running from the system folder as "WQK.exe" (a copy of the launch tool,
# idling): the first pass finds it by its file name without scanning it (" ---> found
# PE_QUILMO.A"), terminates it and deletes the file.
plant() {
    copy_file 'C:\tools\launch.exe' 'C:\windows\system32\WQK.exe'
    start_process 'C:\windows\system32\WQK.exe' /idle
}
after() {
    expect_no_file "$SYSDIR/WQK.exe"
    process_running WQK.exe && fail "WQK.exe still runs"
}
