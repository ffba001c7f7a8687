#!/bin/sh
# build-web.sh: the show as a web page, compiled to WebAssembly with Debian's emscripten.
#   scripts/build-web.sh [DESKTOP_BUILD [WEB_BUILD]]      (make web runs it)
# DESKTOP_BUILD (default build) lends its picture converter, built here if missing. WEB_BUILD
# (default build-web) gets libmikmod's sources, the emcmake build, and site/: the files a web
# host serves (index.html, style.css, page.js, show.js, show.wasm, show.data).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
desktop=$root/${1:-build}
web=$root/${2:-build-web}
jobs=$(nproc)
started=$(date +%s)
# Debian's emscripten needs its acorn module, which a node from outside Debian does not look for.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

# The picture converter runs on the build machine, so it comes from the desktop build.
if [ ! -x "$desktop/png2src" ]; then
  cmake -S . -B "$desktop" -DCMAKE_BUILD_TYPE=Release > /dev/null
  cmake --build "$desktop" -j"$jobs" --target png2src
fi

# libmikmod is not part of emscripten: its Debian source package, fetched once.
mikmod=$web/sources/libmikmod
scripts/fetch-sources.sh "$web/sources" libmikmod

emcmake cmake -S . -B "$web" -DCMAKE_BUILD_TYPE=Release -DSHOW_SHELL=OFF \
  -DSHOW_PNG2SRC="$desktop/png2src" -DSHOW_MIKMOD_SOURCE="$mikmod" > /dev/null
cmake --build "$web" -j"$jobs" --target web

site=$web/site
echo "web: $site in $(($(date +%s) - started))s, $(du -cb "$site"/* | tail -1 | cut -f1) bytes to serve:"
# Each file's size, and gzipped as make serve-web (and a host set up as the README says) sends it.
for file in "$site"/*; do
  echo "  $(basename "$file") $(wc -c < "$file") ($(gzip -9c "$file" | wc -c) gzipped)"
done
