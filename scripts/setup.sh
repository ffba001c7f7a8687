#!/bin/sh
# setup.sh: installs the Debian packages the project needs that are not installed yet.
#   scripts/setup.sh          what building, playing and testing on the desktop need
#   scripts/setup.sh arm      that, plus the ARM cross toolchain, qemu and GoogleTest's sources
#   scripts/setup.sh web      that, plus emscripten, node with npm, and the page test's three engines:
#                             Chromium, Firefox ESR, and WebKitGTK's WebDriver with the GStreamer
#                             plugins that carry its sound to PulseAudio
#   scripts/setup.sh windows  that, plus the MinGW-w64 cross compilers, Wine and zip for show.exe
set -e

packages="build-essential cmake pkg-config libsdl1.2-compat-dev libmikmod-dev libpulse-dev libpipewire-0.3-dev
  libpng-dev libcairo2-dev fonts-dejavu-core libgtest-dev libbenchmark-dev libx11-dev xvfb xdotool"
packages="$packages ffmpeg"  # build/capture's encoder, and the decoder its tests read back with
packages="$packages lintian"  # the Debian package's test judges the package with it
# The recorded runs' private sound servers (PulseAudio; PipeWire with its session manager, its
# PulseAudio server and a session bus), their recorder, the reader of the recordings, and node,
# which runs them.
packages="$packages pulseaudio pulseaudio-utils pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon
  nlohmann-json3-dev"
command -v node > /dev/null || packages="$packages nodejs"
if [ "$1" = arm ]; then
  packages="$packages gcc-arm-linux-gnueabi g++-arm-linux-gnueabi qemu-user googletest"
fi
if [ "$1" = web ]; then
  packages="$packages emscripten chromium dpkg-dev firefox-esr webkit2gtk-driver
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good"
fi
# dpkg-dev for apt-get source, which unpacks the Windows build's SDL 2 and libmikmod.
if [ "$1" = windows ]; then
  packages="$packages g++-mingw-w64-x86-64 gcc-mingw-w64-x86-64 wine wine64 zip unzip dpkg-dev"
fi

missing=""
for package in $packages; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    missing="$missing $package"
  fi
done
# Debian's npm, unless a node from elsewhere brought its own.
if [ "$1" = web ] && ! command -v npm > /dev/null; then missing="$missing npm"; fi
[ -z "$missing" ] && exit 0

echo "setup: installing$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
