#!/usr/bin/env bash
# The fuzzing stage of scripts/test.sh: builds the fuzz targets (clang, libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer), replays every target's seed corpus and the
# reproducers of fixed findings, and fuzzes each target for a short while. Any finding fails.
set -uo pipefail
cd "$(dirname "$0")/.."
echo "== fuzzing: scripts/fuzz.sh ${MIRVALE_FUZZ_SECONDS:-10}"
unset ASAN_OPTIONS UBSAN_OPTIONS  # the fuzzer reports its findings itself
start=$SECONDS
bash scripts/fuzz.sh "${MIRVALE_FUZZ_SECONDS:-10}"
status=$?
echo "== fuzzing took $((SECONDS - start)) s"
exit $status
