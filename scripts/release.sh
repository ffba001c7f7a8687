#!/bin/sh
# release.sh: every door's artefact in one folder, with their checksums.
#   scripts/release.sh [--out DIR] [DOOR...]      (make release runs it: every door, into release/)
# The doors, in the order they are built: deb (the Debian package), web (the page's site, as a
# folder and packed), windows (the zip), device (the device's archive, where `make device`
# exists), video (the whole show as an MP4), source (the project's files at the commit, from git).
# The site lists the others beside it (site/downloads.json), so its page links them: the release
# folder is what a web host serves, the page at site/. Each is built by the project's own script for it, in
# its usual build folder, after scripts/setup.sh has installed what it needs; a door whose tools
# are still missing, or that has no build here, is named and skipped. A door that fails to build
# fails the release. Then SHA256SUMS, and a list of what was built, how big, and what was skipped.
# Repeatable: the times packed into the files are the last commit's (SOURCE_DATE_EPOCH), the
# archives are sorted with fixed owners and no gzip name or time.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
all="deb web windows device video source"
usage() { echo "usage: scripts/release.sh [--out DIR] [DOOR...]   doors: $all" >&2; exit 2; }
out=release
doors=""
while [ $# -gt 0 ]; do
  case $1 in
    --out) [ $# -ge 2 ] && [ -n "$2" ] || usage; out=$2; shift 2 ;;
    deb|web|windows|device|video|source) doors="$doors $1"; shift ;;
    *) usage ;;
  esac
done
[ -n "$doors" ] || doors=$all
mkdir -p "$out"
out=$(cd "$out" && pwd)
logs=$root/build/release-logs
mkdir -p "$logs"
started=$(date +%s)

SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
commit=$(git log -1 --format='%h, %cd' --date=iso-strict)
git diff --quiet HEAD 2> /dev/null || commit="$commit, with changes not committed"
echo "release: commit $commit, into $out"

# A new release replaces what an earlier one left of these doors.
for door in $doors; do
  case $door in
    deb) rm -f "$out"/nocturne_*.deb ;;
    web) rm -rf "$out/site" "$out/Nocturne-web.tar.gz" ;;
    windows) rm -f "$out/Nocturne-windows.zip" ;;
    device) rm -f "$out"/Nocturne-device.* ;;
    video) rm -f "$out/Nocturne.mp4" ;;
    source) rm -f "$out/Nocturne-source.tar.gz" ;;
  esac
done
rm -f "$out/SHA256SUMS"

skipped=""
skip() {
  echo "release: $1: SKIPPED: $2"
  skipped="$skipped$1: $2
"
}
# The commands of the list that are not on PATH.
missing() {
  for tool in "$@"; do command -v "$tool" > /dev/null || printf '%s ' "$tool"; done
}
# True when the door's tools are there, installing them through the project's setup first if
# not; otherwise the door is skipped, naming what is missing.
haveTools() {
  door=$1 setup=$2
  shift 2
  [ -z "$(missing "$@")" ] || scripts/setup.sh $setup > "$logs/$door-setup.log" 2>&1 || true
  lacking=$(missing "$@")
  [ -z "$lacking" ] || skip "$door" "missing ${lacking% } (scripts/setup.sh $setup could not install it)"
  [ -z "$lacking" ]
}
# Runs a door's build with its output in a log, shown in part if it fails.
build() {
  door=$1
  shift
  echo "release: $door: building ($(($(date +%s) - started)) s in; log in $logs/$door.log)"
  "$@" > "$logs/$door.log" 2>&1 || {
    tail -30 "$logs/$door.log"
    echo "release: $door: FAILED (the whole log: $logs/$door.log)" >&2
    exit 1
  }
}
# tar, sorted, with the commit's time and no owner, gzipped without a name or time: the same
# bytes from the same files.
pack() {
  tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner --format=gnu \
    -C "$(dirname "$2")" -cf - "$(basename "$2")" | gzip -9n > "$1"
}

# The whole show as make video makes it (x264 gives the same bytes every run).
capture() {
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
  cmake --build build -j"$(nproc)" --target capture
  build/capture --module assets/musa.xm --out "$1"
}

