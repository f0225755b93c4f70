# The AppInit value lists the virus library among others: it does not match and stays.
IDENTITY=winxp
WINDOWS_KEY='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Windows'
plant() {
    reg_add "$WINDOWS_KEY" AppInit_DLLs 'msvcrt.dll,Wqk.dll'
}
after() {
    reg_has_value "$WINDOWS_KEY" AppInit_DLLs || fail "the AppInit value was deleted"
}
