# Machines of a small network, each a Wine prefix with a computer name of its own and one Linux
# folder as its drive S: (the share), for the unattended network test and the demonstration's
# outbreak. Source after prefix_helpers.sh; the caller sets TEMPLATE (the booted template
# prefix), TOOLS_DIR and SAMPLES_DIR (the test tools and stand-ins, copied to C:\tools), SHARE,
# and keeps PREFIXES (each machine's prefix, for removal).

# computer NAME IDENTITY: a new computer; the helpers act on it from now on.
computer() {
    PREFIX=$(wine_new_prefix "$TEMPLATE") || { echo "cannot copy the template prefix"; exit 1; }
    PREFIXES+=("$PREFIX")
    DRIVE_C=$PREFIX/drive_c
    SYSDIR=$(wine_system_folder "$PREFIX")
    NAME=$1
    mkdir -p "$DRIVE_C/tools"
    cp "$TOOLS_DIR"/*.exe "$SAMPLES_DIR"/*.exe "$DRIVE_C/tools/"
    ln -s "$SHARE" "$PREFIX/dosdevices/s:"
    wine_identity "$PREFIX" "$2" || fail "$NAME: cannot set the identity $2"
    boot
}

# boot: the computer starts: a process that stays keeps its Wine server up, and the computer
# name is set as Windows sets it at start-up (Wine would take the host's name).
boot() {
    hold_open 'C:\tools\boot.lock'
    win_quiet reg add 'HKLM\System\CurrentControlSet\Control\ComputerName\ActiveComputerName' \
        /v ComputerName /d "$NAME" /f
}

# reboot: every process of the computer ends with its Wine server, then it boots again.
reboot() {
    WINEPREFIX=$PREFIX "$WINESERVER" -k >/dev/null 2>&1
    WINEPREFIX=$PREFIX "$WINESERVER" -w >/dev/null 2>&1
    boot
}
