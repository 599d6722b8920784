# Reads a client's WAYLAND_DEBUG log and sums up what it asked of its surfaces' commits:
# the frames it committed, those committed before the compositor answered the previous
# frame callback (and less than 900 ms after the previous commit: the saver's wait for a
# hidden output gives up after a second), and the damage rectangles against the buffer
# attached (W x H, given with -v W=... -v H=...).
# Prints: commits N early N partial N outside N right N bottom N
function stamp(line) { return substr(line, 2, index(line, "]") - 2) + 0 }
/-> wl_surface@[0-9]+\.frame\(new id wl_callback@/ {
  id = $0; sub(/.*wl_callback@/, "", id); sub(/\).*/, "", id)
  t = stamp($0)
  if (previous != "" && !done[previous] && t - last < 900) early++
  done[id] = 0; previous = id; last = t; commits++
  next
}
/ wl_callback@[0-9]+\.done\(/ { id = $0; sub(/.*wl_callback@/, "", id); sub(/\..*/, "", id); done[id] = 1; next }
/-> wl_surface@[0-9]+\.damage_buffer\(/ {
  r = $0; sub(/.*damage_buffer\(/, "", r); sub(/\).*/, "", r); split(r, v, ", ")
  x = v[1] + 0; y = v[2] + 0; w = v[3] + 0; h = v[4] + 0
  if (x == 0 && y == 0 && w == W && h == H) next
  partial++
  if (x < 0 || y < 0 || w <= 0 || h <= 0 || x + w > W || y + h > H) outside++
  if (x + w > right) right = x + w
  if (y + h > bottom) bottom = y + h
}
END { printf "commits %d early %d partial %d outside %d right %d bottom %d\n", commits, early, partial, outside, right, bottom }
