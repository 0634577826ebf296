#!/usr/bin/env bash
# Installs the Debian packages that are missing: those of scripts/packages.txt (what building and
# running the programs need) and, with --tests, those of scripts/packages-tests.txt too (what only
# the tests, benchmarks and fuzzing need). Idempotent and non-interactive; needs root (or sudo).
#
#   bash scripts/install-deps.sh [--tests]
#
# The machine's services stay as they were: no unit that existed before is started, stopped,
# enabled, disabled or masked. While apt installs, a policy-rc.d that refuses every start keeps
# the new packages' daemons from starting (a policy-rc.d the machine has is left in its place, and
# decides); afterwards the units that appeared during this run neither run nor start at boot, for
# the tests start their own peers in namespaces of their own.
#
# The commands come from PATH and the policy file is $MIRVALE_POLICY_RC_D (default
# /usr/sbin/policy-rc.d), so that a test can run this against a fake machine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lists=("$here/packages.txt")
case "${1:-}" in
  "") ;;
  --tests) lists+=("$here/packages-tests.txt") ;;
  *) echo "usage: bash scripts/install-deps.sh [--tests]" >&2; exit 2 ;;
esac
mapfile -t wanted < <(cat "${lists[@]}" | grep -v '^\s*#' | sed '/^\s*$/d')
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# The units systemd knows, one per line: name, state, preset. Without systemctl, or when it cannot
# tell, no unit is touched afterwards.
unit_files() { systemctl list-unit-files --no-legend --no-pager --type=service,socket,timer 2>/dev/null; }
units_before=""
track_units=0
if command -v systemctl >/dev/null && units_before=$(unit_files); then track_units=1; fi

# settle_new_units: every unit that appeared during this run is disabled at boot and stopped.
settle_new_units() {
  [ $track_units -eq 1 ] || return 0
  local after unit state known
  after=$(unit_files) || return 0
  known=$(awk '{print $1}' <<<"$units_before")
  while read -r unit state _; do
    if [ -z "$unit" ] || grep -qxF "$unit" <<<"$known"; then continue; fi
    [ "$state" != enabled ] || $sudo systemctl disable --quiet "$unit" || true
    ! systemctl is-active --quiet "$unit" 2>/dev/null || $sudo systemctl stop "$unit" || true
  done <<<"$after"
}

policy=${MIRVALE_POLICY_RC_D:-/usr/sbin/policy-rc.d}
mark="Written by scripts/install-deps.sh while it installs: no daemon starts."
own_policy=0
finish() {
  settle_new_units
  [ $own_policy -eq 0 ] || $sudo rm -f "$policy"
}
trap finish EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
# shellcheck disable=SC2016 # the inner shell expands its own arguments
if [ -e "$policy" ] || [ -L "$policy" ]; then
  # One this script left when it was killed is removed at the end; any other stays and decides.
  if grep -qF "$mark" "$policy" 2>/dev/null; then own_policy=1; fi
elif $sudo sh -c 'set -C; printf "#!/bin/sh\n# %s\nexit 101\n" "$2" >"$1"' sh "$policy" "$mark"; then
  own_policy=1
  $sudo chmod 0755 "$policy"
fi

$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
