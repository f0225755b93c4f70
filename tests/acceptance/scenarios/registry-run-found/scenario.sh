# Run values whose data name krn132.exe, wqk.exe and WinSvc.exe in the system folder, the
# path in mixed letter case: each is found and removed.
IDENTITY=winxp
RUN='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
plant() {
    reg_add "$RUN" krn132 'C:\WINDOWS\system32\Krn132.exe'
    reg_add "$RUN" wqk 'c:\windows\SYSTEM32\WQK.EXE'
    reg_add "$RUN" WinSvc 'C:\Windows\System32\winsvc.exe'
}
after() {
    local name
    for name in krn132 wqk WinSvc; do
        reg_has_value "$RUN" "$name" && fail "the Run value $name is still there"
    done
}
