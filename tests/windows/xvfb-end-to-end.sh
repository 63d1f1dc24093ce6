#!/usr/bin/env bash
# The real program on a virtual X screen: it starts full screen with the demo
# picture, a second copy ends silently, a click picks the Hook and a drag bends
# the picture, then Escape and "Nein" end it and the settings are written.
#   xvfb-end-to-end.sh KNETIX DEMO-PICTURE-PROGRAM OUTPUT-FOLDER
set -euo pipefail

for tool in Xvfb xdotool import compare; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/install-deps installs it)"
    exit 77
  fi
done

knetix=$(realpath "$1")
draw=$(realpath "$2")
out=$(realpath -m "$3")
mkdir -p "$out"
work=$(mktemp -d)
xvfb_pid=
knetix_pid=
cleanup() {
  [ -n "$knetix_pid" ] && kill "$knetix_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Waits until N windows titled "Knetix" are visible: the frame, the main
# dialog, and the start-up picture or a message box over them.
wait_windows() {
  for _ in $(seq 400); do
    [ "$(xdotool search --onlyvisible --name '^Knetix$' 2>/dev/null | wc -l)" -eq "$1" ] && return 0
    sleep 0.05
  done
  fail "expected $1 visible windows, saw $(xdotool search --onlyvisible --name '^Knetix$' 2>/dev/null | wc -l)"
}

# A free display of 1024 x 768: the skin's origin is (192, 144).
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

# The program's own settings and lock, away from the user's.
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
"$draw" "$work/picture.bmp"

"$knetix" "$work/picture.bmp" >"$work/knetix.log" 2>&1 &
knetix_pid=$!
wait_windows 3
sleep 0.3
xdotool key space # the start-up picture goes with a key
wait_windows 2
sleep 0.3
import -window root "$out/xvfb-start.png"

# A second copy ends at once without a word and leaves the first running.
second_start=$(date +%s)
timeout 20 "$knetix" >"$work/second.log" 2>&1 || fail "the second copy ended with $?"
[ $(( $(date +%s) - second_start )) -lt 10 ] || fail "the second copy took too long"
kill -0 "$knetix_pid" || fail "the first copy ended"

ox=192
oy=144
# The Hook's picture is 34 x 34 at (22, 88).
xdotool mousemove $((ox + 22 + 17)) $((oy + 88 + 17)) click 1
sleep 0.5
import -window root "$out/xvfb-before.png"
# Drag across the middle of the picture.
xdotool mousemove $((ox + 300)) $((oy + 190)) mousedown 1
for i in $(seq 1 25); do
  xdotool mousemove $((ox + 300 + i * 3)) $((oy + 190 + i))
  sleep 0.02
done
xdotool mouseup 1
sleep 0.5
xdotool mousemove 1000 740 # the circle goes with the pointer
sleep 0.5
import -window root "$out/xvfb-screenshot.png"

# The canvas (354 x 354 at (193, 15)) changed; the skin's title did not.
canvas="354x354+$((ox + 193))+$((oy + 15))"
changed=$(compare -metric AE -crop "$canvas" "$out/xvfb-before.png" "$out/xvfb-screenshot.png" null: 2>&1 || true)
[ "${changed%% *}" -gt 500 ] 2>/dev/null || fail "the drag did not bend the picture ($changed pixels changed)"
corner=$(compare -metric AE -crop "180x40+$ox+$oy" "$out/xvfb-before.png" "$out/xvfb-screenshot.png" null: 2>&1 || true)
[ "${corner%% *}" = 0 ] || fail "the skin changed under the drag ($corner pixels)"
# The screen around the skin is black.
band=$(convert "$out/xvfb-screenshot.png" -crop 180x768+0+0 -format '%[fx:maxima.r+maxima.g+maxima.b]' info:)
[ "$band" = 0 ] || fail "the left band is not black"

# Escape asks to save the changed work; "Nein" ends the program.
xdotool key Escape
wait_windows 3
sleep 0.3
import -window root "$out/xvfb-prompt.png"
xdotool key n
for _ in $(seq 100); do
  kill -0 "$knetix_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$knetix_pid" 2>/dev/null; then
  fail "the program did not end after Escape and Nein"
fi
wait "$knetix_pid" || fail "the program ended with $?"
knetix_pid=

settings="$XDG_CONFIG_HOME/Kavon Software/Knetix.ini"
grep -q '^Tool=move$' "$settings" || fail "the chosen tool was not written to the settings"
grep -q '^PICOPEN=' "$settings" || fail "the folders were not written to the settings"
echo "Screenshots in $out"
