#!/bin/sh
# build-arm.sh: the ARM soft-float cross build: the sysroot of armel libraries it builds against,
# GoogleTest for the target, and the targets asked for, in the ARM build folder.
#   scripts/build-arm.sh DESKTOP_BUILD ARM_BUILD TARGET...    (test-arm.sh and device.sh run it)
# DESKTOP_BUILD must be built already: its png2src converts the pictures.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
desktop=$root/$1
arm=$root/$2
shift 2
. "$root/scripts/arm.sh"
jobs=$(nproc)

fail() { echo "arm: FAILED: $*" >&2; exit 1; }
step() { printf '\n== arm: %s\n' "$1"; }

[ -x "$desktop/png2src" ] || [ -n "$(find "$desktop" -name png2src -type f -perm -u+x 2>/dev/null | head -1)" ] ||
  fail "no desktop build in $desktop (run make build first)"
mkdir -p "$arm"

# --- Sysroot: armel builds of the libraries the toolchain lacks, unpacked from Debian's packages.
# Installing them through multi-arch would clash with the desktop's own -dev packages, so apt works
# here from a private state folder that knows armel only, and the packages are unpacked, not
# installed. The toolchain brings the C and C++ runtime; packages of data, tools and headers
# that only the desktop needs are left out.
wanted="libpng-dev zlib1g-dev libsdl1.2-compat-dev libmikmod-dev libpulse-dev"
if [ "$(cat "$sysroot/.packages" 2>/dev/null)" != "$wanted" ]; then
  step "fetching armel packages for the sysroot"
  apt=$arm/apt
  rm -rf "$apt" "$sysroot"
  mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$apt/debs" "$sysroot"
  : > "$apt/status"
  cat > "$apt/apt.conf" <<EOF
Dir::State "$apt/state";
Dir::State::status "$apt/status";
Dir::Cache "$apt/cache";
APT::Architecture "armel";
APT::Architectures { "armel"; };
APT::Sandbox::User "root";
EOF
  APT_CONFIG=$apt/apt.conf apt-get update -qq
  closure=$(APT_CONFIG=$apt/apt.conf apt-cache depends --recurse --no-recommends --no-suggests \
      --no-conflicts --no-breaks --no-replaces --no-enhances $wanted | grep -v '^ ' | sort -u)
  packages=""
  for package in $closure; do
    case $package in
      "<"*) ;;                                              # virtual: a real one is listed too
      libc6|libc6-dev|libgcc-s1|libstdc++6|libatomic1) ;;   # the cross toolchain's own
      libelogind0) ;;                                       # the alternative to libsystemd0
      libpng-dev|zlib1g-dev|libsdl1.2-compat-dev|libmikmod-dev|libpulse-dev) packages="$packages $package" ;;
      *-dev|*-data|*-common|*-bin) ;;
      lib*|zlib1g) packages="$packages $package" ;;
    esac
  done
  (cd "$apt/debs" && APT_CONFIG=$apt/apt.conf apt-get download -qq $packages)
  for deb in "$apt/debs"/*.deb; do dpkg-deb -x "$deb" "$sysroot"; done
  # Absolute links (libfoo.so -> /lib/...) must point into the sysroot, not at the desktop's files.
  find "$sysroot" -type l | while read -r link; do
    target=$(readlink "$link")
    case $target in /*) ln -sfn "$sysroot$target" "$link" ;; esac
  done
  echo "$wanted" > "$sysroot/.packages"
  echo "arm: sysroot of $(ls "$apt/debs" | wc -l) packages in $sysroot"
fi

# --- GoogleTest, built for the target from Debian's sources and installed into the sysroot.
if [ ! -f "$sysroot/usr/lib/cmake/GTest/GTestConfig.cmake" ]; then
  step "building GoogleTest for ARM"
  cmake -S /usr/src/googletest -B "$arm/googletest" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabi.cmake" -DSHOW_ARM_SYSROOT="$sysroot" \
    -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$sysroot/usr" > /dev/null
  cmake --build "$arm/googletest" -j"$jobs" > /dev/null
  cmake --install "$arm/googletest" > /dev/null
fi

# --- The cross build: the core, render, show and the core's tests. Pictures are converted by the
# desktop's converter, which the target's build cannot run.
png2src=$(find "$desktop" -name png2src -type f -perm -u+x | head -1)
cmake -S . -B "$arm" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabi.cmake" -DSHOW_ARM_SYSROOT="$sysroot" \
  -DSHOW_SHELL=ON -DSHOW_TOOLS=OFF -DSHOW_TESTS=ON -DSHOW_BENCH=OFF -DSHOW_SANITIZE=OFF \
  -DSHOW_PNG2SRC="$png2src" > /dev/null
cmake --build "$arm" -j"$jobs" --target "$@"
for program in render show; do
  [ -f "$arm/$program" ] || continue
  attributes=$(arm-linux-gnueabi-readelf -A "$arm/$program")
  echo "$attributes" | grep -q 'Tag_CPU_arch: v5TE' || fail "$program is not built for ARMv5TE"
  if echo "$attributes" | grep -q 'Tag_FP_arch\|Tag_ABI_VFP_args'; then
    fail "$program is built for hardware floating point"
  fi
done

