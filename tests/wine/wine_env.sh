# Shell helpers for running Windows programs in throwaway Wine prefixes. Source this file.
# A prefix is never the user's own: every prefix lives in a temporary folder and is removed.

WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINEDEBUG=-all
# No Mono or Gecko installers (there is no network), and no window for any program.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY

# wine_boot_template DIR: boots a fresh prefix in DIR once; later calls reuse it.
wine_boot_template() {
    local dir=$1
    if [ -f "$dir/.purgekit-ready" ]; then
        return 0
    fi
    rm -rf "$dir"
    mkdir -p "$(dirname "$dir")"
    WINEPREFIX=$dir "$WINE64" wineboot -i >/dev/null 2>&1 || return 1
    # Let the server settle, so no second services.exe starts while the first exits.
    WINEPREFIX=$dir "$WINESERVER" -w
    touch "$dir/.purgekit-ready"
}

# wine_new_prefix TEMPLATE: copies the template to a new temporary prefix; prints its path.
wine_new_prefix() {
    local template=$1 root
    root=$(mktemp -d "${TMPDIR:-/tmp}/purgekit-prefix.XXXXXX") || return 1
    cp -a "$template" "$root/prefix" || return 1
    printf '%s\n' "$root/prefix"
}

# wine_drop_prefix PREFIX: ends every process of the prefix and removes it.
wine_drop_prefix() {
    local prefix=$1
    [ -n "$prefix" ] || return 0
    WINEPREFIX=$prefix "$WINESERVER" -k >/dev/null 2>&1
    WINEPREFIX=$prefix "$WINESERVER" -w >/dev/null 2>&1
    case $prefix in
        */purgekit-prefix.*/prefix) rm -rf "$(dirname "$prefix")" ;;
    esac
}

# wine_run PREFIX PROGRAM [ARGS...]: runs a Windows program in the prefix.
wine_run() {
    local prefix=$1
    shift
    WINEPREFIX=$prefix "$WINE64" "$@"
}

# wine_identity PREFIX NAME: sets the Windows version the prefix reports (win98, winxp, ...).
wine_identity() {
    wine_run "$1" reg add 'HKCU\Software\Wine' /v Version /d "$2" /f >/dev/null 2>&1
}
