#!/bin/sh
# bench-arm.sh: ARM instructions per frame of every window of the timeline, counted exactly under
# qemu-arm on an ARM926 core, and the whole show's total at 60 frames per second.
#   scripts/bench-arm.sh [ARM_BUILD]      (make bench-arm runs it, once make test-arm has built)
#
# Counting: qemu logs every translated block's guest instructions (-d in_asm) and every execution
# of a block (-d exec; nochain sends each execution through the logged path). A frame's count is
# the sum, over the blocks executed from the entry of doDemoAt to the return into the renderer's
# main, of each block's length: the instructions of exactly one doDemoAt call, start-up and file
# writing excluded, the same on every run of the same build. The log streams through a pipe into
# awk and never reaches the disk.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
arm=$root/${1:-build-arm}
sysroot=$arm/sysroot
toolchainRoot=/usr/arm-linux-gnueabi
libraryPath=$sysroot/usr/lib/arm-linux-gnueabi:$sysroot/lib/arm-linux-gnueabi:$sysroot/usr/lib/arm-linux-gnueabi/pulseaudio

# Runs an ARM program under qemu and prints, for each call of a function named by the pattern
# (mangled names) made from main, the name and the instructions executed from its entry to the
# return into main.
countCalls() {
  pattern=$1
  shift
  qemu-arm -cpu arm926 -L "$toolchainRoot" -E LD_LIBRARY_PATH="$libraryPath" \
      -d in_asm,exec,nochain -D /dev/stdout "$@" |
    awk -v pattern="^($pattern)$" '
      /^IN:/ { inBlock = 1; length_ = 0; next }                    # a block translated: its lines follow
      inBlock && /^0x/ { if (length_ == 0) first = substr($1, 3, 8); ++length_; next }
      inBlock { size[first] = length_; inBlock = 0 }              # the blank line after the block
      /^Trace / {                                                  # a block executed: [.../pc/...] symbol
        split($4, field, "/"); pc = field[2]; symbol = $5
        if (inside && symbol == "main") { print which, count; inside = 0 }
        if (!inside && symbol ~ pattern) { inside = 1; which = symbol; count = 0 }
        if (inside) {
          if (!(pc in size)) { print "bench-arm: block " pc " executed before it was seen" > "/dev/stderr"; exit 1 }
          count += size[pc]
        }
      }'
}

fail() { echo "bench-arm: $*" >&2; exit 1; }
[ -f "$arm/CMakeCache.txt" ] && [ -d "$sysroot" ] || fail "no ARM build in $arm (run make test-arm first)"
cmake --build "$arm" -j"$(nproc)" --target render seek-count > /dev/null

# The windows as the table shows them: label, then one show time inside the window.
windows='the clock|5000
helmet with its wave line|12000
stripes, logo and cube|25000
the pan|40000
voxel landscape|55000
voxel landscape, surging|51500
plasma warp|64000
black before the radial blur|68400
radial blur|70000
plasma behind the first portrait|90000
black before the credits|98500
credit page 1|99100
credit page 2|99900
credit page 3|100300
credit page 4|101200
credit page 5|101700
plasma behind the second portrait|108000
the flash|115064
the fade|115400
black after the end|116000'

# The whole show: the 6936 frames of 60 frames a second (frame k at k * 1000 / 60 ms, rounded
# down), grouped by what they draw; each group's frames cost about alike, and up to perGroup
# frames spread evenly over each group stand for all of its frames.
perGroup=4
samples=$(awk -v perGroup=$perGroup 'function group(t) {
    if (t < 8800) return "clock";          if (t < 17000) return "helmet"
    if (t < 34500) return "cube";          if (t < 51000) return "pan"
    if (t < 59600) return "voxel";         if (t < 68300) return "plasma"
    if (t < 68500) return "black1";        if (t < 85300) return "radial"
    if (t < 98000) return "portrait";      if (t < 99000) return "black2"
    if (t < 102250) {
      if (t < 99200 || (t >= 99800 && t < 100400) || (t >= 101100 && t < 101300) ||
          (t >= 101600 && t < 101800)) return "page"
      return "black3"
    }
    if (t < 115000) return "portrait2";    if (t == 115000 || t == 115127 || t == 115638) return "none"
    if (t < 115127) return "flash";        if (t < 115638) return "fade"
    return "black4"
  }
  BEGIN {
    for (k = 0; k < 6936; ++k) { t = int(k * 1000 / 60); g = group(t); frames[g, n[g]++] = t }
    for (g in n) {
      m = n[g] < perGroup ? n[g] : perGroup
      for (i = 0; i < m; ++i) print g, n[g], m, frames[g, int((i + 0.5) * n[g] / m)]
    }
  }')

