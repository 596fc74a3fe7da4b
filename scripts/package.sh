#!/usr/bin/env bash
# Builds, then makes the Debian package kelvarin_<version>_<arch>.deb in the build folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
cd "$root/${KELVARIN_BUILD_DIR:-build}"
cpack -G DEB
ls -1 "$PWD"/kelvarin_*.deb
