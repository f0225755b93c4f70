# The AppInit value whose data is exactly the virus library's name: removed as a whole.
IDENTITY=winxp
WINDOWS_KEY='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Windows'
plant() {
    reg_add "$WINDOWS_KEY" AppInit_DLLs 'Wqk.dll'
}
after() {
    reg_has_value "$WINDOWS_KEY" AppInit_DLLs && fail "the AppInit value is still there"
}
