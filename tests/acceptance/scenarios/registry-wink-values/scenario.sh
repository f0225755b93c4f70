# Run values whose names begin with WINK in any letter case, next to one another in
# enumeration order, are deleted without a word; names holding WINK further on, a shorter
# part of it, and the default value stay. They set no found flag: the run reports as on a
# clean system.
IDENTITY=winxp
RUN='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
plant() {
    reg_add "$RUN" WINK1 'C:\windows\wink1.exe'
    reg_add "$RUN" wink 'C:\windows\wink.exe'
    reg_add "$RUN" WiNkXyz 'C:\windows\winkxyz.exe'
    reg_add "$RUN" xWINK 'C:\windows\xwink.exe'
    reg_add "$RUN" WIN 'C:\windows\win.exe'
    win_quiet reg add "$RUN" /ve /d 'C:\windows\default.exe' /f
}
after() {
    local name
    for name in WINK1 wink WiNkXyz; do
        reg_has_value "$RUN" "$name" && fail "the Run value $name is still there"
    done
    for name in xWINK WIN; do
        reg_has_value "$RUN" "$name" || fail "the Run value $name was deleted"
    done
    reg_query "$RUN" /ve && grep -q 'default.exe' <<<"$QUERY_ANSWER" ||
        fail "the default value was deleted"
}
