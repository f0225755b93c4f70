# Shell helpers for running Windows programs in throwaway Wine prefixes. Source this file.
# A prefix is never the user's own: every prefix lives in a temporary folder and is removed.
#
# Two kinds of prefix, each booted once as a template and copied per test:
#   64  booted and driven by the system's wine64 (the 64-bit build's tests)
#   32  booted by the wine64 of the private 32-bit Wine root (scripts/wine32_root.sh), which
#       fills syswow64; its programs run through that root's `wine` (the i386 loader under
#       qemu-i386), so every Windows program a 32-bit test starts is 32-bit, as on a 32-bit
#       Windows. The system's wine64 cannot start 32-bit programs.
# A template records its kind in .purgekit-bits; every copy is driven by the Wine of its kind.

WINE_ENV_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINEDEBUG=-all
# No Mono or Gecko installers (there is no network), and no window for any program: except
# under a display of the test's own (PURGEKIT_XVFB=1, see wine_under_xvfb), where Wine gives a
# hidden new console a console input that takes key records, as Windows does.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
if [ "${PURGEKIT_XVFB:-}" != 1 ]; then
    unset DISPLAY WAYLAND_DISPLAY
fi

# wine_under_xvfb COMMAND [ARGS...]: runs a test command (a script that sources this file)
# with a virtual display of its own (Xvfb), for the whole life of the prefixes it makes. A
# start number drawn at random keeps tests that run at once apart; xvfb-run moves on from a
# number in use.
wine_under_xvfb() {
    PURGEKIT_XVFB=1 xvfb-run -n $((100 + RANDOM % 800)) -a -s "-nolisten tcp" "$@"
}

# wine32_loaders: prints the loader folder of the private 32-bit Wine root; fails, saying
# exactly what is missing, when the root is not ready.
wine32_loaders() {
    local root
    root=$(bash "$WINE_ENV_HERE/../../scripts/wine32_root.sh" --print) || return 1
    if [ ! -f "$root/.purgekit-ready" ] || [ ! -x "$root/usr/lib/wine/wine" ]; then
        echo "missing: the private 32-bit Wine root $root (scripts/deps.sh prepares it)" >&2
        return 1
    fi
    printf '%s\n' "$root/usr/lib/wine"
}

# wine_bits PREFIX: 32 or 64, the kind of the prefix (a prefix of no recorded kind is 64).
wine_bits() {
    if [ -f "$1/.purgekit-bits" ]; then cat "$1/.purgekit-bits"; else echo 64; fi
}

# wine_loader PREFIX: the loader that runs the prefix's programs.
wine_loader() {
    local loaders
    if [ "$(wine_bits "$1")" = 32 ]; then
        loaders=$(wine32_loaders) || return 1
        printf '%s/wine\n' "$loaders"
    else
        printf '%s\n' "$WINE64"
    fi
}

# wine_boot_template DIR [BITS]: boots a fresh prefix of that kind (default 64) in DIR once;
# later calls reuse it.
wine_boot_template() {
    local dir=$1 bits=${2:-64} boot=$WINE64 loaders
    if [ -f "$dir/.purgekit-ready" ] && [ "$(wine_bits "$dir")" = "$bits" ]; then
        return 0
    fi
    if [ "$bits" = 32 ]; then
        loaders=$(wine32_loaders) || return 1
        boot=$loaders/wine64
    fi
    rm -rf "$dir"
    mkdir -p "$(dirname "$dir")"
    WINEPREFIX=$dir WINEARCH=win64 "$boot" wineboot -i >/dev/null 2>&1 || return 1
    # Let the server settle, so no second services.exe starts while the first exits.
    WINEPREFIX=$dir "$WINESERVER" -w
    if [ "$bits" = 32 ] && [ ! -f "$dir/drive_c/windows/syswow64/kernel32.dll" ]; then
        echo "the 32-bit template prefix $dir has no 32-bit system (syswow64)" >&2
        return 1
    fi
    printf '%s\n' "$bits" >"$dir/.purgekit-bits"
    touch "$dir/.purgekit-ready"
}

