#!/usr/bin/env bash
# The desktop program's start-up and its tests under AddressSanitizer with UndefinedBehaviorSanitizer
# (build-desktop-asan) and under ThreadSanitizer (build-desktop-tsan): small builds of the
# service and the desktop test programs only. Writes each stage's JUnit report to
# <build>/Testing/junit-<stage>.xml for the caller to check; sanitizer reports go to
# <build>/Testing/sanitizer/ (the suppression files name faults inside Qt and the libraries it
# uses, never the program's own code). The repeated starts in the test's process run
# MIRVALE_DESKTOP_STARTS times (default 200 under AddressSanitizer, 50 under ThreadSanitizer, which
# is several times slower), those of the real program MIRVALE_DESKTOP_PROGRAM_STARTS times (20
# and 10: its splash alone stays 3 s a start).
set -uo pipefail
cd "$(dirname "$0")/.."
targets="MirvaleSrv Mirvale desktop_start_tests desktop_start_repeat_tests desktop_settings_flow_tests"
tests='^(DesktopStart|DesktopStartRepeat|SettingsFlow)\.'
status=0

# stage <name> <build folder> <CMake options...>
stage() {
  local name=$1 dir=$2
  shift 2
  cmake -S . -B "$dir" -G Ninja -DMIRVALE_BUILD_DESKTOP=ON "$@" >/dev/null || return 1
  # shellcheck disable=SC2086
  cmake --build "$dir" --parallel "$(nproc)" --target $targets || return 1
  local logs="$(pwd)/$dir/Testing/sanitizer"
  rm -rf "$logs" && mkdir -p "$logs"
  echo "== $name: ctest -R '$tests' in $dir"
  # Address-space randomisation wider than ThreadSanitizer's layout makes its start fail at random.
  # QProcess (a second copy of the program) starts its child with a clone that shares the test's
  # memory until the exec; ThreadSanitizer takes that for a fork of the test itself and would end
  # it at its next thread (die_after_fork). The programs themselves fork only to execute at once.
  ASAN_OPTIONS="detect_leaks=1:log_path=$logs/asan" \
    LSAN_OPTIONS="suppressions=$(pwd)/scripts/lsan-qt.supp:print_suppressions=0" \
    UBSAN_OPTIONS="print_stacktrace=1:log_path=$logs/ubsan" \
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 log_path=$logs/tsan suppressions=$(pwd)/scripts/tsan-qt.supp" \
    setarch "$(uname -m)" -R ctest --test-dir "$dir" -R "$tests" --no-tests=error --output-on-failure \
    --parallel 3 --timeout 1800 --output-junit "$(pwd)/$dir/Testing/junit-$name.xml" || status=1
  if compgen -G "$logs/*" >/dev/null; then
    echo "== $name sanitizer reports:"
    for log in "$logs"/*; do
      echo "-- $log"
      cat "$log"
    done
    status=1
  fi
}

MIRVALE_DESKTOP_STARTS=${MIRVALE_DESKTOP_STARTS:-200} \
  MIRVALE_DESKTOP_PROGRAM_STARTS=${MIRVALE_DESKTOP_PROGRAM_STARTS:-20} \
  stage desktop-asan build-desktop-asan -DMIRVALE_SANITIZE=ON || status=1
MIRVALE_DESKTOP_STARTS=${MIRVALE_DESKTOP_STARTS:-50} \
  MIRVALE_DESKTOP_PROGRAM_STARTS=${MIRVALE_DESKTOP_PROGRAM_STARTS:-10} \
  stage desktop-tsan build-desktop-tsan -DMIRVALE_SANITIZE_THREAD=ON || status=1
exit $status
