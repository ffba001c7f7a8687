#!/bin/sh
# build-deb.sh: the show as a Debian package, built by CPack from the project's install rules.
#   scripts/build-deb.sh [DESKTOP_BUILD [DEB_BUILD]]      (make deb runs it)
# DESKTOP_BUILD (default build) lends its picture converter, built here if missing. DEB_BUILD
# (default build-deb) is a build for the prefix /usr, with Debian's compiler flags, that holds
# the package: nocturne_<version>_<architecture>.deb, whose name is the script's last line.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
desktop=$root/${1:-build}
deb=$root/${2:-build-deb}
jobs=$(nproc)
# The files' times in the package come from the last commit, so the same sources give the same
# package.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

# The picture converter runs on the build machine, so it comes from the desktop build.
if [ ! -x "$desktop/png2src" ]; then
  cmake -S . -B "$desktop" -DCMAKE_BUILD_TYPE=Release > /dev/null
  cmake --build "$desktop" -j"$jobs" --target png2src
fi

# Debian's flags: all its hardening (stack protector, fortified functions, relocations read-only
# and bound at start) and the source folder's path mapped away. CMake reads no CPPFLAGS, so they go
# with the compilers' flags.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }

# Only what the package holds is built: CPack's install would otherwise build every target first.
cmake -S . -B "$deb" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" -DSHOW_TOOLS=OFF -DSHOW_TESTS=OFF -DSHOW_BENCH=OFF -DSHOW_PNG2SRC="$desktop/png2src" > /dev/null
cmake --build "$deb" -j"$jobs" --target show package-documents
rm -f "$deb"/*.deb
(cd "$deb" && cpack -G DEB > cpack.log 2>&1) || { cat "$deb/cpack.log" >&2; exit 1; }
ls "$deb"/*.deb
