#!/bin/sh
# test-windows.sh: the Windows build under Wine: render.exe's frames word for word the desktop's,
# and show.exe from the zip's own unpacked folder as a viewer meets it: a stretch played, a wrong
# option (in a message box too), a missing song, a missing SDL2.dll, started from another
# folder, the player's keys, and its sound through its own WASAPI stream into PulseAudio, in step
# with the frames it hands to the display.
#   scripts/test-windows.sh [DESKTOP_BUILD [WINDOWS_BUILD]]      (make test-windows runs it)
# Both builds must be made already (scripts/build-windows.sh for the second). Wine runs in a fresh
# prefix and Xvfb on a display of its own, both in a temporary folder torn down at the end.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
desktop=$root/${1:-build}
windows=$root/${2:-build-windows}
started=$(date +%s)
. scripts/frames.sh

step() { printf '\n== windows: %s (%ss)\n' "$1" $(($(date +%s) - started)); }
fail() { echo "windows: FAILED: $*" >&2; exit 1; }

[ -x "$desktop/render" ] || fail "no desktop build in $desktop (run make build first)"
[ -f "$windows/Nocturne-windows.zip" ] || fail "no $windows/Nocturne-windows.zip (run make windows first)"

work=$(mktemp -d)
xvfb=""
pulse=""
recorder=""
silence=""
grab=""
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Debian's wine wrapper adds its own advice on every run; the loader itself says only what the
# program does.
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine
cleanUp() {
  wineserver -k 2> /dev/null || true
  for process in $xvfb $recorder $silence $grab $pulse; do kill "$process" 2> /dev/null || true; done
  # SHOW_WINDOWS_KEEP=FOLDER keeps the sound run (recording, server log, flips, grabs, run.json) for a look.
  [ -z "${SHOW_WINDOWS_KEEP:-}" ] || [ ! -d "$work/pulse" ] || cp -r "$work/pulse/." "$SHOW_WINDOWS_KEEP"
  rm -rf "$work"
}
trap cleanUp EXIT
trap 'exit 1' INT TERM

# --- The zip as a viewer gets it.
step "the zip"
unzip -q "$windows/Nocturne-windows.zip" -d "$work/unzipped"
folder=$work/unzipped/Nocturne
for file in show.exe SDL2.dll musa.xm README.txt; do
  [ -f "$folder/$file" ] || fail "the zip has no Nocturne/$file"
done
cmp -s "$folder/musa.xm" assets/musa.xm || fail "the zip's musa.xm is not assets/musa.xm"
lines=$(wc -l < "$folder/README.txt")
[ "$(grep -c "$(printf '\r')\$" "$folder/README.txt")" -eq "$lines" ] || fail "README.txt's lines do not all end in CR LF"
# The C++ runtime, libgcc and winpthread are linked in: the program names only Windows' own DLLs
# (SDL2.dll it loads when SDL starts).
dlls=$(x86_64-w64-mingw32-objdump -p "$folder/show.exe" | sed -n 's/^\tDLL Name: //p' | tr '\n' ' ')
echo "windows: show.exe imports $dlls"
case $dlls in *libstdc++*|*libgcc*|*libwinpthread*) fail "show.exe needs MinGW's DLLs: $dlls" ;; esac
echo "windows: $(stat -c %s "$windows/Nocturne-windows.zip") bytes zipped"

step "a fresh Wine prefix and Xvfb"
wineboot -i > "$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; fail "wineboot"; }
exec 5> "$work/display"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"

# --- Frames: the same times on both renderers, then seeks as the players land on them.
step "comparing render.exe's frames with the desktop's"
times=$(frameTimes)
"$desktop/render" --times "$times" --format raw --out "$work/frames/desktop"
"$wine" "$windows/render.exe" --times "$times" --format raw --out "$work/frames/windows"
compareFrames "$work/frames/desktop" "$work/frames/windows" "$times" windows ||
  fail "Windows frames differ from the desktop's"
