#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks the layout: exactly the
# program, its documents, the desktop entry, the project file type and the
# icons; the desktop entry and the file type are accepted by the desktop's own
# tools where they are on the machine; the help explains every instrument and
# slider; the artwork of each larger interface scale the build draws.
#
#   install-check.sh CMAKE BUILD_DIR PREFIX [FACTORS]
#
# FACTORS: the factors the artwork is drawn at, separated by ";" (1 needs no
# file of its own).
set -euo pipefail

cmake=$1 build=$2 prefix=$3 factors=${4:-1}
rm -rf "$prefix"
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

fail=0
problem() { echo "install-check: $*" >&2; fail=1; }

expected=(
  bin/knetix
  share/applications/knetix.desktop
  share/icons/hicolor/256x256/apps/knetix.png
  share/icons/hicolor/32x32/apps/knetix.png
  share/knetix/kavon.htm
  share/knetix/knetix-hilfe.html
  share/mime/packages/knetix.xml
)
for factor in ${factors//;/ }; do
  [ "$factor" = 1 ] || expected+=("share/knetix/skin-${factor}x.rcc")
done
actual=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
wanted=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
if [ "$actual" != "$wanted" ]; then
  problem "installed files differ from the expected list:"
  diff <(echo "$wanted") <(echo "$actual") >&2 || true
fi

[ -x "$prefix/bin/knetix" ] || problem "bin/knetix is not executable"
"$prefix/bin/knetix" --list-codecs | grep -q '^raw' || problem "the installed program does not run"

# Icons: PNG of the size their folder names (the header's width and height,
# big-endian, at bytes 16..23).
for size in 32 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/knetix.png
  [ -f "$icon" ] || continue
  magic=$(head -c 4 "$icon" | od -An -c | tr -d ' ')
  read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$icon")
  width=$(( (w1 << 24) | (w2 << 16) | (w3 << 8) | w4 ))
  height=$(( (h1 << 24) | (h2 << 16) | (h3 << 8) | h4 ))
  [ "$magic" = '211PNG' ] && [ "$width" -eq "$size" ] && [ "$height" -eq "$size" ] ||
    problem "$icon is not a $size x $size PNG (${width}x${height})"
done

desktop=$prefix/share/applications/knetix.desktop
if command -v desktop-file-validate >/dev/null; then
  # Hints count too: a clean entry gives no output at all.
  out=$(desktop-file-validate "$desktop" 2>&1) || true
  [ -z "$out" ] || problem "desktop-file-validate: $out"
else
  echo "install-check: desktop-file-validate not found, desktop entry not validated"
fi
grep -qx 'Exec=knetix %f' "$desktop" || problem "desktop entry: Exec is not 'knetix %f'"
grep -qx 'Icon=knetix' "$desktop" || problem "desktop entry: Icon is not 'knetix'"
grep -q '^MimeType=.*application/x-knetix-project;' "$desktop" ||
  problem "desktop entry: the project type is missing from MimeType"

mime=$prefix/share/mime/packages/knetix.xml
if command -v xmllint >/dev/null; then
  xmllint --noout "$mime" || problem "$mime is not well-formed"
else
  echo "install-check: xmllint not found, MIME package not checked"
fi
if command -v update-mime-database >/dev/null; then
  # Into a copy, so that the prefix stays as installed.
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  mkdir -p "$scratch/mime/packages"
  cp "$mime" "$scratch/mime/packages/"
  update-mime-database "$scratch/mime" >/dev/null 2>&1 || problem "update-mime-database refuses $mime"
  grep -q '^application/x-knetix-project:\*\.knx$' "$scratch/mime/globs" 2>/dev/null ||
    problem "the MIME database has no *.knx glob for application/x-knetix-project"
fi

help=$prefix/share/knetix/knetix-hilfe.html
iconv -f UTF-8 -t UTF-8 "$help" >/dev/null 2>&1 || problem "the help file is not UTF-8"
for word in Bohrer Haken Bügeleisen Hammer Pinsel Entlüfter Lupe Stärke Tempo Verformung; do
  grep -q "$word" "$help" || problem "the help file never names $word"
done
# Every table-of-contents link has its anchor.
for anchor in $(grep -o 'href="#[^"]\+"' "$help" | sed 's/href="#//; s/"$//' | sort -u); do
  grep -q "id=\"$anchor\"" "$help" || problem "the help file links to #$anchor, which is missing"
done
grep -q 'href="knetix-hilfe.html"' "$prefix/share/knetix/kavon.htm" ||
  problem "the home page does not link to the help file"

# Each scale's artwork is a binary resource file (rcc's magic "qres").
for factor in ${factors//;/ }; do
  [ "$factor" = 1 ] && continue
  rcc=$prefix/share/knetix/skin-${factor}x.rcc
  [ -f "$rcc" ] || continue
  [ "$(head -c 4 "$rcc")" = qres ] || problem "$rcc is not a binary resource file"
done

[ $fail -eq 0 ] && echo "install-check: ${#expected[@]} files installed as expected"
exit $fail
