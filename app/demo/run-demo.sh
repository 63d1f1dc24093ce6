#!/usr/bin/env bash
# Runs the demo script in a folder of results: draws the demo picture, runs the
# script in batch mode, and checks that the saved project re-opens and re-saves
# byte for byte.
#   run-demo.sh KNETIX DEMO-PICTURE-PROGRAM OUTPUT-FOLDER
set -euo pipefail
knetix=$(realpath "$1")
draw=$(realpath "$2")
script=$(realpath "$(dirname "$0")/demo.knxs")
mkdir -p "$3"
cd "$3"
rm -f demo-picture.bmp demo-warped.bmp demo-warped-own.jpg demo.avi demo-own.avi demo.knx demo-again.knx
"$draw" demo-picture.bmp
"$knetix" --batch "$script"
cmp demo.knx demo-again.knx
echo "Demo results in $(pwd):"
ls -l demo-picture.bmp demo-warped.bmp demo-warped-own.jpg demo.avi demo-own.avi demo.knx demo-again.knx
