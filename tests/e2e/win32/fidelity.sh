#!/usr/bin/env bash
# wave-render.exe on Wine's real Direct3D 9 against the native wave-render on the software
# device: the same arguments must give nearly the same frames. For every frame: at least
# 99.9 % of pixels within 2 of each other in every channel, no channel more than 8 apart;
# frame 0 of both is the desktop picture quantised to 16 bits a pixel (R5G6B5).
#   fidelity.sh NATIVE_WAVE_RENDER NATIVE_FRAMECOMPARE WAVE_RENDER_EXE OUTDIR
# Needs the Wine session's environment (DISPLAY, QEL_WINEPREFIX). Prints the figures.
set -uo pipefail
native=$1 compare=$2 windows=$3 out=$4
export WINEPREFIX=$QEL_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
for tool in "$native" "$compare"; do
  [ -x "$tool" ] || { echo "no $tool: the native tools were not built (see wave_render_fidelity_native_tools)" >&2; exit 1; }
done
mkdir -p "$out"
status=0

source "$(dirname "$0")/../common/fidelity-desktop.sh"

check_case() {
  local seed=$1 size=$2 at=$3 desk name
  desk=$(desktop_for "$size")
  name=seed$seed-$size
  rm -rf "$out/$name" && mkdir -p "$out/$name/native" "$out/$name/wine"
  "$native" --seed "$seed" --size "$size" --desktop "$desk" --at "$at" --out "$out/$name/native" >/dev/null ||
    { echo "FAIL $name: native wave-render"; status=1; return; }
  # Wine now and then fails to start a program on a busy machine, without a word: such a run is
  # tried again, twice at most; a run that says anything and fails fails the case.
  local tries=0 code
  while :; do
    timeout 600 wine "$windows" --seed "$seed" --size "$size" --desktop "$desk" --at "$at" \
      --out "$out/$name/wine" >"$out/$name/wine.log" 2>&1
    code=$?
    [ "$code" = 0 ] && break
    tries=$((tries + 1))
    if [ -s "$out/$name/wine.log" ] || [ "$tries" -ge 3 ]; then
      echo "FAIL $name: wave-render.exe, status $code (see $out/$name/wine.log)"; status=1; return
    fi
    echo "$name: wave-render.exe ended with status $code without a word; run again"
  done
  for ms in ${at//,/ }; do
    local a=$out/$name/native/frame-$ms.png b=$out/$name/wine/frame-$ms.png
    [ -f "$a" ] && [ -f "$b" ] || { echo "FAIL $name at $ms: a frame is missing"; status=1; continue; }
    read -r n eq w1 w2 mx < <("$compare" frames "$a" "$b") || { echo "FAIL $name at $ms"; status=1; continue; }
    printf '%-22s t=%6s ms: equal %8s %%, within 1 %8s %%, within 2 %8s %%, max %3d' "$name" "$ms" \
      "$(percent "$eq" "$n")" "$(percent "$w1" "$n")" "$(percent "$w2" "$n")" "$mx"
    if [ $(( w2 * 1000 )) -lt $(( n * 999 )) ] || [ "$mx" -gt 8 ]; then
      echo "   FAIL"; status=1
    else
      echo
    fi
    if [ "$ms" = 0 ]; then
      for side in native wine; do
        read -r n eq w1 w2 mx < <("$compare" r5g6b5 "$desk" "$out/$name/$side/frame-0.png") || mx=999
        printf '%-22s frame 0 (%s) against the R5G6B5 desktop: equal %8s %%, max %d\n' "$name" "$side" \
          "$(percent "$eq" "$n")" "$mx"
        [ "$mx" -le 1 ] || { echo "   FAIL: frame 0 is not the desktop"; status=1; }
      done
    fi
  done
}

# Seeds whose first waves fade out at 50 s and 68 s; the times run from the first frame
# through the dissolve and a steady wave into the fade-out.
check_case 3 640x360 0,2000,7000,20000,51000
check_case 11 1280x720 0,3500,12000,69000
exit $status
