#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, if any is missing.
set -euo pipefail

# poppler-utils: the object base window's test reads its PDF back with pdftotext.
# dpkg-dev: the hardening flags (dpkg-buildflags) and the package's Depends
# (dpkg-shlibdeps, which CPack runs with file). lintian, appstream and
# desktop-file-utils: the package test's checks. qt6-translations-l10n: Qt's
# own texts in the user's language, which the window's test loads.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev libgl-dev clang
          clang-format fonts-dejavu-core poppler-utils dpkg-dev file lintian appstream
          desktop-file-utils qt6-translations-l10n)
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
