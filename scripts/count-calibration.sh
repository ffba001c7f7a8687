#!/bin/sh
# count-calibration.sh: the ARM instructions of the device stand-in's calibration render, counted
# as make bench-arm counts (scripts/arm.sh), and the render's options, on one line:
#   scripts/count-calibration.sh [ARM_BUILD]   ->   674699142 --range 0:116000:290 --format raw
# A count takes a minute under qemu's log, so it is kept in ARM_BUILD/calibration.count with the
# render's size and digest and the options, and counted again only when one of them changes.
# test-arm.sh starts it beside the budget's counts, which need no quiet machine either;
# tests/device.test.mjs asks it again and times the same render with the same options.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
arm=$(cd "${1:-$root/build-arm}" && pwd)
# 401 frames from the whole show, every window in proportion to its time: qemu runs some effects'
# code a quarter slower for each instruction than others (the cube's 1,376 M instructions a second
# against the clock's 1,776 M here, unthrottled), so a render of one window alone would set the
# stand-in's speed for that window's code and leave the others slower or faster.
options="--range 0:116000:290 --format raw"
render=$arm/render
[ -x "$render" ] || { echo "count-calibration: no ARM render in $arm" >&2; exit 1; }
key="$(stat -c %s "$render")-$(sha256sum "$render" | cut -d' ' -f1) $options"
kept=$arm/calibration.count
if [ -f "$kept" ] && [ "$(sed -n 1p "$kept")" = "$key" ]; then
  echo "$(sed -n 2p "$kept") $options"
  exit 0
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
. "$root/scripts/arm.sh"
# shellcheck disable=SC2086  # the options are words
count=$(countAll "$render" $options --out "$out")
case $count in
  '' | *[!0-9]*) echo "count-calibration: the render was not counted: $count" >&2; exit 1 ;;
esac
# Written whole or not at all: a second caller may read it while this one writes.
printf '%s\n%s\n' "$key" "$count" > "$kept.$$"
mv "$kept.$$" "$kept"
echo "$count $options"
