# Reads a client's WAYLAND_DEBUG log and prints the sizes of the buffers it attached to its
# surfaces, in the order attached, one line a run of the same size:
# "WIDTHxHEIGHT ATTACHES BUFFERS" (BUFFERS: how many different buffers the run showed).
# Buffer ids are used again once destroyed: each id has the size it was last made with.
/-> wl_shm_pool@[0-9]+\.create_buffer\(new id wl_buffer@/ {
  r = $0; sub(/.*create_buffer\(new id wl_buffer@/, "", r); sub(/\).*/, "", r); split(r, v, ", ")
  size[v[1]] = v[3] "x" v[4]
  next
}
/-> wl_surface@[0-9]+\.attach\(wl_buffer@/ {
  id = $0; sub(/.*attach\(wl_buffer@/, "", id); sub(/,.*/, "", id)
  s = (id in size) ? size[id] : "unknown"
  if (s != run) { finish(); run = s }
  count++
  if (!((id, size[id]) in seen)) { seen[id, size[id]] = 1; buffers++ }
}
function finish() { if (run != "") print run, count, buffers; count = 0; buffers = 0; delete seen }
END { finish() }
