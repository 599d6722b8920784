#!/usr/bin/env bash
# wave-render on the GL device (Mesa's llvmpipe here) against the software device: the same
# arguments must give nearly the same frames, as Direct3D 9 under Wine does. For every frame:
# at least 99.9 % of pixels within 1 of each other in every channel, none more than 3 apart;
# the first frame, the desktop, alike on both.
#   fidelity.sh WAVE_RENDER FRAMECOMPARE OUTDIR
set -uo pipefail
render=$1 compare=$2 out=$3
mkdir -p "$out"
status=0

source "$(dirname "$0")/../common/fidelity-desktop.sh"

check_case() {
  local seed=$1 size=$2 at=$3 desk name
  desk=$(desktop_for "$size")
  name=seed$seed-$size
  rm -rf "$out/$name" && mkdir -p "$out/$name/soft" "$out/$name/gl"
  for renderer in soft gl; do
    timeout 300 "$render" --renderer "$renderer" --seed "$seed" --size "$size" --desktop "$desk" --at "$at" \
      --out "$out/$name/$renderer" >"$out/$name/$renderer.log" 2>&1 ||
      { echo "FAIL $name: wave-render --renderer $renderer (see $out/$name/$renderer.log)"; status=1; return; }
  done
  for ms in ${at//,/ }; do
    local a=$out/$name/soft/frame-$ms.png b=$out/$name/gl/frame-$ms.png n eq w1 w2 mx
    [ -f "$a" ] && [ -f "$b" ] || { echo "FAIL $name at $ms: a frame is missing"; status=1; continue; }
    read -r n eq w1 w2 mx < <("$compare" frames "$a" "$b") || { echo "FAIL $name at $ms"; status=1; continue; }
    printf '%-22s t=%6s ms: equal %8s %%, within 1 %8s %%, max %3d' "$name" "$ms" \
      "$(percent "$eq" "$n")" "$(percent "$w1" "$n")" "$mx"
    if [ $(( w1 * 1000 )) -lt $(( n * 999 )) ] || [ "$mx" -gt 3 ] || { [ "$ms" = 0 ] && [ "$eq" != "$n" ]; }; then
      echo "   FAIL"; status=1
    else
      echo
    fi
  done
}

# The desktop, the dissolve (the first 3.3 s), the first wave's fade-in (to 6.7 s) and the
# steady wave; a common size and an odd one.
check_case 3 1920x1080 0,1500,5000,9000
check_case 11 1001x563 0,2500,4500,12000
exit $status
