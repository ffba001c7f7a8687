#!/bin/sh
# fetch-sources.sh: Debian source packages, unpacked, for builds that cannot use the machine's own
# binary packages (the web page's libmikmod, the Windows program's SDL 2 and libmikmod).
#   scripts/fetch-sources.sh DIR PACKAGE...
# Each source package lands in DIR/PACKAGE, fetched once: a tree already there is kept. apt works
# from a private state that lists only Debian's source archive, so the machine's own apt setup is
# untouched. The versions are pinned here (Debian 12's), so every build compiles the same code.
set -eu
[ $# -ge 2 ] || { echo "usage: fetch-sources.sh DIR PACKAGE..." >&2; exit 2; }
dir=$1
shift
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

pin() {
  case $1 in
    libmikmod) echo libmikmod=3.3.11.1-7 ;;
    libsdl2) echo libsdl2=2.26.5+dfsg-1 ;;
    *) echo "fetch-sources: no pinned version of $1" >&2; exit 2 ;;
  esac
}
wanted=""
for package in "$@"; do
  pinned=$(pin "$package")
  [ -f "$dir/$package/.fetched" ] || wanted="$wanted $pinned"
done
[ -n "$wanted" ] || exit 0

apt=$dir/apt
rm -rf "$apt"
mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$apt/source"
: > "$apt/status"
release=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
# The Debian archive this machine's apt already uses (a deb822 .sources file or sources.list).
archive=$(sed -n 's|^URIs: *\([^ ]*/debian\)/*$|\1|p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1)
[ -n "$archive" ] || archive=$(awk '$1 == "deb" && $2 ~ /\/debian\/?$/ {print $2; exit}' \
  /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null)
[ -n "$archive" ] || { echo "fetch-sources: no Debian archive in this machine's apt sources" >&2; exit 1; }
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
for pinned in $wanted; do
  package=${pinned%%=*}
  rm -rf "$dir/$package"
  (cd "$apt/source" && APT_CONFIG=$apt/apt.conf apt-get source -qq "$pinned" > /dev/null)
  # The unpacked tree is the one folder apt-get source leaves beside the package's files.
  tree=$(find "$apt/source" -mindepth 1 -maxdepth 1 -type d)
  [ -n "$tree" ] || { echo "fetch-sources: $pinned did not unpack" >&2; exit 1; }
  mv "$tree" "$dir/$package"
  touch "$dir/$package/.fetched"
  rm -rf "$apt/source"/*
done
rm -rf "$apt"