rm -rf "$work/frames"
# Each a continuous run's frame from the show's start: the cube, the blur's start, middle and last
# frame, the portraits and the end.
seeks=17001,33333,68500,68517,72345,76543,85299,85300,99100,112000,115200,117000
"$desktop/render" --times "$seeks" --continuous --format raw --out "$work/frames/desktop"
"$wine" "$windows/render.exe" --times "$seeks" --continuous --format raw --out "$work/frames/windows"
compareFrames "$work/frames/desktop" "$work/frames/windows" "$seeks" "windows --continuous" ||
  fail "Windows seeks land on other frames than the desktop's"

# runShow FOLDER [OPTION...]: show.exe from the unzipped folder with FOLDER as the current one and
# SDL's silent audio driver unless `audioDriver` names another ("" for SDL's own choice); sets
# `status` and `said` (its standard error).
runShow() {
  from=$1
  shift
  status=0
  (cd "$from" && SDL_AUDIODRIVER=${audioDriver-dummy} timeout 120 "$wine" "$program" "$@") > "$work/out" 2> "$work/err" || status=$?
  said=$(tr -d '\r' < "$work/err")  # Windows' text mode ends lines in CR LF
}
expect() {  # expect STATUS TEXT WHAT: the last run's status, and TEXT in what it said
  [ "$status" -eq "$1" ] && case $said in *"$2"*) true ;; *) false ;; esac ||
    fail "$3: status $status (expected $1), said: $said"
  echo "windows: $3: status $status"
}

step "show.exe"
program=$folder/show.exe
# Started from another folder, as a shortcut or a command prompt elsewhere does: the song is found
# beside the program. Two seconds of the finale's flash and fade, to the end asked for.
mkdir -p "$work/elsewhere"
showStart=$(date +%s)
runShow "$work/elsewhere" --from 115000 --to 117000
expect 0 "" "a stretch played from another folder"
echo "windows: the stretch took $(($(date +%s) - showStart))s with Wine's start-up"
[ -z "$said" ] || fail "the stretch said: $said"
runShow "$folder" --loud
expect 2 "unknown option --loud
usage: show" "a wrong option"
runShow "$folder" --from 60000 --to 60000
expect 2 "--to must come after --from" "an empty stretch"
audioDriver=none runShow "$folder"
expect 255 "Could not initialize sound, reason:" "no sound device"
# A folder with the program alone: no song, then no SDL 2 either.
mkdir -p "$work/alone"
cp "$folder/show.exe" "$folder/SDL2.dll" "$work/alone/"
program=$work/alone/show.exe
runShow "$work/alone"
expect 1 "Could not load module, reason:" "without musa.xm"
rm "$work/alone/SDL2.dll"
runShow "$work/alone"
expect 1 "Couldn't initialize SDL: SDL2.dll could not be loaded" "without SDL2.dll"

# windowNamed PATTERN: the visible window whose title matches, waited for up to 20 s.
windowNamed() {
  for _ in $(seq 100); do
    found=$(xdotool search --onlyvisible --name "$1" 2> /dev/null | tail -1)
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.2
  done
  return 1
}

# The player's keys, whose SDL 2 names the SDL 1.2 layer translates, read back from the title:
# a pause, the next scene, back to --from, then Esc ends the show with status 0.
(cd "$folder" && { SDL_AUDIODRIVER=dummy timeout 120 "$wine" "$folder/show.exe" --controls --from 20000 \
  > /dev/null 2>&1 && echo 0 || echo $?; } > "$work/keyed") &
window=$(windowNamed '^0:2') || fail "no window titled with the time for --controls"
xdotool windowactivate --sync "$window" > /dev/null 2>&1 || true
sleep 0.5
for press in "space:the stripes and the cube (paused)" "Next:0:34.5 the picture scroll (paused)" \
             "Home:0:20.0 the stripes and the cube (paused)"; do
  xdotool key --window "$window" "${press%%:*}" > /dev/null 2>&1
  title=""
  for _ in $(seq 50); do
    title=$(xdotool getwindowname "$window" 2> /dev/null)
    case $title in *"${press#*:}") break ;; esac
    sleep 0.1
  done
  case $title in *"${press#*:}") ;; *) fail "after ${press%%:*} the title is '$title'" ;; esac
