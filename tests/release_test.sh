#!/bin/sh
# release_test.sh: make release's script where doors cannot be built: the video with ffmpeg
# hidden from PATH, and the device where this tree has no `make device`; each is named and
# skipped, the release goes on (status 0) and SHA256SUMS lists nothing. A door it does not know
# is refused with the usage.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "release_test: FAILED: $*" >&2; cat "$work/out" >&2; exit 1; }

# A PATH of every program this one has, but ffmpeg.
mkdir "$work/bin"
IFS=:
for dir in $PATH; do
  [ -d "$dir" ] && cp -sn "$dir"/* "$work/bin/" 2> /dev/null || true
done
unset IFS
rm -f "$work/bin/ffmpeg"

doors=video
make -C "$root" -n device > /dev/null 2>&1 || doors="$doors device"
status=0
PATH=$work/bin "$root/scripts/release.sh" --out "$work/release" $doors > "$work/out" 2>&1 || status=$?
[ $status -eq 0 ] || fail "status $status"
grep -q "^release: video: SKIPPED: missing ffmpeg" "$work/out" || fail "the video's missing ffmpeg not named"
case $doors in *device*)
  grep -q "^release: device: SKIPPED: this tree has no \`make device\` target" "$work/out" ||
    fail "the missing device target not named" ;;
esac
# Named again in the closing summary, where a reader of a long build's output looks.
[ "$(sed -n '/^release: skipped:/,$p' "$work/out" | grep -c '^  ')" -eq "$(echo $doors | wc -w)" ] ||
  fail "the summary does not list every skipped door"
[ "$(ls "$work/release")" = SHA256SUMS ] && [ ! -s "$work/release/SHA256SUMS" ] ||
  fail "the release folder holds $(ls "$work/release")"

: > "$work/out"
status=0
"$root/scripts/release.sh" --out "$work/release" flatpak > "$work/out" 2>&1 || status=$?
[ $status -eq 2 ] && grep -q "^usage: scripts/release.sh" "$work/out" || fail "an unknown door: status $status"

# The source door, beside a site left by an earlier release: the site lists it for its page's
# links, with its size, and is packed again with the list; twice, the same bytes.
rm -rf "$work/release"
mkdir -p "$work/release/site"
echo '<!doctype html>' > "$work/release/site/index.html"
"$root/scripts/release.sh" --out "$work/release" source > "$work/out" 2>&1 || fail "the source door: status $?"
size=$(stat -c %s "$work/release/Nocturne-source.tar.gz")
[ "$(cat "$work/release/site/downloads.json")" = "[{\"what\":\"source\",\"kind\":\"tar.gz\",\"file\":\"../Nocturne-source.tar.gz\",\"bytes\":$size}]" ] ||
  fail "the site's list of downloads: $(cat "$work/release/site/downloads.json")"
tar -tzf "$work/release/Nocturne-web.tar.gz" | grep -qx 'site/downloads.json' || fail "the packed site has no list"
tar -tzf "$work/release/Nocturne-source.tar.gz" | grep -qx 'nocturne/src/web/page.js' || fail "the source lacks the page"
sums=$(cat "$work/release/SHA256SUMS")
"$root/scripts/release.sh" --out "$work/release" source > "$work/out" 2>&1 || fail "the source door again: status $?"
[ "$(cat "$work/release/SHA256SUMS")" = "$sums" ] || fail "a second release of the same commit differs"
echo "release_test: passed"