# wine_new_prefix TEMPLATE: copies the template to a new temporary prefix; prints its path.
# Wine's own program files there (libraries, programs, drivers, code pages) are only ever read
# and never replaced in a test: the copy shares them with the template through hard links (a
# 32-bit prefix holds 1.3 GB of them). Every other file, the registry above all, is the
# copy's own: Wine rewrites those in place.
WINE_SHARED_FILES=(-iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' -o -iname '*.sys' -o
                   -iname '*.nls' -o -iname '*.vxd' -o -iname '*.ocx' -o -iname '*.cpl' -o
                   -iname '*.acm' -o -iname '*.tlb' -o -iname '*.ax')
wine_new_prefix() {
    local template=$1 root own
    [ -f "$template/.purgekit-ready" ] || { echo "no booted template prefix: $template" >&2; return 1; }
    root=$(mktemp -d "${TMPDIR:-/tmp}/purgekit-prefix.XXXXXX") || return 1
    own=$root/own-files
    if ! cp -a -l "$template" "$root/prefix" 2>/dev/null; then
        # Another file system than the template's: no links, a full copy.
        rm -rf "$root/prefix"
        cp -a "$template" "$root/prefix" || return 1
        printf '%s\n' "$root/prefix"
        return 0
    fi
    (cd "$template" && find . -type f ! \( "${WINE_SHARED_FILES[@]}" \) -print0) >"$own" || return 1
    (cd "$root/prefix" && xargs -0 -r rm -f -- <"$own") || return 1
    (cd "$template" && tar --null -T "$own" -cf -) | (cd "$root/prefix" && tar -xpf -) || return 1
    rm -f "$own"
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

# wine_run PREFIX PROGRAM [ARGS...]: runs a Windows program in the prefix with the loader of
# its kind (in a 32-bit prefix, Wine's own tools such as reg.exe and cmd.exe are 32-bit too).
wine_run() {
    local prefix=$1 loader
    shift
    loader=$(wine_loader "$prefix") || return 1
    WINEPREFIX=$prefix "$loader" "$@"
}

# wine_reg PREFIX ARGS...: Wine's reg.exe on the registry view of the prefix's kind. In a
# 32-bit prefix that is the 64-bit reg.exe with /reg:32: the same 32-bit view (HKLM\SOFTWARE
# under Wow6432Node) as the 32-bit reg.exe, started in a fifth of the time under emulation.
wine_reg() {
    local prefix=$1 loaders
    shift
    if [ "$(wine_bits "$prefix")" = 32 ]; then
        loaders=$(wine32_loaders) || return 1
        WINEPREFIX=$prefix "$loaders/wine64" reg "$@" /reg:32
    else
        WINEPREFIX=$prefix "$WINE64" reg "$@"
    fi
}

# wine_sc PREFIX ARGS...: Wine's sc.exe. The service manager and its keys are one for both
# views, so the 64-bit sc.exe serves every prefix (and starts fast under emulation).
wine_sc() {
    local prefix=$1 loader=$WINE64
    shift
    if [ "$(wine_bits "$prefix")" = 32 ]; then
        loader=$(wine32_loaders)/wine64 || return 1
    fi
    WINEPREFIX=$prefix "$loader" sc "$@"
}

# wine_system_folder PREFIX: the Unix folder that the prefix's programs see as
# C:\windows\system32 (syswow64 for 32-bit programs).
wine_system_folder() {
    if [ "$(wine_bits "$1")" = 32 ]; then
        printf '%s\n' "$1/drive_c/windows/syswow64"
    else
        printf '%s\n' "$1/drive_c/windows/system32"
    fi
}

# wine_identity PREFIX NAME: sets the Windows version the prefix reports (win98, winxp, ...).
# On a busy machine reg.exe may fail to start or to get an answer in time: it is tried again,
# up to 5 times a second apart.
wine_identity() {
    local attempt
    for attempt in 1 2 3 4 5; do
        wine_reg "$1" add 'HKCU\Software\Wine' /v Version /d "$2" /f >/dev/null 2>&1 </dev/null &&
            return 0
        sleep 1
    done
    return 1
}
