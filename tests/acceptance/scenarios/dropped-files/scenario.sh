# Dropped files: one read-only and hidden (its attributes are reset, then it is deleted), one
# held open by another process without delete sharing ("delete failed"), two absent.
plant() {
    plant_file 'C:\windows\system32\krn132.exe' worm
    attrib_set 'C:\windows\system32\krn132.exe' +r
    attrib_set 'C:\windows\system32\krn132.exe' +h
    plant_file 'C:\windows\system32\wqk.dll' library
    hold_open 'C:\windows\system32\wqk.dll'
}
after() {
    expect_no_file "$SYSDIR/krn132.exe"
    expect_file "$SYSDIR/wqk.dll"
}
