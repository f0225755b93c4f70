# Run values that name the worm's and the virus's files in quotes or with an argument: the
# data must be exactly the path, so none of them is found and all stay.
IDENTITY=winxp
RUN='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
plant() {
    reg_add "$RUN" krn132 '"C:\windows\system32\krn132.exe"'
    reg_add "$RUN" wqk 'C:\windows\system32\wqk.exe /run'
    reg_add "$RUN" WinSvc '"C:\windows\system32\WinSvc.exe" -s'
}
after() {
    local name
    for name in krn132 wqk WinSvc; do
        reg_has_value "$RUN" "$name" || fail "the Run value $name was deleted"
    done
}
