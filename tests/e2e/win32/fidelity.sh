#!/usr/bin/env bash
# wave-render.exe on Wine's real Direct3D 9 against the native wave-render on the software
# device: the same arguments must give nearly the same frames. For every frame: at least
# 99.9 % of pixels within 2 of each other in every channel, no channel more than 8 apart;
# frame 0 of both is the desktop picture quantised to 16 bits a pixel (R5G6B5).
#   fidelity.sh NATIVE_WAVE_RENDER WAVE_RENDER_EXE OUTDIR
# Needs the Wine session's environment (DISPLAY, QEL_WINEPREFIX). Prints the figures.
set -uo pipefail
native=$1 windows=$2 out=$3
export WINEPREFIX=$QEL_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -x "$native" ] || { echo "no native wave-render at $native: build the native preset first" >&2; exit 1; }
mkdir -p "$out"
status=0

# A desktop with sharp edges, flat areas and gradients in every channel.
desktop_for() {
  local size=$1 file=$out/desktop-$1.png
  [ -f "$file" ] || convert -size "$size" gradient:'#1b4965-#ffd6a5' \
    -fill '#f2f2f2' -stroke '#222222' -draw 'rectangle 40,30 400,260' \
    -fill '#3a86ff' -stroke none -draw 'rectangle 40,30 400,50' \
    -fill '#ff006e' -draw 'circle 500,300 560,330' \
    -fill '#101010' -draw 'rectangle 60,80 300,86' -draw 'rectangle 60,100 350,106' \
    "$file"
  echo "$file"
}

# Per pixel the largest difference over the three channels, as an 8-bit grey picture.
channel_diff() { convert "$1" "$2" -compose difference -composite -separate -evaluate-sequence max -depth 8 "$3"; }
# Figures of a difference picture: "PIXELS EQUAL WITHIN1 WITHIN2 MAX".
stats() {
  local d=$1 n eq w1 w2 mx
  n=$(identify -format '%[fx:w*h]' "$d")
  # -threshold T makes white every value above T (as a fraction of 255).
  eq=$(convert "$d" -threshold 0 -format '%[fx:round((1-mean)*w*h)]' info:)
  w1=$(convert "$d" -threshold 0.59% -format '%[fx:round((1-mean)*w*h)]' info:)
  w2=$(convert "$d" -threshold 0.98% -format '%[fx:round((1-mean)*w*h)]' info:)
  mx=$(convert "$d" -format '%[fx:round(maxima*255)]' info:)
  echo "$n $eq $w1 $w2 $mx"
}

# The desktop as the 16-bit desktop texture holds it: 5, 6 and 5 bits, widened back.
quantised() {
  convert "$1" -channel R,B -fx 'q=floor(u*255/8); (q*8+floor(q/4))/255' \
    -channel G -fx 'q=floor(u*255/4); (q*4+floor(q/16))/255' +channel -depth 8 "$2"
}

check_case() {
  local seed=$1 size=$2 at=$3 desk name
  desk=$(desktop_for "$size")
  name=seed$seed-$size
  rm -rf "$out/$name" && mkdir -p "$out/$name/native" "$out/$name/wine"
  "$native" --seed "$seed" --size "$size" --desktop "$desk" --at "$at" --out "$out/$name/native" >/dev/null ||
    { echo "FAIL $name: native wave-render"; status=1; return; }
  timeout 600 wine "$windows" --seed "$seed" --size "$size" --desktop "$desk" --at "$at" \
    --out "$out/$name/wine" >"$out/$name/wine.log" 2>&1 ||
    { echo "FAIL $name: wave-render.exe (see $out/$name/wine.log)"; status=1; return; }
  quantised "$desk" "$out/$name/desktop-565.png"
  for ms in ${at//,/ }; do
    local a=$out/$name/native/frame-$ms.png b=$out/$name/wine/frame-$ms.png d=$out/$name/diff-$ms.png
    [ -f "$a" ] && [ -f "$b" ] || { echo "FAIL $name at $ms: a frame is missing"; status=1; continue; }
    channel_diff "$a" "$b" "$d"
    read -r n eq w1 w2 mx < <(stats "$d")
    printf '%-22s t=%6s ms: equal %8.4f %%, within 1 %8.4f %%, within 2 %8.4f %%, max %3d' "$name" "$ms" \
      "$(echo "100*$eq/$n" | bc -l)" "$(echo "100*$w1/$n" | bc -l)" "$(echo "100*$w2/$n" | bc -l)" "$mx"
    if [ $(( w2 * 1000 )) -lt $(( n * 999 )) ] || [ "$mx" -gt 8 ]; then
      echo "   FAIL"; status=1
    else
      echo
    fi
    if [ "$ms" = 0 ]; then
      for side in native wine; do
        channel_diff "$out/$name/$side/frame-0.png" "$out/$name/desktop-565.png" "$out/$name/desk-$side.png"
        read -r n eq w1 w2 mx < <(stats "$out/$name/desk-$side.png")
        echo "$name frame 0 ($side) against the quantised desktop: max difference $mx"
        [ "$mx" -le 1 ] || { echo "   FAIL: frame 0 is not the desktop"; status=1; }
      done
    fi
  done
}

CASES
exit $status
