#!/usr/bin/env bash
# The real program on a virtual X screen: it starts full screen, a second
# start hands it the demo picture and ends silently, a click picks the Hook and a drag bends
# the picture, then Escape and "Nein" end it and the settings are written;
# a second run ends on SIGTERM, which writes the settings too.
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

# Waits for a condition (a command) to hold, at most a generous minute: on a
# busy machine the program and the X server are slow, never wrong.
wait_for() {
  local what=$1
  shift
  local until=$((SECONDS + 60))
  until "$@"; do
    [ "$SECONDS" -lt "$until" ] || fail "$what"
    sleep 0.05
  done
}

# The visible windows titled "Knetix", bottom to top: the frame, the main
# dialog, and the start-up picture or a message box over them.
knetix_windows() {
  xdotool search --onlyvisible --name '^Knetix$' 2>/dev/null || true
}
windows_shown() {
  [ "$(knetix_windows | wc -l)" -eq "$1" ]
}
wait_windows() {
  wait_for "expected $1 visible windows" windows_shown "$1"
}
# The topmost window (the start-up picture, the dialog or a message box) has
# the keyboard: a key sent before would go to another window.
top_has_focus() {
  local top
  top=$(knetix_windows | tail -n 1)
  [ -n "$top" ] && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$top" ]
}

# Pixels that differ inside a region (WxH+X+Y) of two screenshots.
changed_pixels() {
  local n
  n=$(compare -metric AE -crop "$1" "$2" "$3" null: 2>&1 || true)
  echo "${n%% *}"
}

# Screenshots until two in a row are the same: the program has drawn what its
# last events asked for.
settled_shot() {
  local until=$((SECONDS + 60))
  import -window root "$1"
  for (( ; ; )); do
    import -window root "$work/shot.png"
    if [ "$(changed_pixels 1024x768+0+0 "$1" "$work/shot.png")" = 0 ]; then
      rm "$work/shot.png"
      return 0
    fi
    mv "$work/shot.png" "$1"
    [ "$SECONDS" -lt "$until" ] || fail "the screen did not settle"
  done
}

# A free display of 1024 x 768: the skin's origin is (192, 144). Without
# -noreset the server resets whenever its last client leaves, and a program
# connecting just then (while xdotool polls) is turned away.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for "Xvfb did not start" test -s "$work/display"
export DISPLAY=":$(head -n1 "$work/display")"
takes_clients() {
  xdotool getmouselocation >/dev/null 2>&1
}
wait_for "Xvfb does not take clients" takes_clients

# The program's own settings and lock, away from the user's.
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
"$draw" "$work/picture.bmp"

ox=192
oy=144
# The canvas is 354 x 354 at (193, 15) of the skin.
canvas="354x354+$((ox + 193))+$((oy + 15))"
picture_shown() {
  local light
  import -window root "$work/shown.png"
  light=$(convert "$work/shown.png" -crop "$canvas" -format '%[fx:maxima.r+maxima.g+maxima.b]' info:)
  [ -n "$light" ] && [ "$light" != 0 ]
}

# The first start shows its hint on the empty canvas.
"$knetix" >"$work/knetix.log" 2>&1 &
knetix_pid=$!
wait_windows 3
wait_for "the start-up picture did not get the keyboard" top_has_focus
xdotool key space # the start-up picture goes with a key
wait_windows 2
settled_shot "$out/xvfb-empty.png"

# A second start hands its file to the first and ends without a word; the
# first comes to the front and shows the picture.
timeout 60 "$knetix" "$work/picture.bmp" >"$work/second.log" 2>&1 || fail "the second copy ended with $?"
kill -0 "$knetix_pid" || fail "the first copy ended"
wait_for "the picture handed over by a second start is not shown" picture_shown
settled_shot "$out/xvfb-start.png"

# The Hook's picture is 34 x 34 at (22, 88).
xdotool mousemove $((ox + 22 + 17)) $((oy + 88 + 17)) click 1
settled_shot "$out/xvfb-before.png"
# Drag across the middle of the picture.
xdotool mousemove $((ox + 300)) $((oy + 190)) mousedown 1
for i in $(seq 1 25); do
  xdotool mousemove $((ox + 300 + i * 3)) $((oy + 190 + i))
  sleep 0.02
done
xdotool mouseup 1
xdotool mousemove 1000 740 # the circle goes with the pointer
bent() {
  settled_shot "$out/xvfb-screenshot.png"
  [ "$(changed_pixels "$canvas" "$out/xvfb-before.png" "$out/xvfb-screenshot.png")" -gt 500 ] 2>/dev/null
}
wait_for "the drag did not bend the picture" bent

# The skin's title did not change under the drag.
corner=$(changed_pixels "180x40+$ox+$oy" "$out/xvfb-before.png" "$out/xvfb-screenshot.png")
[ "$corner" = 0 ] || fail "the skin changed under the drag ($corner pixels)"
# The screen around the skin is black.
band=$(convert "$out/xvfb-screenshot.png" -crop 180x768+0+0 -format '%[fx:maxima.r+maxima.g+maxima.b]' info:)
[ "$band" = 0 ] || fail "the left band is not black"

# Escape asks to save the changed work; "Nein" ends the program. The click
# on the Hook gave the dialog the keyboard.
wait_for "the dialog did not get the keyboard" top_has_focus
xdotool key Escape
wait_windows 3
wait_for "the question did not get the keyboard" top_has_focus
settled_shot "$out/xvfb-prompt.png"
xdotool key n
program_ended() {
  ! kill -0 "$knetix_pid" 2>/dev/null
}
wait_for "the program did not end after Escape and Nein" program_ended
wait "$knetix_pid" || fail "the program ended with $?"
knetix_pid=

settings="$XDG_CONFIG_HOME/Kavon Software/Knetix.ini"
grep -q '^Tool=move$' "$settings" || fail "the chosen tool was not written to the settings"
grep -q '^PICOPEN=' "$settings" || fail "the folders were not written to the settings"

# The session ends (logout, kill): SIGTERM writes the settings and ends the
# program with 0, without a question, however much work is unsaved.
"$knetix" "$work/picture.bmp" >"$work/knetix-term.log" 2>&1 &
knetix_pid=$!
wait_windows 3
wait_for "the start-up picture did not get the keyboard" top_has_focus
xdotool key space
wait_windows 2
wait_for "the picture is not shown" picture_shown
# The Magnifier's picture is 34 x 34 at (23, 201); then a click on the picture.
xdotool mousemove $((ox + 23 + 17)) $((oy + 201 + 17)) click 1
xdotool mousemove $((ox + 360)) $((oy + 190)) click 1
sleep 0.5
kill -TERM "$knetix_pid"
wait_for "the program did not end on SIGTERM" program_ended
wait "$knetix_pid" || fail "the program ended with $? on SIGTERM"
knetix_pid=
grep -q '^Tool=zoomin$' "$settings" || fail "SIGTERM did not write the settings"
echo "Screenshots in $out"