done
xdotool key --window "$window" Escape > /dev/null 2>&1
for _ in $(seq 100); do [ -s "$work/keyed" ] && break; sleep 0.2; done
[ "$(cat "$work/keyed" 2> /dev/null)" = 0 ] || fail "after Esc: status $(cat "$work/keyed" 2> /dev/null)"
echo "windows: the player's keys: a pause, the next scene, back to the start, Esc with status 0"

# Started as Explorer starts it (Wine's start: no standard handles at all), a failure is said in a
# message box, which holds the program until its OK; start /wait hands back the status.
(cd "$folder" && { "$wine" start /wait /unix "$folder/show.exe" --loud > /dev/null 2>&1 && echo 0 || echo $?; } > "$work/boxed") &
box=$(windowNamed '^Nocturne$') || fail "no message box for a wrong option without a console"
# The box may be mapped before it takes keys: Enter again until it has gone.
for _ in $(seq 40); do
  xdotool windowactivate --sync "$box" > /dev/null 2>&1 || true
  xdotool key --window "$box" Return > /dev/null 2>&1 || true
  sleep 0.5
  [ -s "$work/boxed" ] && break  # written when start returns
done
[ "$(cat "$work/boxed" 2> /dev/null)" = 2 ] || fail "after the message box's OK: status $(cat "$work/boxed" 2> /dev/null)"
echo "windows: a wrong option without a console: a message box, then status 2"

# --- The sound as a viewer's machine plays it: the program's own WASAPI stream on Wine's
# winepulse, into a private PulseAudio server (socket, state and log in the temporary folder)
# whose null sink's monitor is recorded. build/recording-check ties the recording to the wall
# clock by clicks before and after and times each cut's sound against the moment its frame was
# handed to the display, as the other doors are timed: a stand-in SDL2.dll (tests/windows) logs
# each present, forwarding everything to the real one. The window is also grabbed from the X
# server a hundred times a second, and the same cuts against the screen are reported: what Wine
# adds on its way there (its Direct3D over OpenGL on Xvfb) is not the program's.
step "show.exe in step with its sound through WASAPI into PulseAudio"
sound=$work/pulse
logged=$work/logged
mkdir -p "$sound" "$logged"
cp "$folder/show.exe" "$folder/musa.xm" "$logged/"
cp "$folder/SDL2.dll" "$logged/SDL2real.dll"
{
  echo "LIBRARY SDL2.dll"
  echo "EXPORTS"
  echo "  SDL_UpdateTexture"
  echo "  SDL_RenderPresent"
  x86_64-w64-mingw32-objdump -p "$folder/SDL2.dll" |
    awk '/\[Ordinal\/Name Pointer\] Table/ { on = 1; next } on && /^\t\[/ { print $NF; next } on { on = 0 }' |
    grep -v '^SDL_UpdateTexture$\|^SDL_RenderPresent$' | sed 's/.*/  &=SDL2real.&/'
} > "$work/flip_log.def"
x86_64-w64-mingw32-g++ -O2 -shared -static -o "$logged/SDL2.dll" tests/windows/flip_log.cpp "$work/flip_log.def" ||
  fail "the stand-in SDL2.dll did not build"
export PULSE_SERVER="unix:$sound/native" PULSE_RUNTIME_PATH="$sound/runtime" PULSE_STATE_PATH="$sound/state" \
  PULSE_COOKIE="$sound/cookie"
HOME=$sound pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
  --log-level=debug --log-target=file:"$sound/log" -L "module-null-sink sink_name=show rate=44100 channels=2" \
  -L "module-native-protocol-unix auth-anonymous=1 socket=$sound/native" > /dev/null 2>&1 &
