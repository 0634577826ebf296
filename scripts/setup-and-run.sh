#!/usr/bin/env bash
# Installs what building and running need when it is missing (not the tests' packages), builds the
# programs (without the tests), starts the service MirvaleSrv in a local folder (./local:
# program, data, run, registry, unit and polkit folders; never through systemd) and opens the
# desktop program Mirvale against it. Closing the desktop program stops the service. Without a display the service runs alone in
# the foreground, and the script says how to run the desktop program under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DMIRVALE_BUILD_TESTS=OFF
local_dir=$(pwd)/local
mkdir -p "$local_dir"/{program,data,run,registry,units}
cp build/bin/MirvaleSrv build/bin/Mirvale "$local_dir/program/"
export MIRVALE_PROGRAM_FOLDER="$local_dir/program" MIRVALE_COMMON_APPDATA="$local_dir/data" \
       MIRVALE_RUN_DIR="$local_dir/run" MIRVALE_REGISTRY_ROOT="$local_dir/registry" \
       MIRVALE_EVENTLOG="$local_dir/events.log" MIRVALE_SYSTEMD_DIR="$local_dir/units" \
       MIRVALE_POLKIT_RULES_DIR="$local_dir/polkit" MIRVALE_SYSTEMD_MARKER="$local_dir/no-systemd"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  cat <<TEXT
No display here (DISPLAY and WAYLAND_DISPLAY are unset), so the desktop program Mirvale is not
opened; the service runs in the foreground (Ctrl-C stops it). To open the desktop program on a
virtual display instead, install Xvfb (as root: apt-get install xvfb xauth), then run:
    xvfb-run -a -s "-screen 0 1280x800x24" bash scripts/setup-and-run.sh
TEXT
  exec "$local_dir/program/MirvaleSrv" "$@"
fi

"$local_dir/program/MirvaleSrv" "$@" >>"$local_dir/service.out" 2>&1 &
service=$!
trap 'kill -TERM "$service" 2>/dev/null || true; wait "$service" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [[ -S "$local_dir/run/control" ]] && break
  kill -0 "$service" 2>/dev/null || { echo "MirvaleSrv ended; see $local_dir/service.out" >&2; exit 1; }
  sleep 0.1
done
echo "MirvaleSrv runs (process $service); opening Mirvale. Closing it stops the service."
"$local_dir/program/Mirvale"
