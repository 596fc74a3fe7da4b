#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kelvarin with the given arguments.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
exec "$root/${KELVARIN_BUILD_DIR:-build}/app/kelvarin" "$@"
