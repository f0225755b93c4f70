# The Krn132 service entry is the worm's but no KernelSvc service exists: only the Krn132 key
# is reported, and only the Krn132 service is reported stopped.
IDENTITY=winxp
SERVICES='HKLM\SYSTEM\CurrentControlSet\Services'
plant() {
    # An idle process keeps the Wine server and its service manager up for the whole run.
    hold_open 'C:\tools\settle.lock'
    sc_create Krn132 'C:\windows\system32\Krn132.EXE'
}
after() {
    reg_has_key "$SERVICES\\Krn132" && fail "the Krn132 key is still there"
    service_exists Krn132 && fail "the Krn132 service is still there"
}
