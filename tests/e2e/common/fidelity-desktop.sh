# Sourced by the fidelity tests, which compare one device's frames with another's.
# desktop_for WxH: the path of a desktop picture of that size under $out, made once: sharp
# edges, flat areas and gradients in every channel.
desktop_for() {
  local size=$1 file=$out/desktop-$1.png
  [ -f "$file" ] || convert -size "$size" gradient:'#1b4965-#ffd6a5' \
    -fill '#f2f2f2' -stroke '#222222' -draw 'rectangle 40,30 400,260' \
    -fill '#3a86ff' -stroke none -draw 'rectangle 40,30 400,50' \
    -fill '#ff006e' -draw 'circle 500,300 560,330' \
    -fill '#101010' -draw 'rectangle 60,80 300,86' -draw 'rectangle 60,100 350,106' \
    -depth 8 "PNG24:$file"
  echo "$file"
}

# 100 * PART / WHOLE with four decimals.
percent() { awk -v p="$1" -v w="$2" 'BEGIN { printf "%.4f", 100 * p / w }'; }
