# A Run value whose data does not fit the 1024-byte buffer stands before the worm's value in
# enumeration order (Wine lists values by name: "AAA_big" first). It is stepped over, so the
# worm's value is still found and removed; the large value stays.
IDENTITY=winxp
RUN='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
plant() {
    reg_add "$RUN" AAA_big "C:\\$(printf 'x%.0s' $(seq 1 2000)).exe"
    reg_add "$RUN" krn132 'C:\windows\system32\krn132.exe'
}
after() {
    reg_has_value "$RUN" krn132 && fail "the worm's Run value is still there"
    reg_has_value "$RUN" AAA_big || fail "the large value was deleted"
}
