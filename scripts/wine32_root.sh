#!/usr/bin/env bash
# wine32_root.sh [--print]: prepares, once, the private Wine root that runs 32-bit Windows
# programs on this machine, saying what it does, or says that it uses the one there. With
# --print it only prints the root's folder (ready or not).
#
# This machine's kernel cannot run 32-bit ELF programs, so the i386 Wine loader runs under
# user-mode emulation (qemu-i386 of the backports suite; the release's own qemu is far too
# slow for Wine). The root holds the wine32:i386 packages of the installed Wine's version,
# unpacked, never installed: the system's Wine stays as it is. In the root's loader folder
# usr/lib/wine:
#   wine     a script that starts the i386 loader (wine32.elf) under qemu-i386
#   wine64   a real copy of the system's wine64: it boots the prefixes and runs 64-bit programs
# The root lives in the user's cache folder, shared by every checkout, one per Wine version,
# guarded by a lock; it is reused once its ready stamp is there.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
wine_version=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null || true)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/purgekit
root=${PURGEKIT_WINE32_ROOT:-$cache/wine32-$wine_version}
if [ "${1:-}" = --print ]; then
    printf '%s\n' "$root"
    exit 0
fi
[ -n "$wine_version" ] || { echo "wine64 is not installed: run scripts/deps.sh"; exit 1; }
ready=$root/.purgekit-ready
reuse() { echo "Using the private 32-bit Wine root in $root"; exit 0; }
[ -f "$ready" ] && reuse

# Another checkout may be preparing the same root: wait for it, then use what it made.
mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock 9
[ -f "$ready" ] && reuse

echo "Preparing the private 32-bit Wine root (wine32:i386 $wine_version, qemu-i386) in $root"
work=$root.work
rm -rf "$work" "$root"
mkdir -p "$work/apt/etc/preferences.d" "$work/apt/state/lists/partial" \
         "$work/apt/cache/archives/partial" "$work/debs" "$root"
trap 'rm -rf "$work"' EXIT

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
python3 "$here/private_apt_sources.py" "$codename" >"$work/apt/etc/sources.list"
if [ ! -s "$work/apt/etc/sources.list" ]; then
    echo "missing: an APT source for the release '$codename' (main) in /etc/apt/sources.list(.d)"
    exit 1
fi
cat >"$work/apt/apt.conf" <<EOF
APT::Architectures { "amd64"; "i386"; };
Dir::Etc::SourceList "$work/apt/etc/sources.list";
Dir::Etc::SourceParts "$work/apt/etc/sources.list.d";
Dir::Etc::Preferences "$work/apt/etc/preferences";
Dir::Etc::PreferencesParts "$work/apt/etc/preferences.d";
Dir::State::Lists "$work/apt/state/lists";
Dir::Cache "$work/apt/cache";
Dir::Cache::Archives "$work/apt/cache/archives";
Dir::State::status "/var/lib/dpkg/status";
APT::Get::Assume-Yes "true";
EOF
mkdir -p "$work/apt/etc/sources.list.d"
export APT_CONFIG=$work/apt/apt.conf
apt_log=$work/apt.log
apt_step() {
    "$@" >>"$apt_log" 2>&1 || {
        echo "missing: $* failed (the private APT configuration in $work/apt):"
        tail -n 15 "$apt_log"
        trap - EXIT
        exit 1
    }
}
apt_step apt-get update
apt_step apt-get install --download-only --no-install-recommends "wine32:i386=$wine_version"
(cd "$work/debs" && apt_step apt-get download "qemu-user/$codename-backports")

echo "Unpacking the i386 packages and qemu-i386"
count=0
for deb in "$work"/apt/cache/archives/*_i386.deb; do
    [ -e "$deb" ] || continue
    dpkg-deb -x "$deb" "$root"
    count=$((count + 1))
done
[ "$count" -gt 0 ] || { echo "missing: no i386 package was downloaded for wine32:i386"; exit 1; }
mkdir -p "$work/qemu"
dpkg-deb -x "$work"/debs/qemu-user_*.deb "$work/qemu"
[ -x "$work/qemu/usr/bin/qemu-i386" ] || { echo "missing: qemu-i386 in qemu-user ($codename-backports)"; exit 1; }
mkdir -p "$root/qemu"
cp "$work/qemu/usr/bin/qemu-i386" "$root/qemu/qemu-i386"

# The root's own library search paths, so the host's /lib32 libraries are never mixed in.
mkdir -p "$root/etc"
printf 'include /etc/ld.so.conf.d/*.conf\n' >"$root/etc/ld.so.conf"
ldconfig -r "$root"

# Wine's i386 zlib1.dll, stamped as a Wine builtin by the system's libwine (the unpacked
# package has none: its installation script makes it).
zlib=/usr/lib/x86_64-linux-gnu/wine/i386-windows/zlib1.dll
[ -f "$zlib" ] || { echo "missing: $zlib (made when libwine:amd64 is configured)"; exit 1; }
cp "$zlib" "$root/usr/lib/i386-linux-gnu/wine/i386-windows/"

loader=$root/usr/lib/wine
mv "$loader/wine" "$loader/wine32.elf"
cp /usr/lib/wine/wine64 "$loader/wine64"
rm -rf "$root/usr/lib/x86_64-linux-gnu/wine"
mkdir -p "$root/usr/lib/x86_64-linux-gnu"
ln -s /usr/lib/x86_64-linux-gnu/wine "$root/usr/lib/x86_64-linux-gnu/wine"
cat >"$loader/wine" <<EOF
#!/bin/sh
# The i386 Wine loader under user-mode emulation; -0 lets Wine start further 32-bit
# processes through this same script.
export QEMU_LD_PREFIX="$root" WINELOADERNOEXEC=1
exec "$root/qemu/qemu-i386" -0 "$loader/wine" "$loader/wine32.elf" "\$@"
EOF
chmod +x "$loader/wine"

printf '%s\n' "$wine_version" >"$ready"
echo "The private 32-bit Wine root is ready: $loader/wine (32-bit), $loader/wine64 (64-bit)"
