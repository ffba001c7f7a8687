#!/bin/sh
# test-package.sh: the Debian package as a host meets it: built, judged by lintian, installed into
# this machine with apt-get, the installed show played from another folder under Xvfb, then
# removed and purged, leaving none of its files.
#   scripts/test-package.sh [DESKTOP_BUILD [DEB_BUILD]]      (make test-package; ./test.sh runs it)
# It installs as root, through sudo when not root, as scripts/setup.sh does. A nocturne package
# installed here before is left alone: the test then stops after lintian.
set -eu
cd "$(dirname "$0")/.."
started=$(date +%s)
step() { printf '== package: %s (%ss)\n' "$1" $(($(date +%s) - started)); }
fail() { echo "package: FAILED: $*" >&2; exit 1; }
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi

step "building it"
deb=$(scripts/build-deb.sh "${1:-build}" "${2:-build-deb}" | tail -1)
[ -f "$deb" ] || fail "build-deb.sh made no package"
echo "package: $deb, $(stat -c %s "$deb") bytes; depends on $(dpkg-deb -f "$deb" Depends)"

# The manual page is written by hand: every option the program's usage names must be in it.
page=src/package/show.6
for option in $("$(dirname "$deb")/show" --no-such-option 2>&1 | sed 1d | grep -o -- '--[a-z]*' | sort -u); do
  grep -q -- "\\\\-\\\\-${option#--}" "$page" || fail "$page does not describe $option"
done

# Every level of finding, the pedantic and experimental ones too, and none is expected. Lintian's
# own remark that it runs as root (as CI does) is about the machine, not the package.
step "lintian"
findings=$(lintian --display-level '>=pedantic' -E "$deb" 2>&1 | grep -v '^running with root privileges' || true)
[ -z "$findings" ] || fail "lintian's findings:
$findings"

if dpkg-query -W -f '${Status}' nocturne 2> /dev/null | grep -q "ok installed"; then
  echo "package: nocturne is installed on this machine already; left as it is, not installed over"
  exit 0
fi

work=$(mktemp -d)
cleanUp() {
  if dpkg-query -W -f '${Status}' nocturne 2> /dev/null | grep -q "ok installed"; then
    $sudo apt-get purge -y -qq nocturne > /dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanUp EXIT
trap 'exit 1' INT TERM

step "apt-get install"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" > "$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "apt-get install $deb"; }
dpkg -L nocturne | sort > "$work/files"
for file in /usr/games/show /usr/share/games/nocturne/musa.xm /usr/share/applications/nocturne.desktop \
  /usr/share/icons/hicolor/256x256/apps/nocturne.png /usr/share/man/man6/show.6.gz; do
  [ -f "$file" ] || fail "$file is not installed"
done
man -l /usr/share/man/man6/show.6.gz 2> /dev/null | grep -q "/usr/share/games/nocturne" ||
  fail "the installed manual page does not name the song's folder"

# From an empty folder, as a menu or a shell elsewhere starts it: the song comes from the
# package's data folder. Under Xvfb, with SDL's dummy sound.
step "the installed show from another folder"
mkdir "$work/elsewhere"
exec 5> "$work/display"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { kill $xvfb; fail "Xvfb did not start"; }
status=0
(cd "$work/elsewhere" && DISPLAY=":$(cat "$work/display")" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \
  timeout 60 /usr/games/show --from 110000 --to 112000 > "$work/show.log" 2>&1) || status=$?
kill $xvfb
[ "$status" -eq 0 ] || { cat "$work/show.log"; fail "the installed show ended with status $status"; }
[ ! -s "$work/show.log" ] || { cat "$work/show.log"; fail "the installed show said something"; }

step "apt-get remove, then dpkg --purge"
$sudo apt-get remove -y -qq nocturne > /dev/null 2>&1 || fail "apt-get remove nocturne"
[ ! -e /usr/games/show ] || fail "/usr/games/show is still there after apt-get remove"
# Without conffiles, the removal leaves nothing to purge and apt forgets a package no archive
# holds; dpkg's purge must still find nothing of it.
$sudo dpkg --purge nocturne > /dev/null 2>&1 || fail "dpkg --purge nocturne"
dpkg-query -W -f '${Status}' nocturne 2> /dev/null | grep -qv "not-installed" &&
  fail "dpkg still knows nocturne: $(dpkg-query -W -f '${Status}' nocturne)"
# Folders the icon theme and others share stay; the package's own files and folders go.
while read -r path; do
  [ -d "$path" ] && [ "${path#*nocturne}" = "$path" ] && continue
  [ ! -e "$path" ] || fail "$path is left after the purge"
done < "$work/files"
step "passed: $(wc -l < "$work/files") paths installed and removed"
