#!/usr/bin/env bash
# Usage: test-package.sh BUILD_DIR
# Makes the Debian package of a built tree with cpack, unpacks it with dpkg-deb,
# checks that every file is where a desktop expects it (kelvarin-cli's manual page
# too), and starts the unpacked program offscreen in demo mode until its log says
# that COM1 is connected.
# Works from any folder and leaves nothing behind, so it can run again at once.
set -euo pipefail

build_dir="$(cd "${1:?build folder}" && pwd)"
work="$(mktemp -d)"
pid=""
cleanup() {
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The PNG header gives width and height as big-endian words at bytes 16 and 20.
png_size() {
    local b
    read -r -a b < <(od -An -tu1 -j16 -N8 "$1")
    echo "$(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]))x$(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7]))"
}

cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack could not make the package"; }
packages=("$work"/out/kelvarin_*.deb)
[ ${#packages[@]} -eq 1 ] && [ -f "${packages[0]}" ] || fail "expected one kelvarin_*.deb, found: ${packages[*]}"
deb="${packages[0]}"

[ "$(dpkg-deb -f "$deb" Package)" = kelvarin ] || fail "package name"
for field in Version Maintainer Description Section Depends; do
    [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the control file has no $field"
done
# Every dependency must be a package that exists; on a machine that runs the
# program they are all installed.
IFS=',' read -r -a depends <<<"$(dpkg-deb -f "$deb" Depends)"
for dependency in "${depends[@]}"; do
    name="$(echo "$dependency" | sed -e 's/(.*)//' -e 's/ //g')"
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' ||
        fail "dependency $name is not an installed package"
done
for library in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6printsupport6; do
    [[ " ${depends[*]} " == *"$library"* ]] || fail "Depends lacks $library"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
for program in kelvarin kelvarin-cli kelvarin-sim; do
    [ -x "$root/usr/bin/$program" ] || fail "usr/bin/$program is missing or not executable"
    # An installed program must find Qt where the system keeps it, not in the build tree.
    if readelf -d "$root/usr/bin/$program" | grep -Eq 'RPATH|RUNPATH'; then
        fail "usr/bin/$program carries a library path: $(readelf -d "$root/usr/bin/$program" | grep -E 'RPATH|RUNPATH')"
    fi
done
version="$(dpkg-deb -f "$deb" Version)"
[ "$("$root/usr/bin/kelvarin" --version)" = "Kelvarin $version" ] || fail "kelvarin --version does not say $version"
[ "$("$root/usr/bin/kelvarin-sim" --version)" = "kelvarin-sim $version" ] || fail "kelvarin-sim --version does not say $version"
[ "$("$root/usr/bin/kelvarin-cli" --version)" = "kelvarin-cli $version" ] || fail "kelvarin-cli --version does not say $version"
manual="$root/usr/share/man/man1/kelvarin-cli.1.gz"
[ -f "$manual" ] || fail "the manual page of kelvarin-cli is missing"
gzip -dc "$manual" | grep -q "^\.TH KELVARIN-CLI 1 .*Kelvarin $version" || fail "the manual page does not name version $version"

desktop="$root/usr/share/applications/kelvarin.desktop"
[ -f "$desktop" ] || fail "the desktop entry is missing"
grep -qx 'Type=Application' "$desktop" || fail "desktop entry: Type"
grep -qx 'Icon=kelvarin' "$desktop" || fail "desktop entry: Icon"
exec_program="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
[ -x "$root/usr/bin/$exec_program" ] || fail "desktop entry: Exec names $exec_program, which the package does not hold"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
for size in 16 32 48 64 128 256; do
    icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/kelvarin.png"
    [ -f "$icon" ] || fail "icon ${size}x${size} is missing"
    [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "icon ${size}x${size} is $(png_size "$icon")"
done
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/kelvarin.svg" || fail "the scalable icon is missing"

# The unpacked program, as a user would start it to try it out.
log="$work/run.log"
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/profile" \
    "$root/usr/bin/kelvarin" --demo --log-file "$log" >"$work/output.txt" 2>&1 &
pid=$!
deadline=$((SECONDS + 60))
until grep -qx 'Подключен порт COM1' "$log" 2>/dev/null; do
    kill -0 "$pid" 2>/dev/null || { cat "$work/output.txt" >&2; fail "kelvarin --demo ended before connecting"; }
    [ "$SECONDS" -lt "$deadline" ] || { cat "$work/output.txt" "$log" >&2; fail "no 'Подключен порт COM1' in the log within 60 s"; }
    sleep 0.1
done
echo "The package $(basename "$deb") installs its files in place and its program starts."
