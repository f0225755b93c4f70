# A plain file "Wqk.exe" in the system folder, held open by another process without delete
# sharing, and a Run value of the worm. The dropped-file stage cannot delete the file; the
# inoculation then cannot create that folder ("already exists", no full stop), leaves the file
# untouched, and still reports the system inoculated because the other folders are created.
RUN='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
plant() {
    reg_add "$RUN" krn132 'C:\windows\system32\krn132.exe'
    plant_file 'C:\windows\system32\Wqk.exe' virus
    hold_open 'C:\windows\system32\Wqk.exe'
}
after() {
    [ -f "$SYSDIR/Wqk.exe" ] || fail "the file Wqk.exe is gone or not a file"
    local name
    for name in Krn132.exe Wqk.dll WinSvc.exe; do
        [ -d "$SYSDIR/$name" ] || fail "no blocking folder $name"
    done
}
