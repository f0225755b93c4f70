# A Run value for wqk.exe together with the AppInit value: only the Run value goes in this
# run, the AppInit value is not looked at.
IDENTITY=winxp
RUN='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
WINDOWS_KEY='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Windows'
plant() {
    reg_add "$RUN" wqk 'C:\windows\system32\wqk.exe'
    reg_add "$WINDOWS_KEY" AppInit_DLLs 'Wqk.dll'
}
after() {
    reg_has_value "$RUN" wqk && fail "the Run value wqk is still there"
    reg_has_value "$WINDOWS_KEY" AppInit_DLLs || fail "the AppInit value was deleted"
}
