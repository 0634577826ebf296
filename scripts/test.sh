#!/usr/bin/env bash
# Runs every test: installs what is missing, builds, runs the unit and end-to-end tests, then
# the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
# Benchmarks (label bench) are not run here: scripts/bench.sh runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/test-layers-and-threads.sh
bash scripts/build.sh build
ctest --test-dir build -LE bench --output-on-failure --parallel "$(nproc)" --timeout 600
bash scripts/build.sh build-asan -DMIRVALE_SANITIZE=ON -DMIRVALE_BUILD_DESKTOP=OFF
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan -L unit --output-on-failure --parallel "$(nproc)" --timeout 600
