#!/bin/sh
# build-windows.sh: the show for 64-bit Windows, cross-compiled with Debian's MinGW-w64.
#   scripts/build-windows.sh [DESKTOP_BUILD [WINDOWS_BUILD]]      (make windows runs it)
# DESKTOP_BUILD (default build) lends its picture converter, built here if missing. WINDOWS_BUILD
# (default build-windows) gets the Debian sources of SDL 2 and libmikmod (sources/), SDL2.dll
# (sdl2/), show.exe and render.exe, and Nocturne-windows.zip: what a Windows viewer unpacks.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
desktop=$root/${1:-build}
windows=$root/${2:-build-windows}
toolchain=$root/cmake/x86_64-w64-mingw32.cmake
jobs=$(nproc)
started=$(date +%s)
fail() { echo "windows: FAILED: $*" >&2; exit 1; }

# The picture converter runs on the build machine, so it comes from the desktop build.
if [ ! -x "$desktop/png2src" ]; then
  cmake -S . -B "$desktop" -DCMAKE_BUILD_TYPE=Release > /dev/null
  cmake --build "$desktop" -j"$jobs" --target png2src
fi

scripts/fetch-sources.sh "$windows/sources" libsdl2 libmikmod

# SDL2.dll, with what the show uses: video, audio, events, timers. Its C runtime support is
# linked in, so it needs only Windows' own DLLs.
if [ ! -f "$windows/sdl2/SDL2.dll" ]; then
  cmake -S "$windows/sources/libsdl2" -B "$windows/sdl2" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF \
    -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF \
    -DSDL_VULKAN=OFF > "$windows/sdl2.log" 2>&1 || { cat "$windows/sdl2.log"; fail "SDL 2's configuration"; }
  cmake --build "$windows/sdl2" -j"$jobs" >> "$windows/sdl2.log" 2>&1 || { tail -30 "$windows/sdl2.log"; fail "SDL 2's build"; }
fi

cmake -S . -B "$windows" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DSHOW_PNG2SRC="$desktop/png2src" -DSHOW_MIKMOD_SOURCE="$windows/sources/libmikmod" > /dev/null
cmake --build "$windows" -j"$jobs" --target show render

# The viewer's folder: the program, SDL 2, the song and a readme with Windows' line ends.
package=$windows/package/Nocturne
rm -rf "$windows/package" "$windows/Nocturne-windows.zip"
mkdir -p "$package"
x86_64-w64-mingw32-strip -o "$package/show.exe" "$windows/show.exe"
x86_64-w64-mingw32-strip -o "$package/SDL2.dll" "$windows/sdl2/SDL2.dll"
cp assets/musa.xm "$package/"
sed 's/$/\r/' src/windows/README.txt > "$package/README.txt"

# Windows' own DLLs are on every machine; any other one the program names must be in the folder.
for binary in show.exe SDL2.dll; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$package/$binary" | sed -n 's/^\tDLL Name: //p'); do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
      kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|ole32.dll|oleaut32.dll|imm32.dll|\
      version.dll|winmm.dll|setupapi.dll|msvcrt.dll) ;;
      *) [ -f "$package/$dll" ] || fail "$binary needs $dll, which is not in the package" ;;
    esac
  done
done
# The same zip from the same files: every entry stamped with the commit's time (SOURCE_DATE_EPOCH,
# which make release sets, else the last commit's) in UTC, in sorted order, without the extra
# fields of owners and times.
stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
find "$windows/package" -exec touch -h -d "@$stamp" {} +
(cd "$windows/package" && find Nocturne | LC_ALL=C sort | TZ=UTC zip -q -X -@ ../Nocturne-windows.zip)
echo "windows: $windows/Nocturne-windows.zip in $(($(date +%s) - started))s, $(stat -c %s "$windows/Nocturne-windows.zip") bytes:"
for file in "$package"/*; do echo "  $(basename "$file") $(stat -c %s "$file")"; done
