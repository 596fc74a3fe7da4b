#!/usr/bin/env bash
# Takes docs/base-window.png: Kelvarin in demo mode on a virtual display with a
# base file loaded that differs from the simulated console in a few objects,
# after "Read Base", with the object base window showing the learned objects.
# Then docs/base-window-editing.png: the same window while its file column is
# edited, with one number typed that another object holds already and the next
# one being typed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ -z "${KELVARIN_IN_XVFB:-}" ]; then
    "$root/scripts/install-deps.sh" xvfb xauth imagemagick xdotool
    "$root/scripts/build.sh"
    exec env KELVARIN_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work="$(mktemp -d)"
# The demo console's 25 objects (byte1 = n, byte2 = 100), but 7 and 12 hold other
# numbers, 20 is not learned and 30 is learned only in the file.
python3 - "$work/site-backup" <<'EOF'
import struct, sys
records = [(0, 0, 0)] + [(n, 255, 255) for n in range(1, 601)]
for n in range(1, 26):
    records[n] = (n, n % 256, 100 + n // 256)
records[7] = (7, 44, 101)
records[12] = (12, 12, 102)
records[20] = (20, 255, 255)
records[30] = (30, 30, 100)
with open(sys.argv[1], "wb") as out:
    for record in records:
        out.write(struct.pack("<3i", *record))
EOF

XDG_CONFIG_HOME="$work/profile" "$root/${KELVARIN_BUILD_DIR:-build}/app/kelvarin" --demo \
    --log-file "$work/run.log" "$work/site-backup" 2>/dev/null &
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

# The file named on the command line is loaded before the window shows, and
# says so in a message box.
box="$(xdotool search --sync --onlyvisible --name '^Kelvarin$' | head -n 1)"
xdotool windowfocus --sync "$box" key Return
window="$(xdotool search --sync --onlyvisible --name '^site-backup - Kelvarin$' | head -n 1)"
wait_for_line "Подключен порт COM1"
# "Read Base", where the panel places it below the menu and the toolbar.
xdotool mousemove --window "$window" 560 195 click 1
wait_for_line "База объектов прочитана из ПЦН, принято 600 объектов"

xdotool windowfocus --sync "$window" key ctrl+b
base="$(xdotool search --sync --onlyvisible --name '^Object base - Kelvarin$' | head -n 1)"
# Alt+F goes to the filter; Down picks "Learned (console or file)".
xdotool windowfocus --sync "$base" key alt+f Down
sleep 0.5
import -window "$base" "$root/docs/base-window.png"
echo "$root/docs/base-window.png"

# All objects again (Alt+F, Up), find object 26 (Alt+I), into the table and over to
# its file cell; typing there opens the cell's editor.
xdotool windowfocus --sync "$base" key alt+f Up alt+i
xdotool type --delay 50 "26"
xdotool key Tab Right Right
xdotool type --delay 50 "100.025"
xdotool key Return Down
xdotool type --delay 50 "100.02"
sleep 0.5
import -window "$base" "$root/docs/base-window-editing.png"
echo "$root/docs/base-window-editing.png"