tableTimes=$(echo "$windows" | cut -d'|' -f2)
sampleTimes=$(echo "$samples" | cut -d' ' -f4)
# A first frame of the clock, not counted, makes the rasterizer allocate its edge table (once per
# run) before the counted frames.
times=$(printf '100\n%s\n%s\n' "$tableTimes" "$sampleTimes" | paste -sd, -)

out=$arm/bench-frames
rm -rf "$out"
started=$(date +%s)
# One run draws every time; awk prints the start-up's count, then one count per frame in order.
counts=$(countCalls '_Z8doDemoAtPji|_Z8initDemov' "$arm/render" --times "$times" --format raw --out "$out")
rm -rf "$out"
expected=$(($(echo "$times" | tr ',' '\n' | wc -l) + 1))
[ "$(echo "$counts" | wc -l)" -eq "$expected" ] || fail "qemu-arm or render failed: $(echo "$counts" | wc -l) counts for $expected calls"

# The table, then the whole show: each group's mean frame times its number of frames.
{
  echo "$windows"
  echo "$samples"
  echo "$counts"
} | awk -v windows="$(echo "$windows" | wc -l)" -v samples="$(echo "$samples" | wc -l)" \
    -v perGroup=$perGroup -v seconds=$(($(date +%s) - started)) '
  NR <= windows { split($0, w, "|"); label[NR] = w[1]; at[NR] = w[2]; next }
  NR <= windows + samples { group[NR - windows] = $1; size[$1] = $2; taken[$1] = $3; next }
  $1 == "_Z8initDemov" { startup = $2; next }
  !warm { warm = 1; next }                                       # the uncounted first frame
  { ++frame; if (frame <= windows) cost[frame] = $2; else sum[group[frame - windows]] += $2 }
  END {
    printf "ARM instructions per frame, counted under qemu-arm -cpu arm926 (%d s)\n\n", seconds
    printf "%-36s %7s %10s\n", "window", "t (ms)", "M a frame"
    for (i = 1; i <= windows; ++i)
      printf "%-36s %7d %10.3f%s\n", label[i], at[i], cost[i] / 1e6, (cost[i] > 2e6 ? "  over 2.0 M" : "")
    for (g in size) { total += size[g] * sum[g] / taken[g]; frames += size[g] }
    printf "\nstart-up (initDemo, once): %.1f M\n", startup / 1e6
    printf "whole show at 60 frames a second: %d frames, %.2f G instructions, %.3f M a frame on average,\n",
           frames, total / 1e9, total / frames / 1e6
    printf "  %.1f M a second (the frames of each window at the mean of up to %d of them counted)\n",
           total / frames * 60 / 1e6, perGroup
  }'

# A player's seek: to 110 s on a player that has only just started (the song mixed from its start
# to half a second past the target, then the frame), then to the radial blur's last frame (every
# frame of the blur drawn) with the song already mixed, then into the plasma.
seeks=$(countCalls '_Z6seekToPji' "$arm/seek-count" "$root/assets/musa.xm" 110000 85299 64000)
[ "$(echo "$seeks" | wc -l)" -eq 3 ] || fail "qemu-arm or seek-count failed"
echo "$seeks" | awk 'BEGIN { split("to 110 s, the song mixed from its start|to the radial blur'"'"'s last frame|into the plasma", what, "|") }
  NR == 1 { print "" }
  { printf "seek %-40s %9.1f M\n", what[NR], $2 / 1e6 }'
