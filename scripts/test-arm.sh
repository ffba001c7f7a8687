#!/bin/sh
# test-arm.sh: the ARM soft-float cross build, run under qemu-arm: the core's unit tests (the
# show's frames word for word the desktop build's among them), the show program itself, the
# device's budget in instructions (bench-arm.sh --budget), the device's release (device.sh) and
# the device stand-in playing it (tests/device.test.mjs).
#   scripts/test-arm.sh [DESKTOP_BUILD [ARM_BUILD]]      (make test-arm runs it)
# DESKTOP_BUILD (default build) must be built already: it converts the pictures and writes the
# short module the show plays. ARM_BUILD (default build-arm) gets everything else, the fetched armel packages
# and the sysroot made of them included.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
desktop=$root/${1:-build}
arm=$root/${2:-build-arm}
. "$root/scripts/arm.sh"
jobs=$(nproc)
started=$(date +%s)

step() { printf '\n== arm: %s (%ss)\n' "$1" $(($(date +%s) - started)); }
fail() { echo "arm: FAILED: $*" >&2; exit 1; }

[ -x "$desktop/render" ] || fail "no desktop build in $desktop (run make build first)"
mkdir -p "$arm"

# --- The cross build (scripts/build-arm.sh): the sysroot, GoogleTest for the target, the core,
# render, show, the stand-in display's preload and the core's tests. Every test labelled core is a
# target of the same name.
step "building for ARM"
scripts/build-arm.sh "${1:-build}" "${2:-build-arm}" render show flip_log
coreTests=$(ctest --test-dir "$arm" -N -L core | sed -n 's/^ *Test *#[0-9]*: *//p')
[ -n "$coreTests" ] || fail "no core tests registered"
cmake --build "$arm" -j"$jobs" --target $coreTests

# --- The core's unit tests under qemu (CTest runs them through the toolchain's emulator), the
# show's sampled frames among them: word for word the checksums the desktop build draws.
step "core unit tests under qemu-arm"
ctest --test-dir "$arm" -L core --output-on-failure -j"$jobs"

# --- The show itself under qemu, with SDL's dummy video and audio drivers: start-up, the tables,
# the music (libmikmod's SDL driver on SDL's dummy audio) and the frame loop, to the module's end.
# It runs on qemu's most capable core, not the ARM926: Debian's armel libSDL2 executes the ARMv6
# memory barrier "mcr p15, 0, rN, c7, c10, 5" during SDL_Init, which an ARMv5TE core rejects as
# an undefined instruction (SIGILL). The show's own code is the core checked above.
step "the show under qemu-arm"
run=$arm/show-run
rm -rf "$run"
mkdir -p "$run"
if [ -x "$desktop/compose" ] && "$desktop/compose" --short 4 --out "$run/musa.xm" > /dev/null 2>&1; then
  module=yes
else
  module=no   # without the music tool, start-up up to the module's loading is what can be run
  echo "arm: no short module (build/compose --short missing); checking start-up only"
fi
status=0
showStart=$(date +%s)
(cd "$run" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 300 \
   qemu-arm -cpu max -L "$toolchainRoot" -E LD_LIBRARY_PATH="$libraryPath" "$arm/show") \
  > "$run/log" 2>&1 || status=$?
seconds=$(($(date +%s) - showStart))
cat "$run/log"
echo "arm: show ended with status $status after ${seconds}s"
if [ "$module" = yes ]; then
  [ "$status" -eq 0 ] && [ ! -s "$run/log" ] || fail "show under qemu-arm did not play to the end"
  # The music plays in real time even on the dummy driver, so the show lasts as long as it.
  [ "$seconds" -ge 3 ] || fail "show under qemu-arm ended before its 4 s module could have"
else
  # The missing module is the first failure it can meet after SDL, the video mode, the tables
  # and MikMod's sound driver have all come up.
  [ "$status" -eq 1 ] && grep -q "Could not load module" "$run/log" ||
    fail "show under qemu-arm did not reach the module"
fi

# --- The device's budget, counted: every window's drawing within 1.0 M instructions, a whole pass
# of the show's loop within 2.0 M.
step "the device's budget in ARM instructions"
# The stand-in's calibration render is counted meanwhile: counts need no quiet machine, and
# qemu's log runs on one processor each.
scripts/count-calibration.sh "$arm" > "$arm/calibration.log" 2>&1 &
calibration=$!
scripts/bench-arm.sh --budget "${2:-build-arm}" || { kill $calibration 2> /dev/null; exit 1; }
wait $calibration || { cat "$arm/calibration.log"; fail "the stand-in's calibration render was not counted"; }

# --- The release for the device, then the release on the device stand-in (node, as the desktop's
# playback test): a stretch from the unpacked archive, then the whole show on one processor of
# about 150 M instructions a second, recorded and judged.
step "the device's release"
scripts/device.sh "${1:-build}" "${2:-build-arm}" > "$arm/device.log" 2>&1 || { cat "$arm/device.log"; fail "the release was not made"; }
tail -1 "$arm/device.log"
step "the device stand-in"
SHOW_BUILD=$desktop SHOW_ARM_BUILD=$arm node --test tests/device.test.mjs

step "sizes"
for program in show render; do
  echo "arm: $program $(stat -c %s "$arm/$program") bytes ($(arm-linux-gnueabi-size "$arm/$program" | tail -1 | awk '{print $1 " text, " $2 " data, " $3 " bss"}'))"
done
echo "arm: all checks passed in $(($(date +%s) - started))s"
