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

# libmikmod is not part of emscripten: its Debian source package, fetched once through a private
# apt state that lists only Debian's source archive, so the machine's own apt setup is untouched.
mikmod=$web/libmikmod
if [ ! -f "$mikmod/include/mikmod.h" ]; then
  apt=$web/apt
  rm -rf "$apt" "$mikmod"
  mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$apt/source"
  : > "$apt/status"
  release=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  # The Debian archive this machine's apt already uses (a deb822 .sources file or sources.list).
  archive=$(sed -n 's|^URIs: *\([^ ]*/debian\)/*$|\1|p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1)
  [ -n "$archive" ] || archive=$(awk '$1 == "deb" && $2 ~ /\/debian\/?$/ {print $2; exit}' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null)
  [ -n "$archive" ] || { echo "web: no Debian archive in this machine's apt sources" >&2; exit 1; }
  echo "deb-src $archive $release main" > "$apt/sources.list"
  cat > "$apt/apt.conf" <<CONF
Dir::State "$apt/state";
Dir::State::status "$apt/status";
Dir::Cache "$apt/cache";
Dir::Etc::SourceList "$apt/sources.list";
Dir::Etc::SourceParts "/nonexistent";
APT::Sandbox::User "root";
CONF
  APT_CONFIG=$apt/apt.conf apt-get update -qq
  (cd "$apt/source" && APT_CONFIG=$apt/apt.conf apt-get source -qq libmikmod > /dev/null)
  mv "$apt/source"/libmikmod-*/ "$mikmod"
  rm -rf "$apt"
fi

emcmake cmake -S . -B "$web" -DCMAKE_BUILD_TYPE=Release -DSHOW_SHELL=OFF \
  -DSHOW_PNG2SRC="$desktop/png2src" -DSHOW_MIKMOD_SOURCE="$mikmod" > /dev/null
cmake --build "$web" -j"$jobs" --target web

site=$web/site
echo "web: $site in $(($(date +%s) - started))s, $(du -cb "$site"/* | tail -1 | cut -f1) bytes to serve:"
# Each file's size, and gzipped as make serve-web (and a host set up as the README says) sends it.
for file in "$site"/*; do
  echo "  $(basename "$file") $(wc -c < "$file") ($(gzip -9c "$file" | wc -c) gzipped)"
done
