#!/bin/sh
# bench-arm.sh: ARM instructions per frame of every window of the timeline, counted exactly under
# qemu-arm on an ARM926 core, and the whole show's total at 60 frames per second.
#   scripts/bench-arm.sh [--budget] [ARM_BUILD]   (make bench-arm runs it, once make test-arm has built)
# Every window's drawing must stay within 1.0 M instructions and a whole pass of the show's loop
# within 2.0 M, the device's budget at 60 frames a second (a 200 MHz processor runs some 150 M
# instructions a second), and the first frame must come within 150 M of the start, a second of
# the device's; the status is 1 when one is over. With --budget only those are counted
# (the table's windows and the whole pass, not the whole show's total nor the seeks), as
# make test-arm does.
#
# Counting (scripts/arm.sh): a frame's count is the sum, over the blocks executed from the entry of
# doDemoAt to the return into the renderer's main, of each block's length: the instructions of
# exactly one doDemoAt call, start-up and file writing excluded.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
budget=no
[ "${1:-}" = --budget ] && { budget=yes; shift; }
arm=$root/${1:-build-arm}
. "$root/scripts/arm.sh"

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
[ $budget = no ] || perGroup=0
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
times=$(printf '100\n%s\n%s\n' "$tableTimes" "$sampleTimes" | grep . | paste -sd, -)

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
} | grep . | awk -v windows="$(echo "$windows" | wc -l)" -v samples="$(echo "$samples" | grep -c .)" \
    -v perGroup=$perGroup -v seconds=$(($(date +%s) - started)) '
  NR <= windows { split($0, w, "|"); label[NR] = w[1]; at[NR] = w[2]; next }
  NR <= windows + samples { group[NR - windows] = $1; size[$1] = $2; taken[$1] = $3; next }
  $1 == "_Z8initDemov" { startup = $2; next }
  !warm { warm = 1; next }                                       # the uncounted first frame
  { ++frame; if (frame <= windows) cost[frame] = $2; else sum[group[frame - windows]] += $2 }
  END {
    printf "ARM instructions per frame, counted under qemu-arm -cpu arm926 (%d s)\n\n", seconds
    printf "%-36s %7s %10s\n", "window", "t (ms)", "M a frame"
    for (i = 1; i <= windows; ++i) {
      printf "%-36s %7d %10.3f%s\n", label[i], at[i], cost[i] / 1e6, (cost[i] > 1e6 ? "  over 1.0 M" : "")
      if (cost[i] > 1e6) over = 1
    }
    printf "\nstart-up (initDemo, once): %.1f M\n", startup / 1e6
    for (g in size) { total += size[g] * sum[g] / taken[g]; frames += size[g] }
    if (frames == 0) exit over
    printf "whole show at 60 frames a second: %d frames, %.2f G instructions, %.3f M a frame on average,\n",
           frames, total / 1e9, total / frames / 1e6
    printf "  %.1f M a second (the frames of each window at the mean of up to %d of them counted)\n",
           total / frames * 60 / 1e6, perGroup
    exit over
  }' || over=1

# The whole pass of the show's loop on the device: build-arm/show bound to one processor, so that
# it mixes the song a step at each pass as a device of one processor does, with SDL's dummy video
# at the device's scale of 1 and its sound through libpulse into a private PulseAudio server, from
# the show's start. The log gives each pass, from one return of SDL_Flip to the next (noteFlip),
# on the main thread: the drawing (doDemoAt, which passes differently from the window rows above,
# since under the log each pass is slow and the clock skips ahead), the pacing (paceFrame, with the
# clock reads it makes), the mixing step (mixStep) and the rest (the flip through sdl12-compat and
# SDL 2, the events, the clock). Under the log a pass takes a fraction of a second, which changes
# two of them from what the device does at 60 frames a second: the pacing's wait, which lasts
# until the clock says 1000 / (elapsed ms) rounds have passed, makes few rounds, where a pass at
# 60 frames a second makes 62 (1000 / 16); and the song falls behind, so that each step mixes the
# most it may, four chunks, where at 60 frames a second it mixes one. So a pass at 60 frames a
# second is counted as the rest, 62 rounds of the pacing and one chunk of the mixing, each at its
# mean as counted. The other threads (libpulse's) work to the sound's pace, not the frames':
# theirs is taken per sixtieth of a second of the run, from the flip log's first and last flips.
run=$(mktemp -d)
trap 'kill $server 2> /dev/null; rm -rf "$run"' EXIT
cmake --build "$arm" -j"$(nproc)" --target show flip_log > /dev/null
HOME=$run PULSE_RUNTIME_PATH=$run/runtime PULSE_STATE_PATH=$run/state pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --use-pid-file=no --disable-shm=yes -L 'module-null-sink sink_name=show rate=44100 channels=2' \
  -L "module-native-protocol-unix auth-anonymous=1 socket=$run/native" > /dev/null 2>&1 &
