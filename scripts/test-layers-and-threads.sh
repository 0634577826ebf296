#!/usr/bin/env bash
# The checks that guard the remote-shell client's shape: include lines against the one-way
# order of the folders, test programs that start MirvaleSrv or Mirvale against their build
# dependency on it (so that a test target built alone never runs a stale program), then the
# remote-shell and service shell tests under ThreadSanitizer (a small build of those targets
# only, desktop off).
set -euo pipefail
cd "$(dirname "$0")/.."
/usr/bin/python3 scripts/check_includes.py
/usr/bin/python3 scripts/check_test_dependencies.py
dir=build-tsan
cmake -S . -B "$dir" -G Ninja -DMIRVALE_SANITIZE_THREAD=ON -DMIRVALE_BUILD_DESKTOP=OFF >/dev/null
targets=$(cmake --build "$dir" --target help | sed -n 's/^\(remoteshell_[a-z0-9_]*_tests\|service_shell_session_tests\|remoteshell_probe\):.*/\1/p')
cmake --build "$dir" --parallel "$(nproc)" --target $targets
# Address-space randomisation wider than ThreadSanitizer's layout makes its start fail at random.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" setarch "$(uname -m)" -R \
  ctest --test-dir "$dir" \
  -R '^(BackendList|Base64Group|BlockSize|ByteQueue|ControlChar|CountedTreeTest|HostKeys|KeepAliveTest|LogFileName|NetErrorText|Network|NetworkAsRoot|PlatformDefaults|Probe|PromptSet|RawBackend|RegistryNameEscape|RloginBackend|SeedFile|SessionLogTest|Settings|TelnetNegotiation|TelnetText|Timers|UnattendedFrontEnd|VersionPattern|ShellSessionTest|ShellSessionLimitsTest)\.' \
  --output-on-failure --parallel "$(nproc)" --timeout 600 --output-junit "$(pwd)/$dir/Testing/junit-threads.xml"
