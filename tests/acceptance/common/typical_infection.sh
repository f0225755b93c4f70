# The typical infection, shared by the typical-infection-* scenarios: the worm (the variant A
# stand-in) runs from the system folder as krn132.exe, a Krn132 service names that file in its
# ImagePath, a KernelSvc service stands beside it, and a Run value starts the worm.
RUN='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
SERVICES='HKLM\SYSTEM\CurrentControlSet\Services'

plant_typical_infection() {
    # An idle process keeps the Wine server and its service manager up for the whole run.
    hold_open 'C:\tools\settle.lock'
    copy_file 'C:\tools\standin-a.exe' 'C:\windows\system32\krn132.exe'
    sc_create Krn132 'C:\windows\system32\krn132.exe'
    sc_create KernelSvc 'C:\windows\system32\krn132.exe'
    reg_add "$RUN" krn132 'C:\windows\system32\krn132.exe'
    start_process 'C:\windows\system32\krn132.exe'
}

# expect_blocking_folders NAME...: each stands in the system folder as a folder.
expect_blocking_folders() {
    local name
    for name in "$@"; do
        [ -d "$SYSDIR/$name" ] || fail "no blocking folder $name"
    done
}

# On the NT family everything of the infection is gone.
expect_infection_removed() {
    process_running krn132.exe && fail "the worm still runs"
    expect_no_file "$SYSDIR/krn132.exe"
    reg_has_value "$RUN" krn132 && fail "the Run value krn132 is still there"
    reg_has_key "$SERVICES\\Krn132" && fail "the Krn132 key is still there"
    reg_has_key "$SERVICES\\KernelSvc" && fail "the KernelSvc key is still there"
    service_exists Krn132 && fail "the Krn132 service is still there"
    service_exists KernelSvc && fail "the KernelSvc service is still there"
    return 0
}

# On the 95 family the services are not examined, and the passes list processes through
# Toolhelp, whose names under Wine are bare file names: the worm is neither scanned nor
# terminated and its running file stays. The Run value is removed; the inoculation meets the
# worm's file under the folder name Krn132.exe and makes the other two folders.
expect_95_family_outcome() {
    process_running krn132.exe || fail "the worm no longer runs"
    [ -f "$SYSDIR/krn132.exe" ] || fail "the worm's file is gone or not a file"
    reg_has_value "$RUN" krn132 && fail "the Run value krn132 is still there"
    reg_has_key "$SERVICES\\Krn132" || fail "the Krn132 key was touched"
    reg_has_key "$SERVICES\\KernelSvc" || fail "the KernelSvc key was touched"
    expect_blocking_folders Wqk.exe WinSvc.exe
    expect_no_wqk_dll
}

# Wqk.dll is made only on Windows 2000 and later.
expect_no_wqk_dll() {
    [ -e "$SYSDIR/Wqk.dll" ] && fail "Wqk.dll was made before Windows 2000"
    return 0
}
