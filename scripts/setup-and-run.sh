#!/usr/bin/env bash
# Installs what is missing, builds, and starts the service MirvaleSrv in a local folder
# (./local: program, data, run and registry folders), where it creates its files.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
local_dir=$(pwd)/local
mkdir -p "$local_dir"/{program,data,run,registry}
cp build/bin/MirvaleSrv "$local_dir/program/"
export MIRVALE_PROGRAM_FOLDER="$local_dir/program" MIRVALE_COMMON_APPDATA="$local_dir/data" \
       MIRVALE_RUN_DIR="$local_dir/run" MIRVALE_REGISTRY_ROOT="$local_dir/registry" \
       MIRVALE_EVENTLOG="$local_dir/events.log"
exec "$local_dir/program/MirvaleSrv" "$@"
