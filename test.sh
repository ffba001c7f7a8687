#!/bin/sh
# test.sh: installs what is missing, builds, and runs every test.
#   ./test.sh       the desktop build and its sanitizer build
#   ./test.sh arm   the ARM soft-float cross build under qemu
set -e
cd "$(dirname "$0")"
if [ "$1" = arm ]; then
  scripts/setup.sh arm
  make -s test-arm
else
  scripts/setup.sh
  make -s test
fi
