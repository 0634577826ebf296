#!/usr/bin/env bash
# Installs the programs built in build/ (or the build folder given) under the prefix, default
# /opt/oskavel-mirvale: both in <prefix>/bin, their program folder. Run as root over a checkout
# another account built, it leaves no file of root's there: the list of installed files that
# `cmake --install` writes into the build folder is removed.
#
#   bash scripts/install.sh [prefix [build folder]]
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${1:-/opt/oskavel-mirvale}
build=${2:-build}
trap 'rm -f "$build/install_manifest.txt"' EXIT
cmake --install "$build" --prefix "$prefix"