for door in $doors; do
  case $door in
    deb)
      haveTools deb "" cmake g++ cpack dpkg-shlibdeps dpkg-deb || continue
      build deb scripts/build-deb.sh build build-deb
      cp "$(tail -1 "$logs/deb.log")" "$out/"
      ;;
    web)
      haveTools web web emcc node cmake || continue
      build web scripts/build-web.sh build build-web
      cp -r build-web/site "$out/site"
      # Emscripten's file packager writes a random package id into show.js, read only by the
      # preload cache the page does not use: the release's is made of show.data's checksum.
      id=$(sha256sum "$out/site/show.data" | sed 's/^\(.\{8\}\)\(.\{4\}\)\(.\{4\}\)\(.\{4\}\)\(.\{12\}\).*/\1-\2-\3-\4-\5/')
      sed -i "s/\"package_uuid\":\"[0-9a-f-]*\"/\"package_uuid\":\"$id\"/" "$out/site/show.js"
      grep -q "\"package_uuid\":\"$id\"" "$out/site/show.js" || { echo "release: web: no package id in show.js" >&2; exit 1; }
      ;;
    windows)
      haveTools windows windows x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-strip zip dpkg-source cmake || continue
      build windows scripts/build-windows.sh build build-windows
      cp build-windows/Nocturne-windows.zip "$out/"
      ;;
    device)
      # The device's door brings its own make target; a tree without it has no device build.
      if ! make -n device > /dev/null 2>&1; then
        skip device "this tree has no \`make device\` target"
        continue
      fi
      marker=$logs/device.started
      touch "$marker"
      build device make device
      archive=$(find build* -newer "$marker" -type f \( -name '*device*.tar.gz' -o -name '*device*.tar.xz' \
        -o -name '*device*.zip' \) 2> /dev/null | head -1)
      [ -n "$archive" ] || { echo "release: device: FAILED: make device left no build*/*device*.tar.gz, .tar.xz or .zip" >&2; exit 1; }
      cp "$archive" "$out/Nocturne-device.${archive#*device*.}"
      ;;
    video)
      haveTools video "" ffmpeg cmake || continue
      build video capture "$out/Nocturne.mp4"
      ;;
    source)
      git archive --format=tar --prefix=nocturne/ HEAD | gzip -9n > "$out/Nocturne-source.tar.gz"
      ;;
  esac
done

# The site lists what lies beside it for its page's links, then is packed as it is served.
if [ -d "$out/site" ]; then
  entry() {  # name, what the link says, the kind of file
    [ -f "$out/$1" ] || return 0
    printf '%s{"what":"%s","kind":"%s","file":"../%s","bytes":%s}' "$sep" "$2" "$3" "$1" "$(stat -c %s "$out/$1")"
    sep=','
  }
  sep=''
  {
    printf '['
    entry Nocturne-windows.zip "Windows" "zip"
    for deb in "$out"/nocturne_*.deb; do entry "$(basename "$deb")" "Debian package" "deb"; done
    for device in "$out"/Nocturne-device.*; do entry "$(basename "$device")" "ARM device" "${device#*device.}"; done
    entry Nocturne.mp4 "video" "MP4"
    entry Nocturne-source.tar.gz "source" "tar.gz"
    printf ']\n'
  } > "$out/site/downloads.json"
  find "$out/site" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  rm -f "$out/Nocturne-web.tar.gz"
  pack "$out/Nocturne-web.tar.gz" "$out/site"
fi

(cd "$out" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs -r sha256sum > SHA256SUMS)

echo "release: in $out after $(($(date +%s) - started)) s:"
for file in "$out"/*; do
  [ -e "$file" ] || continue
  bytes=$(du -sb --apparent-size "$file" | cut -f1)
  printf '  %-32s %12s bytes  %s\n' "$(basename "$file")$([ -d "$file" ] && echo /)" "$bytes" "$(numfmt --to=iec "$bytes")"
done
[ -z "$skipped" ] || printf 'release: skipped:\n%s' "$skipped" | sed '2,$s/^/  /'
