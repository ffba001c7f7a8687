# frames.sh: the show times at which every build must draw exactly the desktop's frames, and the
# comparison; the core's frames test (on the desktop and on ARM) and the browser test take the
# times, scripts/test-windows.sh both.

# The show times, comma-separated: samples of every window of the timeline from its first to its
# last millisecond, the credit pages, the three instants that draw nothing, and runs of
# consecutive frames through the radial blur, whose every frame builds on the one before. Both
# renderers draw them in the same order on a frame that starts black.
frameTimes() {
  awk 'BEGIN {
  # start and length of each window; the last one has no end, so a stretch of it is sampled
  n = split("0 8800 8800 8200 17000 17500 34500 16500 51000 8600 59600 8700 68300 200 " \
            "68500 16800 85300 12700 98000 1000 99000 3250 102250 12750 115001 126 115128 510 " \
            "115639 5000", w, " ")
  for (i = 1; i < n; i += 2)
    for (k = 0; k < 10; ++k) t[w[i] + int(k * (w[i + 1] - 1) / 9)] = 1
  split("99000 99800 100200 101100 101600", page, " ")    # credit pages, 200 ms each
  for (i in page) { t[page[i]] = 1; t[page[i] + 100] = 1; t[page[i] + 199] = 1 }
  t[115000] = t[115127] = t[115638] = 1                   # no window holds
  for (s = 68500; s < 85300; s += 200) t[s] = 1           # the whole blur, every 200 ms
  for (s = 68500; s < 68540; ++s) t[s] = 1                # the blur starting on black, 1 ms apart
  for (s = 76000; s < 76600; s += 20) t[s] = 1            # mid-blur at 50 frames a second
  for (s = 84700; s < 85300; s += 20) t[s] = 1            # into its last frame
  t[85299] = 1
  for (s in t) print s
}' | sort -n | paste -sd, -
}

# compareFrames DESKTOP_DIR OTHER_DIR TIMES LABEL: every raw frame the same, word for word; says
# which differ and where first.
compareFrames() {
  differing=0
  for t in $(echo "$3" | tr ',' ' '); do
    if ! cmp -s "$1/$t.raw" "$2/$t.raw"; then
      differing=$((differing + 1))
      first=$(cmp -l "$1/$t.raw" "$2/$t.raw" 2>&1 | head -1)
      echo "$4: frame $t differs (byte offset, desktop, $4, from 1, octal: $first)"
    fi
  done
  echo "$4: $(echo "$3" | tr ',' '\n' | wc -l) frames compared, $differing differ"
  [ "$differing" -eq 0 ]
}
