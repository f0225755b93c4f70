# The Krn132 service entry is the worm's: its ImagePath names krn132.exe in the system folder
# in mixed letter case. Both service keys go (KernelSvc first), both services are deleted
# through the service control manager, and the WinSvc entry, the worm's as well, is not
# examined in this run.
IDENTITY=winxp
SERVICES='HKLM\SYSTEM\CurrentControlSet\Services'
plant() {
    # An idle process keeps the Wine server and its service manager up for the whole run.
    hold_open 'C:\tools\settle.lock'
    sc_create Krn132 'C:\WINDOWS\System32\KRN132.exe'
    sc_create KernelSvc 'C:\windows\elsewhere\kernel.exe'
    sc_create WinSvc 'C:\windows\system32\WinSvc.exe'
}
after() {
    reg_has_key "$SERVICES\\Krn132" && fail "the Krn132 key is still there"
    reg_has_key "$SERVICES\\KernelSvc" && fail "the KernelSvc key is still there"
    service_exists Krn132 && fail "the Krn132 service is still there"
    service_exists KernelSvc && fail "the KernelSvc service is still there"
    reg_has_key "$SERVICES\\WinSvc" || fail "the WinSvc key was touched"
    service_exists WinSvc || fail "the WinSvc service was touched"
}