pulse=$!
for _ in $(seq 100); do [ -S "$sound/native" ] && break; sleep 0.1; done
[ -S "$sound/native" ] || fail "PulseAudio did not start"
pcm="--raw --format=s16le --rate=44100 --channels=2"
# Silence keeps the sink running, so the recording has no holes between sounds.
pacat $pcm --stream-name=silence --latency-msec=500 < /dev/zero &
silence=$!
parec $pcm --latency-msec=5 -d show.monitor "$sound/recording.raw" &
recorder=$!
for _ in $(seq 100); do [ -s "$sound/recording.raw" ] && break; sleep 0.1; done
"$desktop/recording-check" --click "$sound/click.raw"
# Clicks written once their streams are connected, their wall times (the X server's grabs and
# the flip log are stamped with the same clock) to the list. A click may be heard late, when the
# machine is slow to run its stream (after the run, with Wine shutting down), never early: of four
# at random moments recording-check takes the one heard soonest after its writing.
clicks() {
  for _ in 1 2 3 4; do
    { sleep 0.5; date +%s.%N >> "$sound/clicks"; cat "$sound/click.raw"; } |
      pacat $pcm --stream-name=click --latency-msec=20
    sleep "0.$(($(od -An -N1 -tu1 /dev/urandom) % 3 + 1))"
  done
}
clicks
# Three cuts with clear onsets: the helmet, the stripes and the cube, the picture scroll. The
# window at its natural size, so the grab holds the picture pixel for pixel.
date +%s.%N > "$sound/start"
(cd "$logged" && { SDL12COMPAT_WINDOW_SCALING=1 timeout 120 "$wine" "$logged/show.exe" --from 7000 --to 35500 \
  > /dev/null 2> "$sound/stderr" && echo 0 || echo $?; } > "$sound/status") &
window=$(windowNamed '^Nocturne$') || fail "no window for the stretch with sound"
eval "$(xdotool getwindowgeometry --shell "$window")"
ffmpeg -nostdin -hide_banner -loglevel info -f x11grab -framerate 100 -video_size 320x240 -i "$DISPLAY+$X,$Y" \
  -copyts -fps_mode passthrough -vf "showinfo,scale=8:8:flags=neighbor" -f rawvideo -pix_fmt rgb24 \
  "$sound/grids.rgb" 2> "$sound/grab.log" &
grab=$!
for _ in $(seq 600); do [ -s "$sound/status" ] && break; sleep 0.1; done
kill -INT "$grab" 2> /dev/null || true
wait "$grab" 2> /dev/null || true
sleep 0.3
clicks
sleep 0.5
kill -INT "$recorder"
wait "$recorder" 2> /dev/null || true
recorder=""
kill "$silence"
[ "$(cat "$sound/status")" = 0 ] || fail "the stretch with sound ended with status $(cat "$sound/status")"
grep -q 'application.name = "show.exe"' "$sound/log" || fail "show.exe never played to PulseAudio"
[ ! -f "$logged/flips.log" ] || tr -d '\r' < "$logged/flips.log" > "$sound/flips.log"
[ -s "$sound/flips.log" ] || fail "the stand-in SDL2.dll logged no frame"

# The run as recording-check reads it, once with the frames as handed over and once as grabbed
# (their times less half the grab's interval: a frame shows up to one grab late); the grids of
# the frames around each cut sampled at the same points.
"$desktop/capture" --module "$root/assets/musa.xm" --audio "$sound/song.wav"
"$desktop/render" --times 8799,8800,16999,17000,34499,34500 --continuous --format raw --out "$sound/cuts"
gridOf() {
  ffmpeg -nostdin -loglevel error -f rawvideo -pix_fmt bgr0 -s 320x240 -i "$1" -vf scale=8:8:flags=neighbor \
    -f rawvideo -pix_fmt rgb24 - | od -An -v -tx1 -w192 | tr -d ' \n'
}
cuts=""
for cut in 8800 17000 34500; do
  cuts="$cuts${cuts:+,}{\"ms\":$cut,\"before\":\"$(gridOf "$sound/cuts/$((cut - 1)).raw")\",\"at\":\"$(gridOf "$sound/cuts/$cut.raw")\"}"
done
sed -n 's/.*Parsed_showinfo.* n: *[0-9]* pts: *\([0-9]*\) .*/\1/p' "$sound/grab.log" > "$sound/stamps"
od -An -v -tx1 -w192 "$sound/grids.rgb" | tr -d ' ' | paste -d' ' "$sound/stamps" - |
  awk 'NF == 2 { printf "%s{\"wall\":%.6f,\"grid\":\"%s\"}", n++ ? "," : "", $1 / 1e6 - 0.005, $2 }' > "$sound/grabbed"
