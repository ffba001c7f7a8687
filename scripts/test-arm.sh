#!/bin/sh
# test-arm.sh: the ARM soft-float cross build, run under qemu-arm: the core's unit tests (the
# show's frames word for word the desktop build's among them) and the show program itself.
#   scripts/test-arm.sh [DESKTOP_BUILD [ARM_BUILD]]      (make test-arm runs it)
# DESKTOP_BUILD (default build) must be built already: it converts the pictures and writes the
# short module the show plays. ARM_BUILD (default build-arm) gets everything else, the fetched armel packages
# and the sysroot made of them included.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
desktop=$root/${1:-build}
arm=$root/${2:-build-arm}
sysroot=$arm/sysroot
jobs=$(nproc)
started=$(date +%s)

step() { printf '\n== arm: %s (%ss)\n' "$1" $(($(date +%s) - started)); }
fail() { echo "arm: FAILED: $*" >&2; exit 1; }

toolchainRoot=/usr/arm-linux-gnueabi
libraryPath=$sysroot/usr/lib/arm-linux-gnueabi:$sysroot/lib/arm-linux-gnueabi:$sysroot/usr/lib/arm-linux-gnueabi/pulseaudio
# Runs an ARM program on an ARM926 core (ARMv5TE, no floating-point hardware, as the device), with
# the toolchain's C library and the sysroot's other libraries.
onArm() { qemu-arm -cpu arm926 -L "$toolchainRoot" -E LD_LIBRARY_PATH="$libraryPath" "$@"; }

[ -x "$desktop/render" ] || fail "no desktop build in $desktop (run make build first)"
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
step "building for ARM"
png2src=$(find "$desktop" -name png2src -type f -perm -u+x | head -1)
cmake -S . -B "$arm" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabi.cmake" -DSHOW_ARM_SYSROOT="$sysroot" \
  -DSHOW_SHELL=ON -DSHOW_TOOLS=OFF -DSHOW_TESTS=ON -DSHOW_BENCH=OFF -DSHOW_SANITIZE=OFF \
  -DSHOW_PNG2SRC="$png2src" > /dev/null
# Every test labelled core is a target of the same name.
coreTests=$(ctest --test-dir "$arm" -N -L core | sed -n 's/^ *Test *#[0-9]*: *//p')
[ -n "$coreTests" ] || fail "no core tests registered"
cmake --build "$arm" -j"$jobs" --target render show $coreTests
for program in render show; do
  attributes=$(arm-linux-gnueabi-readelf -A "$arm/$program")
  echo "$attributes" | grep -q 'Tag_CPU_arch: v5TE' || fail "$program is not built for ARMv5TE"
  if echo "$attributes" | grep -q 'Tag_FP_arch\|Tag_ABI_VFP_args'; then
    fail "$program is built for hardware floating point"
  fi
done

# --- The core's unit tests under qemu (CTest runs them through the toolchain's emulator), the
# show's sampled frames among them: word for word the checksums the desktop build draws.
step "core unit tests under qemu-arm"
ctest --test-dir "$arm" -L core --output-on-failure -j"$jobs"

# --- The show itself under qemu, with SDL's dummy video and audio drivers: start-up, the tables,
# the music (libmikmod's SDL driver on SDL's dummy audio) and the frame loop, to the module's end.
# It runs on qemu's most capable core, not the ARM926: Debian's armel libSDL2 executes the ARMv6
# memory barrier "mcr p15, 0, rN, c7, c10, 5" during SDL_Init, which an ARMv5TE core rejects as
# an undefined instruction (SIGILL). The show's own code is the core checked above.
step "the show under qemu-arm"
run=$arm/show-run
rm -rf "$run"
mkdir -p "$run"
if [ -x "$desktop/compose" ] && "$desktop/compose" --short 4 --out "$run/musa.xm" > /dev/null 2>&1; then
  module=yes
else
  module=no   # without the music tool, start-up up to the module's loading is what can be run
  echo "arm: no short module (build/compose --short missing); checking start-up only"
fi
status=0
showStart=$(date +%s)
(cd "$run" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 300 \
   qemu-arm -cpu max -L "$toolchainRoot" -E LD_LIBRARY_PATH="$libraryPath" "$arm/show") \
  > "$run/log" 2>&1 || status=$?
seconds=$(($(date +%s) - showStart))
cat "$run/log"
echo "arm: show ended with status $status after ${seconds}s"
if [ "$module" = yes ]; then
  [ "$status" -eq 0 ] && [ ! -s "$run/log" ] || fail "show under qemu-arm did not play to the end"
  # The music plays in real time even on the dummy driver, so the show lasts as long as it.
  [ "$seconds" -ge 3 ] || fail "show under qemu-arm ended before its 4 s module could have"
else
  # The missing module is the first failure it can meet after SDL, the video mode, the tables
  # and MikMod's sound driver have all come up.
  [ "$status" -eq 1 ] && grep -q "Could not load module" "$run/log" ||
    fail "show under qemu-arm did not reach the module"
fi

step "sizes"
for program in show render; do
  echo "arm: $program $(stat -c %s "$arm/$program") bytes ($(arm-linux-gnueabi-size "$arm/$program" | tail -1 | awk '{print $1 " text, " $2 " data, " $3 " bss"}'))"
done
echo "arm: all checks passed in $(($(date +%s) - started))s"