server=$!
for i in $(seq 100); do [ -S "$run/native" ] && break; sleep 0.1; done
[ -S "$run/native" ] || fail "PulseAudio did not start"
passes=$(cd "$root/assets" && HOME=$run PULSE_SERVER=unix:$run/native SDL_VIDEODRIVER=dummy SDL12COMPAT_WINDOW_SCALING=1 \
  arm=$arm taskset -c 0 sh -c '. "$0/scripts/arm.sh" && countArm "$1" -cpu max -E LD_PRELOAD="$arm/tests/libflip_log.so" \
    -E SHOW_FLIP_LOG="$2" "$arm/show" --from 0 --to 2500' "$root" '
  function executed(thread, pc, symbol, size) {
    if (thread != 0) { if (flips) other += size; return }
    if (!(symbol in entry)) entry[symbol] = pc   # the first block of a function run is its entry
    if (symbol == "_Z8noteFlipv" && pc == entry[symbol]) {
      if (flips++ == 0) { startup = all; otherFrom = other }
      else {
        pass[flips - 1] = main; draw[flips - 1] = drawn; pace[flips - 1] = paced; rounds[flips - 1] = read; mix[flips - 1] = mixed
        allMixed += mixed; allChunks += chunks
      }
      main = drawn = paced = read = mixed = chunks = 0; otherTo = other
    }
    all += size
    if (symbol == "main") drawing = pacing = mixing = 0
    if (symbol == "_Z8doDemoAtPji") drawing = 1
    if (symbol == "_Z9paceFrameiPFivE") pacing = 1
    if (symbol == "_Z7mixStepRK10SongPlayer") mixing = 1
    if (pacing && symbol == "_Z7getTimev" && pc == entry[symbol]) ++read
    if (mixing && symbol == "_ZN12_GLOBAL__N_16updateEv" && pc == entry[symbol]) ++chunks
    main += size; if (drawing) drawn += size; if (pacing) paced += size; if (mixing) mixed += size
  }
  END {
    print "startup", startup + otherFrom
    print "sound", otherTo - otherFrom
    print "mixing", allMixed, allChunks
    for (i = 1; i < flips; ++i) print "pass", pass[i], draw[i], pace[i], rounds[i], mix[i]
  }' "$run/flips")
[ -s "$run/flips" ] || fail "the show under qemu-arm flipped no frame"
# The flip log's records are 272 bytes, each opening with CLOCK_MONOTONIC's nanoseconds.
first=$(od -A n -t d8 -N 8 "$run/flips" | tr -d ' ')
last=$(od -A n -t d8 -j $(($(stat -c %s "$run/flips") - 272)) -N 8 "$run/flips" | tr -d ' ')
echo "$passes" | awk -v seconds="$(echo "($last - $first) / 1000000000" | bc -l)" -v drawing="$(echo "$counts" | tail -n +3 | head -n "$(echo "$windows" | wc -l)" | sort -k2 -n | tail -1 | cut -d' ' -f2)" '
  $1 == "startup" { startup = $2 } $1 == "sound" { sound = $2 } $1 == "mixing" { chunk = $3 ? $2 / $3 : 0 }
  $1 == "pass" && $5 > 0 {
    atSixty = $2 - $3 - $4 - $6 + $4 / $5 * 62 + chunk
    sum += atSixty; ++n; if (atSixty > most) most = atSixty
  }
  END {
    perSixtieth = sound / (seconds * 60)
    printf "\nA whole pass of the show'"'"'s loop on the device (build-arm/show on one processor, %d passes counted):\n", n
    printf "  the pass without its drawing, at 60 frames a second: %.3f M on average, %.3f M at most (one chunk of mixing, %.3f M)\n", sum / n / 1e6, most / 1e6, chunk / 1e6
    printf "  the sound'"'"'s threads (libpulse): %.3f M a sixtieth of a second\n", perSixtieth / 1e6
    whole = drawing + most + perSixtieth
    printf "  with the costliest window'"'"'s drawing (%.3f M): %.3f M a pass%s\n", drawing / 1e6, whole / 1e6, (whole > 2e6 ? "  over 2.0 M" : "")
    printf "  from the start to the first frame on screen, every thread: %.1f M, %.2f s at 150 M a second%s\n",
           startup / 1e6, startup / 150e6, (startup > 150e6 ? "  over 1 s" : "")
    if (whole > 2e6 || startup > 150e6) exit 1
  }' || over=1

if [ $budget = yes ]; then
  [ -z "${over:-}" ] || fail "over the device's budget: a window's drawing over 1.0 M, a whole pass over 2.0 M or the first frame after more than 1 s"
  exit 0
fi

# A player's seek: to 110 s on a player that has only just started (the song mixed from its start
# to half a second past the target, then the frame), then to the radial blur's last frame (every
# frame of the blur drawn) with the song already mixed, then into the plasma.
seeks=$(countCalls '_Z5mixToi|_Z6drawAtPji' "$arm/seek-count" "$root/assets/musa.xm" 110000 85299 64000)
[ "$(echo "$seeks" | wc -l)" -eq 6 ] || fail "qemu-arm or seek-count failed"
echo "$seeks" | paste - - | awk 'BEGIN { split("to 110 s, the song mixed from its start|to the radial blur'"'"'s last frame|into the plasma", what, "|")
    split("110.5 0 0", mixedSeconds, " ") }
  NR == 1 { print ""; printf "%-48s %10s %10s\n", "seek", "mixing", "drawing" }
  { printf "%-48s %9.1f M %9.1f M\n", what[NR], $2 / 1e6, $4 / 1e6 }
  NR == 1 { perSecond = $2 / mixedSeconds[1] }
  END { printf "\nmixing the song: %.2f M instructions a second of song, %.3f M a sixtieth\n", perSecond / 1e6, perSecond / 60e6 }'
[ -z "${over:-}" ] || fail "over the device's budget: a window's drawing over 1.0 M, a whole pass over 2.0 M or the first frame after more than 1 s"