awk 'NF == 2 { printf "%s{\"wall\":%s,\"grid\":\"%s\"}", n++ ? "," : "", $1, $2 }' "$sound/flips.log" > "$sound/handed"
start=$(cat "$sound/start")
judge() {  # judge FRAMES: recording-check's findings with the frames in FRAMES
  printf '{"recording":"%s","song":"%s","serverLog":"%s","clicks":[%s],"runStart":%s,"settle":6,%s' \
    "$sound/recording.raw" "$sound/song.wav" "$sound/log" "$(paste -sd, "$sound/clicks")" "$start" \
    "\"moves\":[{\"what\":\"start\",\"wall\":$start,\"song\":$((7000 * 441 / 10))}],\"cuts\":[$cuts],\"frames\":[" > "$sound/run.json"
  cat "$1" >> "$sound/run.json"
  echo ']}' >> "$sound/run.json"
  "$desktop/recording-check" "$sound/run.json"
}
# A value out of recording-check's findings (JSON): the expression $2 of them, as `f`.
value() { printf '%s' "$1" | node -e "const f = JSON.parse(require('fs').readFileSync(0, 'utf8')); console.log(String($2 ?? ''))"; }
offsetsIn() { value "$1" "f.cuts.map((c) => c.cut + ':' + (c.clean ? c.ms.toFixed(1) : 'unclear')).join(' ')"; }
screen=$(judge "$sound/grabbed")
found=$(judge "$sound/handed")
error=$(value "$found" f.error)
[ -z "$error" ] || fail "the recording could not be read: $error"
offsets=$(offsetsIn "$found")
breaks=$(value "$found" "f.breaks.join('\\n')")
underruns=$(value "$found" "JSON.stringify(f.underruns)")
echo "windows: $(awk 'NR == 1 { first = $1 } { last = $1 } END { printf "%d frames handed to the display, %.1f a second", NR, (NR - 1) / (last - first) }' "$sound/flips.log")"
echo "windows: sound minus picture at the cuts (ms): $offsets"
echo "windows: the same against the screen's grabs (ms): $(offsetsIn "$screen")"
echo "windows: the song found at $(value "$found" f.found) of $(value "$found" f.probes) half seconds;" \
  "$(value "$found" f.breaks.length) breaks; underruns $underruns"
[ -z "$breaks" ] || echo "$breaks" | sed 's/^/windows:   /'
# Cuts within 25 ms: the other doors' 15, and 10 for Wine's account of its device, a position its
# own timer moves a period at a time, which put the sound from 23 ms before the picture to 12 ms
# after it from one run to the next while the program's clock followed it. Wine's stream has a
# 30 ms queue topped up every 10 ms by Wine's own thread, which a busy machine makes late now and
# then: its underruns break the sound and shift what follows, no matter what the program mixed
# ahead, so a run that fails with any of them is reported with its figures, not failed.
faults=""
for pair in $offsets; do
  case ${pair#*:} in
    unclear) faults="$faults cut ${pair%%:*} unclear;" ;;
    *) awk -v ms="${pair#*:}" 'BEGIN { exit !(ms < -25 || ms > 25) }' && faults="$faults cut ${pair%%:*} at ${pair#*:} ms;" ;;
  esac
done
[ "$(echo "$offsets" | wc -w)" -eq 3 ] || faults="$faults not three cuts heard;"
[ -z "$breaks" ] || faults="$faults the sound broke;"
if [ -n "$faults" ]; then
  # Every stream but the test's own silence and clicks is show.exe's.
  [ "$(value "$found" "Object.entries(f.underruns).some(([name, n]) => n > 0 && name !== 'silence' && name !== 'click')")" = true ] ||
    fail "show.exe out of step with its sound:$faults"
  echo "windows: the machine starved Wine's sound ($underruns); not judged:$faults"
fi

step "done"
echo "windows: all checks passed in $(($(date +%s) - started))s"
