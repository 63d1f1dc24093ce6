#!/usr/bin/env bash
# Without a graphical session the program says so in German, names batch
# mode, and ends with 1: with no display named and with one that is not there.
#   no-display.sh KNETIX
set -uo pipefail
knetix=$1
for display in "" ":97"; do
  out=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY="$display" timeout 60 "$knetix" 2>&1)
  rc=$?
  [ "$rc" = 1 ] || { echo "FAIL: DISPLAY='$display' ended with $rc: $out"; exit 1; }
  grep -q "grafische Sitzung" <<<"$out" || { echo "FAIL: no German sentence: $out"; exit 1; }
  grep -q "knetix --batch SKRIPT" <<<"$out" || { echo "FAIL: batch mode not named: $out"; exit 1; }
done
echo ok
