#!/usr/bin/env bash
# Runs every test: installs what is missing (the tests' packages too), checks the include order
# and runs the remote-shell tests under ThreadSanitizer, builds with the tests, runs the unit and
# end-to-end tests, then them again with everything (MirvaleSrv too) built under AddressSanitizer
# (leak detection on) and UndefinedBehaviorSanitizer, and the desktop program's start-up and its
# tests under both sanitizer builds and ThreadSanitizer (scripts/test-desktop-sanitizers.sh); at
# last every fuzz target replays its kept inputs and is fuzzed briefly (scripts/test-fuzz.sh).
# Benchmarks (label bench) are not run here: scripts/bench.sh runs them.
#
# The tests run as root (CI does). A test that skipped or did not run fails the run: a skipped
# test tested nothing. Without root, MIRVALE_TESTS_ALLOW_SKIPS=1 runs every stage anyway and
# lists the skipped tests, but the run still ends with a non-zero status ("INCOMPLETE").
set -uo pipefail
cd "$(dirname "$0")/.."
# Tests hand programs and files to other accounts (sshd's session children, accounts they make)
# and to a booted test machine through the temporary folder and a stage in /var/tmp, wherever the
# checkout lies: each must be a folder every account may enter and run programs from.
for folder in "${TMPDIR:-/tmp}" /var/tmp; do
  why=""
  if [ ! -d "$folder" ]; then
    why="it is missing"
  elif level=$(realpath "$folder") && findmnt -n -o OPTIONS -T "$level" | grep -qw noexec; then
    why="it is mounted noexec"
  else
    while :; do
      if (( (8#$(stat -c %a "$level") & 1) == 0 )); then why="other accounts may not enter $level"; break; fi
      [ "$level" = / ] && break
      level=$(dirname "$level")
    done
  fi
  if [ -n "$why" ]; then
    echo "TESTS CANNOT RUN: $folder must be a folder every account may enter and run programs from," \
      "for the tests hand files to other accounts there, but $why"
    exit 1
  fi
done
set -e
bash scripts/install-deps.sh --tests
# sshd's privilege-separation folder, which the SSH tests create when missing: removed after the
# run when the run made it.
made_sshd_folder=0
[ -e /run/sshd ] || made_sshd_folder=1
sanitizer_logs=""
cleanup() {
  [ $made_sshd_folder -eq 0 ] || rmdir /run/sshd 2>/dev/null || true
  [ -z "$sanitizer_logs" ] || rm -rf "$sanitizer_logs"
}
trap cleanup EXIT
rm -f build-tsan/Testing/junit-threads.xml
bash scripts/test-layers-and-threads.sh
bash scripts/build.sh build -DMIRVALE_BUILD_TESTS=ON
bash scripts/build.sh build-asan -DMIRVALE_SANITIZE=ON -DMIRVALE_BUILD_DESKTOP=OFF
set +e

allow_skips=${MIRVALE_TESTS_ALLOW_SKIPS:-0}
failed=0
incomplete=0

# run_stage <name> <build folder>: every test but the benchmarks.
run_stage() {
  local name=$1 dir=$2
  local report="$dir/Testing/junit-$name.xml"
  rm -f "$report"
  echo "== $name: ctest -LE bench in $dir"
  ctest --test-dir "$dir" -LE bench --no-tests=error --output-on-failure \
    --parallel "$(nproc)" --timeout 600 --output-junit "$(pwd)/$report"
  local status=$?
  [ $status -eq 0 ] || failed=1
  check_stage "$name" "$report"
}

# check_stage <name> <JUnit report>: lists the stage's skipped and not-run tests.
check_stage() {
  python3 scripts/test_report.py "$2" "$1"
  case $? in
    0) ;;
    2) incomplete=1 ;;
    *) failed=1 ;;
  esac
  if [ $failed -eq 1 ] || { [ $incomplete -eq 1 ] && [ "$allow_skips" != 1 ]; }; then finish; fi
}

finish() {
  if [ $failed -eq 1 ]; then
    echo "TESTS FAILED"
    exit 1
  fi
  if [ $incomplete -eq 1 ]; then
    if [ "$allow_skips" = 1 ]; then
      echo "INCOMPLETE: the tests that ran passed, but SKIPPED tests (listed above) tested nothing"
    else
      echo "TESTS FAILED: skipped tests tested nothing (run as root; see README)"
    fi
    exit 2
  fi
  echo "All tests passed; none skipped"
  exit 0
}

check_stage threads build-tsan/Testing/junit-threads.xml
run_stage main build

rm -f build-desktop-asan/Testing/junit-desktop-asan.xml build-desktop-tsan/Testing/junit-desktop-tsan.xml
bash scripts/test-desktop-sanitizers.sh || failed=1
check_stage desktop-asan build-desktop-asan/Testing/junit-desktop-asan.xml
check_stage desktop-tsan build-desktop-tsan/Testing/junit-desktop-tsan.xml

# Sanitizer findings of every process (the tests and the MirvaleSrv they start) go to files, so
# that a fault in a child the test only talks to is not lost with its output. The folder is one
# every account reaches and may write in (sticky), wherever the checkout lies: the tests also run
# the service as other accounts.
sanitizer_logs=$(mktemp -d /var/tmp/mirvale-sanitizer-XXXXXX)
chmod 1777 "$sanitizer_logs"
export ASAN_OPTIONS="detect_leaks=1:log_path=$sanitizer_logs/asan"
export UBSAN_OPTIONS="print_stacktrace=1:log_path=$sanitizer_logs/ubsan"
run_stage sanitizers build-asan
if compgen -G "$sanitizer_logs/*" >/dev/null; then
  echo "== sanitizer reports:"
  for log in "$sanitizer_logs"/*; do
    echo "-- $log"
    cat "$log"
  done
  mkdir -p build-asan/Testing/sanitizer && cp "$sanitizer_logs"/* build-asan/Testing/sanitizer/
  failed=1
fi
# Fuzz targets: each target's kept inputs replayed, then each fuzzed for 10 seconds.
bash scripts/test-fuzz.sh || failed=1
finish
