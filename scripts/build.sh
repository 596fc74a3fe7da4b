#!/usr/bin/env bash
# Configures and builds into build/ (or the folder in KELVARIN_BUILD_DIR), with
# warnings as errors and the hardening flags of Debian's own packages, so that
# the package made from it is hardened as theirs are. Flags given as arguments
# (the sanitizer build gives its own) take the place of the hardening flags.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${KELVARIN_BUILD_DIR:-build}"
# Only the hardening of dpkg-buildflags: the build type decides optimisation and
# debug information, and file names stay as they are for the debugger.
deb_flags() {
    DEB_BUILD_MAINT_OPTIONS="hardening=+all reproducible=-all" DEB_CFLAGS_MAINT_STRIP="-g -O2" \
        DEB_CXXFLAGS_MAINT_STRIP="-g -O2" dpkg-buildflags --get "$1"
}
hardening=()
if command -v dpkg-buildflags >/dev/null; then
    hardening=(-DCMAKE_C_FLAGS="$(deb_flags CPPFLAGS) $(deb_flags CFLAGS)"
        -DCMAKE_CXX_FLAGS="$(deb_flags CPPFLAGS) $(deb_flags CXXFLAGS)"
        -DCMAKE_EXE_LINKER_FLAGS="$(deb_flags LDFLAGS)")
fi
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${KELVARIN_BUILD_TYPE:-RelWithDebInfo}" \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "${hardening[@]}" "$@" >/dev/null
cmake --build "$build_dir"
