# The worm's Krn132, KernelSvc and WinSvc services on the 95 family, shared by the
# service-worm-win98 and service-worm-winme scenarios: the service checks belong to the NT
# family, so nothing is found and nothing is touched.
SERVICES='HKLM\SYSTEM\CurrentControlSet\Services'
plant() {
    # An idle process keeps the Wine server and its service manager up for the whole run.
    hold_open 'C:\tools\settle.lock'
    sc_create Krn132 'C:\windows\system32\krn132.exe'
    sc_create KernelSvc 'C:\windows\system32\krn132.exe'
    sc_create WinSvc 'C:\windows\system32\WinSvc.exe'
}
after() {
    local name
    for name in Krn132 KernelSvc WinSvc; do
        reg_has_key "$SERVICES\\$name" || fail "the $name key was touched"
        service_exists "$name" || fail "the $name service was touched"
    done
}
