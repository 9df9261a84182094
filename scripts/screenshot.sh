#!/usr/bin/env bash
# A screenshot of the console as a user sees it: a virtual display (Xvfb :99)
# with a window manager (openbox) and a tray (trayer), the demo log-in.
#   scripts/screenshot.sh <out.png> <langid> [console arguments...]
# langid 9 is English, 25 Russian. SHOT_WAIT=<seconds> waits longer before
# the picture; SHOT_KEYS="key alt+h" sends keys with xdotool first. Leave the
# password out (SHOT_PASSWORD=) to see the connect window.
# Needs: apt-get install xvfb openbox trayer imagemagick xdotool
set -u
[ $# -ge 2 ] || { sed -n '2,8p' "$0"; exit 2; }
out=$(realpath -m "$1"); lang=$2; shift 2
cd "$(dirname "$0")/../build/dist" || exit 1
export DISPLAY=:99
pgrep -f 'Xvfb :99' >/dev/null || { Xvfb :99 -screen 0 1280x800x24 >/dev/null 2>&1 & sleep 1; }
pgrep -x openbox >/dev/null || { openbox >/dev/null 2>&1 & sleep 1; }
pgrep -x trayer >/dev/null || { trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >/dev/null 2>&1 & sleep 1; }
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/rt-shot}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
password=(/password="${SHOT_PASSWORD-demo}")
[ -n "${SHOT_PASSWORD-demo}" ] || password=()
./KorConsole /server=ZANDRELL /user=ZL_USER "${password[@]}" /langid="$lang" "$@" >/tmp/screenshot-console.log 2>&1 &
pid=$!
sleep "${SHOT_WAIT:-4}"
[ -n "${SHOT_KEYS:-}" ] && { xdotool $SHOT_KEYS; sleep 2; }
import -window root "$out"
kill $pid 2>/dev/null; sleep 1; kill -9 $pid 2>/dev/null
echo "$out"
