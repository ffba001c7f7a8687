#!/bin/sh
# play.sh: installs what is missing, builds, and plays the show. Any key ends it.
set -e
cd "$(dirname "$0")"
scripts/setup.sh
make -s run
