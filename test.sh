#!/bin/sh
# test.sh: installs what is missing, builds, and runs every test.
#   ./test.sh       the desktop build and its sanitizer build
#   ./test.sh arm   the ARM soft-float cross build under qemu
#   ./test.sh web   the WebAssembly build in Chromium, Firefox and WebKit
#   ./test.sh windows  the Windows build under Wine
set -e
cd "$(dirname "$0")"
if [ "$1" = arm ]; then
  scripts/setup.sh arm
  make -s test-arm
elif [ "$1" = web ]; then
  scripts/setup.sh web
  make -s test-web
elif [ "$1" = windows ]; then
  scripts/setup.sh windows
  make -s test-windows
else
  scripts/setup.sh
  make -s test
fi
