#!/usr/bin/env bash
# Installs the Debian packages in scripts/packages.txt that are missing. Idempotent and
# non-interactive; needs root (or sudo).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(grep -v '^\s*#' "$here/packages.txt" | sed '/^\s*$/d')
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
# The packaged daemons start themselves; tests start their own.
for svc in snmpd snmptrapd ssh dropbear tinyproxy danted postgresql; do
  $sudo systemctl disable --now "$svc" >/dev/null 2>&1 || $sudo service "$svc" stop >/dev/null 2>&1 || true
done
