#!/usr/bin/env bash
# Re-renders every picture in out/ from the sources in src/.
# Needs rsvg-convert (librsvg2-bin), ImageMagick and python3.
# Run from anywhere: ./assets/render.sh
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
src=$here/src
tools=$here/tools
out=$here/out

for tool in rsvg-convert convert identify python3; do
  command -v "$tool" >/dev/null || { echo "render.sh: $tool not found" >&2; exit 1; }
done

export PYTHONDONTWRITEBYTECODE=1  # keep tools/ free of __pycache__
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Everything is made and checked in $new first; out/ is only replaced once
# all of it passes.
new=$tmp/out
mkdir -p "$new" "$out"

# svg_png SVG ZOOM PNG
svg_png() {
  rsvg-convert --zoom "$2" --format png --output "$3" "$1"
}

echo "skin"
python3 "$tools/compose.py" "$src/skin.svg" "$tmp/skin.svg"
svg_png "$tmp/skin.svg" 1 "$tmp/skin.png"
svg_png "$tmp/skin.svg" 2 "$tmp/skin@2x.png"
python3 "$tools/finish.py" opaque "$tmp/skin.png" "$new/skin.png"
python3 "$tools/finish.py" opaque "$tmp/skin@2x.png" "$new/skin@2x.png"

echo "tick overlay"
svg_png "$src/tick.svg" 1 "$tmp/tick.png"
svg_png "$src/tick.svg" 2 "$tmp/tick@2x.png"
python3 "$tools/finish.py" overlay "$tmp/tick.png" "$new/tick.png" 9,74,178
python3 "$tools/finish.py" overlay "$tmp/tick@2x.png" "$new/tick@2x.png" 9,74,178

echo "check box tick, settings button"
for name in autotick setting; do
  svg_png "$src/$name.svg" 1 "$tmp/$name.png"
  svg_png "$src/$name.svg" 2 "$tmp/$name@2x.png"
  python3 "$tools/finish.py" opaque "$tmp/$name.png" "$new/$name.png"
  python3 "$tools/finish.py" opaque "$tmp/$name@2x.png" "$new/$name@2x.png"
done

echo "hand cursor"
python3 "$src/hand_cursor.py" "$new/hand.cur"

echo "program icon"
rsvg-convert --width 48 --height 48 --output "$tmp/icon48.png" "$src/icon.svg"
rsvg-convert --width 32 --height 32 --output "$tmp/icon32.png" "$src/icon.svg"
rsvg-convert --width 24 --height 24 --output "$tmp/icon24.png" "$src/icon-24.svg"
rsvg-convert --width 16 --height 16 --output "$tmp/icon16.png" "$src/icon-16.svg"
python3 "$tools/make_ico.py" "$new/app.ico" \
  "$tmp/icon48.png" "$tmp/icon32.png" "$tmp/icon24.png" "$tmp/icon16.png"

echo "checking"
python3 "$tools/check.py" "$new"

# The same facts once more through ImageMagick's own decoders, so that a
# fault in tools/pngio.py cannot hide one in the pictures.
fail=0
pixel() {  # pixel FILE X Y WANT
  local got
  got=$(convert "$1" -format "%[fx:round(255*p{$2,$3}.r)],%[fx:round(255*p{$2,$3}.g)],%[fx:round(255*p{$2,$3}.b)],%[fx:round(255*p{$2,$3}.a)]" info:)
  if [ "$got" != "$4" ]; then
    echo "render.sh: $(basename "$1") ($2,$3) is $got, want $4" >&2
    fail=1
  fi
}
blue=9,74,178,255
for p in "0 34" "1 34" "66 34" "67 34" "34 0" "34 67" "67 0"; do
  pixel "$new/tick.png" $p $blue
done
pixel "$new/tick.png" 34 34 0,0,0,0
for p in "0 68" "3 68" "132 68" "135 68" "68 0" "68 135"; do
  pixel "$new/tick@2x.png" $p $blue
done
pixel "$new/tick@2x.png" 4 68 0,0,0,0
pixel "$new/tick@2x.png" 68 68 0,0,0,0
pixel "$new/skin.png" 0 100 100,100,100,255
pixel "$new/skin.png" 415 216 100,100,100,255
pixel "$new/skin.png" 1 1 255,255,255,255
pixel "$new/skin.png" 39 176 89,89,89,255
pixel "$new/skin.png" 45 182 255,255,255,255
pixel "$new/skin.png" 382 201 89,89,89,255
pixel "$new/skin.png" 368 20 89,89,89,255
pixel "$new/skin@2x.png" 1 200 100,100,100,255
pixel "$new/skin@2x.png" 2 200 255,255,255,255
pixel "$new/skin@2x.png" 78 352 89,89,89,255
for f in skin skin@2x tick tick@2x autotick autotick@2x setting setting@2x; do
  [ "$(identify -format '%[channels]' "$new/$f.png")" = srgba ] || {
    echo "render.sh: $f.png is not RGBA" >&2; fail=1; }
done
images=$(identify "$new/app.ico" | wc -l)
[ "$images" -eq 8 ] || { echo "render.sh: app.ico holds $images images, want 8" >&2; fail=1; }
[ "$(identify -format '%w %h' "$new/hand.cur")" = "32 32" ] || {
  echo "render.sh: hand.cur is not 32 x 32" >&2; fail=1; }
[ "$fail" -eq 0 ] || exit 1

cp "$new"/* "$out"/
echo "done:"
ls -l "$out"
