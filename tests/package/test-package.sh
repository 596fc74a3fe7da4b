#!/usr/bin/env bash
# Usage: test-package.sh BUILD_DIR
# Makes the Debian package of a built tree with cpack, has lintian and appstreamcli
# check it, unpacks it with dpkg-deb, checks that every file is where a desktop
# expects it (the manual pages, the copyright and the changelog too), and starts
# the unpacked program offscreen in demo mode until its log says that COM1 is
# connected.
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
# program they are all installed. dpkg-shlibdeps gives each the version of the
# library the programs were linked against.
IFS=',' read -r -a depends <<<"$(dpkg-deb -f "$deb" Depends)"
for dependency in "${depends[@]}"; do
    name="$(echo "$dependency" | sed -e 's/(.*)//' -e 's/ //g')"
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' ||
        fail "dependency $name is not an installed package"
    [[ "$dependency" == *"(>= "* ]] || fail "dependency $name has no version"
done
for library in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6printsupport6; do
    [[ " ${depends[*]} " == *"$library"* ]] || fail "Depends lacks $library"
done
[[ "$(dpkg-deb -f "$deb" Recommends)" == *qt6-translations-l10n* ]] ||
    fail "the package does not recommend Qt's translations"

# Any error or warning of lintian fails; whatever else it says is shown in the
# test's output. On a build from scripts/build.sh it says nothing at all, not
# even at the pedantic and informational levels. A build without Debian's
# hardening flags (a plain cmake configuration) adds hardening-no-bindnow and
# hardening-no-fortify-functions for the three programs at the informational
# level: they depend on the flags of the build, not on the package, so they do
# not fail here.
lintian --pedantic --display-info --fail-on error,warning "$deb" >"$work/lintian.txt" 2>&1 ||
    { cat "$work/lintian.txt" >&2; fail "lintian finds errors or warnings"; }
grep -v 'running with root privileges' "$work/lintian.txt" || true

root="$work/root"
dpkg-deb -x "$deb" "$root"
for program in kelvarin kelvarin-cli kelvarin-sim; do
    [ -x "$root/usr/bin/$program" ] || fail "usr/bin/$program is missing or not executable"
    # An installed program must find Qt where the system keeps it, not in the build tree.
    if readelf -d "$root/usr/bin/$program" | grep -Eq 'RPATH|RUNPATH'; then
        fail "usr/bin/$program carries a library path: $(readelf -d "$root/usr/bin/$program" | grep -E 'RPATH|RUNPATH')"
    fi
    # Debian's executables carry no compiler notes; neither do these.
    if readelf -S "$root/usr/bin/$program" | grep -q '\.comment'; then
        fail "usr/bin/$program keeps its .comment section"
    fi
done
version="$(dpkg-deb -f "$deb" Version)"
[ "$("$root/usr/bin/kelvarin" --version)" = "Kelvarin $version" ] || fail "kelvarin --version does not say $version"
[ "$("$root/usr/bin/kelvarin-sim" --version)" = "kelvarin-sim $version" ] || fail "kelvarin-sim --version does not say $version"
[ "$("$root/usr/bin/kelvarin-cli" --version)" = "kelvarin-cli $version" ] || fail "kelvarin-cli --version does not say $version"
for program in kelvarin kelvarin-cli kelvarin-sim; do
    manual="$root/usr/share/man/man1/$program.1.gz"
    [ -f "$manual" ] || fail "the manual page of $program is missing"
    gzip -dc "$manual" | grep -q "^\.TH ${program^^} 1 .*Kelvarin $version" ||
        fail "the manual page of $program does not name version $version"
done
doc="$root/usr/share/doc/kelvarin"
head -1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file is not in Debian's machine-readable format"
gzip -dc "$doc/changelog.gz" >"$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] ||
    fail "the changelog's newest entry is not version $version"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Maintainer)" = "$(dpkg-deb -f "$deb" Maintainer)" ] ||
    fail "the changelog is signed by another than the package's maintainer"

metainfo="$root/usr/share/metainfo/org.example.kelvarin.metainfo.xml"
[ -f "$metainfo" ] || fail "the AppStream metainfo is missing"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.txt" 2>&1 ||
    { cat "$work/appstream.txt" >&2; fail "appstreamcli finds the metainfo invalid"; }
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo's newest release is not $version"
grep -qx '  <launchable type="desktop-id">kelvarin.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch kelvarin.desktop"

desktop="$root/usr/share/applications/kelvarin.desktop"
[ -f "$desktop" ] || fail "the desktop entry is missing"
grep -qx 'Type=Application' "$desktop" || fail "desktop entry: Type"
grep -qx 'Icon=kelvarin' "$desktop" || fail "desktop entry: Icon"
for key in Keywords 'Name\[ru\]' 'Comment\[ru\]'; do
    grep -q "^$key=." "$desktop" || fail "desktop entry: $key"
done
exec_program="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
[ -x "$root/usr/bin/$exec_program" ] || fail "desktop entry: Exec names $exec_program, which the package does not hold"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
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
