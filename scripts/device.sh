#!/bin/sh
# device.sh: the release for the device, ARM_BUILD/Nocturne-device.tar.gz: one folder, Nocturne,
# with the ARM show, every library it needs beyond the C library in lib/, musa.xm, the launcher
# (src/device/play) and its readme.
#   scripts/device.sh [DESKTOP_BUILD [ARM_BUILD]]      (make device runs it)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
arm=$root/${2:-build-arm}
. "$root/scripts/arm.sh"
fail() { echo "device: FAILED: $*" >&2; exit 1; }

scripts/build-arm.sh "${1:-build}" "${2:-build-arm}" show

# What the device brings: the C library, the files of Debian's package of it for this toolchain.
provided=$(dpkg -L libc6-armel-cross | sed -n 's|^/usr/arm-linux-gnueabi/lib/||p' | grep '\.so')
# Every library the show needs, and those they need, found in the sysroot or the toolchain.
find_library() {
  for folder in "$sysroot/usr/lib/arm-linux-gnueabi" "$sysroot/lib/arm-linux-gnueabi" \
      "$sysroot/usr/lib/arm-linux-gnueabi/pulseaudio" "$toolchainRoot/lib"; do
    [ -e "$folder/$1" ] && { echo "$folder/$1"; return; }
  done
  fail "no $1 for ARM"
}
needed() { arm-linux-gnueabi-readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }

stage=$arm/device
rm -rf "$stage"
mkdir -p "$stage/Nocturne/lib"
cp "$arm/show" "$stage/Nocturne/show"
arm-linux-gnueabi-strip "$stage/Nocturne/show"
todo=$arm/show
seen=" "
while [ -n "$todo" ]; do
  set -- $todo
  file=$1
  shift
  todo="$*"
  for library in $(needed "$file"); do
    case "$seen" in *" $library "*) continue ;; esac
    seen="$seen$library "
    echo "$provided" | grep -qx "$library" && continue
    path=$(find_library "$library")
    cp -L "$path" "$stage/Nocturne/lib/$library"
    todo="$todo $path"
  done
done
cp assets/musa.xm src/device/README.txt "$stage/Nocturne/"
cp src/device/play "$stage/Nocturne/play"
chmod +x "$stage/Nocturne/play"
archive=$arm/Nocturne-device.tar.gz
tar -czf "$archive.part" -C "$stage" --owner=0 --group=0 Nocturne
mv "$archive.part" "$archive"
echo "device: $archive, $(stat -c %s "$archive") bytes: the show $(stat -c %s "$stage/Nocturne/show") bytes and" \
  "$(ls "$stage/Nocturne/lib" | wc -l) libraries, $(du -sk "$stage/Nocturne/lib" | cut -f1) KB"
