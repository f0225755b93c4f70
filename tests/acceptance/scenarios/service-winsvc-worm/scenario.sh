# The worm's WinSvc service entry alone: its key is deleted and reported, and the service is
# deleted through the service control manager.
IDENTITY=winxp
SERVICES='HKLM\SYSTEM\CurrentControlSet\Services'
plant() {
    # An idle process keeps the Wine server and its service manager up for the whole run.
    hold_open 'C:\tools\settle.lock'
    sc_create WinSvc 'C:\Windows\SYSTEM32\winsvc.exe'
}
after() {
    reg_has_key "$SERVICES\\WinSvc" && fail "the WinSvc key is still there"
    service_exists WinSvc && fail "the WinSvc service is still there"
}
