# Two running stand-ins of TROJ_VORN.A in the system folder, one of them as the worm's own
# krn132.exe: the pass for variant A finds, terminates and deletes both; the later passes and
# the dropped-file stage no longer see them.
plant() {
    copy_file 'C:\tools\standin-a.exe' 'C:\windows\system32\krn132.exe'
    copy_file 'C:\tools\standin-a.exe' 'C:\windows\system32\vorna2.exe'
    start_process 'C:\windows\system32\krn132.exe'
    start_process 'C:\windows\system32\vorna2.exe'
}
after() {
    local name
    for name in krn132.exe vorna2.exe; do
        expect_no_file "$SYSDIR/$name"
        process_running "$name" && fail "$name still runs"
    done
}
