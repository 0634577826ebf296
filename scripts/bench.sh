#!/usr/bin/env bash
# Runs the benchmarks (label bench) and prints their tables.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
bash scripts/build.sh build -DMIRVALE_BUILD_TESTS=ON
ctest --test-dir build -L bench --verbose
