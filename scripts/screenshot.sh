#!/usr/bin/env bash
# Takes docs/screenshot.png: Kelvarin in demo mode on a virtual display, after
# "Read Base" and "Read Setup" have filled the log.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ -z "${KELVARIN_IN_XVFB:-}" ]; then
    "$root/scripts/install-deps.sh" xvfb xauth imagemagick xdotool
    "$root/scripts/build.sh"
    exec env KELVARIN_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work="$(mktemp -d)"
XDG_CONFIG_HOME="$work/profile" "$root/${KELVARIN_BUILD_DIR:-build}/app/kelvarin" --demo \
    --log-file "$work/run.log" 2>/dev/null &
pid=$!
trap 'kill $pid 2>/dev/null || true; rm -rf "$work"' EXIT

# Waits until the log's last line ends in the given text, for at most 30 s.
wait_for_line() {
    local deadline=$((SECONDS + 30))
    until [[ "$(tail -n 1 "$work/run.log" 2>/dev/null)" == *"$1" ]]; do
        [ "$SECONDS" -lt "$deadline" ] || { echo "no '$1' in the log" >&2; exit 1; }
        sleep 0.1
    done
}
# Presses a button where the panel places it. The panel starts below the menu
# and the toolbar, 50 pixels down with the DejaVu fonts of a Debian desktop.
panel_top=50
click() {
    xdotool mousemove --window "$window" "$1" $((panel_top + $2)) click 1
}

wait_for_line "Подключен порт COM1"
window="$(xdotool search --sync --name ' - Kelvarin$' | head -n 1)"
click 560 145 # Read Base
wait_for_line "База объектов прочитана из ПЦН, принято 600 объектов"
click 550 320 # Read Setup
wait_for_line "Приняты установки от ПЦН версии: 1.05"
import -window "$window" "$root/docs/screenshot.png"
echo "$root/docs/screenshot.png"
