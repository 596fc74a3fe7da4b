#!/usr/bin/env bash
# Installs what is missing, builds, checks the format and the layers and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
"$root/scripts/check-format.sh"
"$root/scripts/check-layers.sh"
cd "$root/${KELVARIN_BUILD_DIR:-build}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
