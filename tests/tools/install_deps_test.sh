#!/usr/bin/env bash
# scripts/install-deps.sh against a fake machine: dpkg-query, apt-get, systemctl and sudo first on
# PATH, answering from and writing to the machine's folder, and its policy-rc.d in that folder.
# The fake apt-get installs what it is asked for; a package with a daemon enables its unit and
# starts it unless the policy-rc.d then in force refuses (exit 101), as Debian's maintainer
# scripts do.
#
#   install_deps_test.sh <source folder> services|run-list
set -uo pipefail
source_dir=$1
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# The packages that bring a daemon, with its unit.
daemons="openssh-server:ssh.service postgresql:postgresql.service snmpd:snmpd.service
snmptrapd:snmptrapd.service tinyproxy:tinyproxy.service dante-server:danted.service"

# make_machine <folder>: the machine had the SSH server, PostgreSQL and snmpd installed, enabled
# and running, and nothing else.
make_machine() {
  local m=$1
  mkdir -p "$m/bin"
  printf '%s\n' openssh-server postgresql snmpd >"$m/installed"
  printf '%s\n' "ssh.service enabled active" "postgresql.service enabled active" \
    "snmpd.service enabled active" >"$m/units"
  : >"$m/calls"
  cat >"$m/bin/dpkg-query" <<EOF
#!/bin/sh
for p; do :; done
grep -qx "\$p" '$m/installed' || exit 1
printf 'install ok installed'
EOF
  cat >"$m/bin/apt-get" <<EOF
#!/bin/sh
echo "apt-get \$*" >>'$m/calls'
[ "\$1" = update ] && exit 0
shift
for p; do
  case \$p in -*) continue ;; esac
  echo "\$p" >>'$m/installed'
  unit=\$(printf '%s\n' "$daemons" | tr ' ' '\n' | sed -n "s/^\$p://p")
  [ -n "\$unit" ] || continue
  active=active
  if [ -x "\$MIRVALE_POLICY_RC_D" ]; then
    "\$MIRVALE_POLICY_RC_D" "\$unit" start
    [ \$? -ne 101 ] || active=inactive
  fi
  [ \$active = inactive ] || echo "started \$unit" >>'$m/calls'
  echo "\$unit enabled \$active" >>'$m/units'
done
EOF
  # A unit named without a suffix is a service; "disable --now" also stops.
  cat >"$m/bin/systemctl" <<EOF
#!/bin/sh
echo "systemctl \$*" >>'$m/calls'
verb=\$1; shift
now=""; units=""
for a; do
  case \$a in --now) now=1 ;; -*) ;; *.*) units="\$units \$a" ;; *) units="\$units \$a.service" ;; esac
done
field() { awk -v u="\$1" -v c="\$2" -v v="\$3" '\$1 == u { \$c = v } { print }' '$m/units' >'$m/units.new' &&
  mv '$m/units.new' '$m/units'; }
case \$verb in
  list-unit-files) awk '{ print \$1, \$2, "enabled" }' '$m/units' ;;
  is-active) for u in \$units; do grep -qx "\$u [a-z]* active" '$m/units' || exit 3; done ;;
  is-enabled) for u in \$units; do grep -q "^\$u enabled " '$m/units' || exit 1; done ;;
  start) for u in \$units; do field "\$u" 3 active; done ;;
  stop) for u in \$units; do field "\$u" 3 inactive; done ;;
  enable) for u in \$units; do field "\$u" 2 enabled; [ -z "\$now" ] || field "\$u" 3 active; done ;;
  disable) for u in \$units; do field "\$u" 2 disabled; [ -z "\$now" ] || field "\$u" 3 inactive; done ;;
  mask) for u in \$units; do field "\$u" 2 masked; done ;;
esac
EOF
  printf '#!/bin/sh\necho "service $*" >>"%s/calls"\n' "$m" >"$m/bin/service"
  printf '#!/bin/sh\nexec "$@"\n' >"$m/bin/sudo"
  chmod 0755 "$m/bin/"*
}

# install_on <folder>: the installation with everything the tests need, on that machine.
install_on() {
  PATH="$1/bin:$PATH" MIRVALE_POLICY_RC_D="$1/policy-rc.d" bash "$source_dir/scripts/install-deps.sh" --tests \
    >"$1/output" 2>&1 || fail "the installation failed: $(cat "$1/output")"
}

# expect_units <folder> <line>...: each unit's state and activity are the line's.
expect_units() {
  local m=$1 line
  shift
  for line; do
    grep -qx "$line" "$m/units" || fail "$(basename "$m"): expected '$line', the machine has: $(grep "^${line%% *} " "$m/units")"
  done
}

services() {
  local m
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT

  # A machine without a policy-rc.d: one refusing every start is in force while apt installs, and
  # gone afterwards.
  m=$work/no-policy
  make_machine "$m"
  install_on "$m"
  expect_units "$m" "ssh.service enabled active" "postgresql.service enabled active" "snmpd.service enabled active"
  expect_units "$m" "tinyproxy.service disabled inactive" "snmptrapd.service disabled inactive" \
    "danted.service disabled inactive"
  ! grep -q '^started ' "$m/calls" || fail "daemons started while apt installed: $(grep '^started ' "$m/calls")"
  [ ! -e "$m/policy-rc.d" ] || fail "the policy-rc.d the run wrote is still there"
  ! grep -q '^service ' "$m/calls" || fail "the run called service: $(grep '^service ' "$m/calls")"
  # A leftover of a run that was killed (it carries the script's mark) goes, too.
  m=$work/leftover-policy
  make_machine "$m"
  printf '#!/bin/sh\n# Written by scripts/install-deps.sh while it installs: no daemon starts.\nexit 101\n' >"$m/policy-rc.d"
  chmod 0755 "$m/policy-rc.d"
  install_on "$m"
  [ ! -e "$m/policy-rc.d" ] || fail "the leftover policy-rc.d is still there"

  # A machine whose own policy-rc.d lets daemons start: it stays as it was and decides; what
  # started of this run's packages is stopped and disabled again, nothing else.
  m=$work/own-policy
  make_machine "$m"
  printf '#!/bin/sh\nexit 0\n' >"$m/policy-rc.d"
  chmod 0755 "$m/policy-rc.d"
  install_on "$m"
  expect_units "$m" "ssh.service enabled active" "postgresql.service enabled active" "snmpd.service enabled active"
  expect_units "$m" "tinyproxy.service disabled inactive" "danted.service disabled inactive"
  [ "$(cat "$m/policy-rc.d")" = "$(printf '#!/bin/sh\nexit 0')" ] || fail "the machine's own policy-rc.d changed"
  if grep -E '^systemctl .*(ssh|postgresql|snmpd)( |\.service|$)' "$m/calls" | grep -qvE '^systemctl (is-active|is-enabled|list-unit-files)'; then
    fail "the run changed a service the machine had: $(grep '^systemctl ' "$m/calls")"
  fi
}

# The list for building and running names none of the tests' peers, fuzzing tool chain or
# systemd-in-namespaces support.
run_list() {
  local peer
  for peer in openssh-server dropbear-bin postgresql snmpd snmptrapd snmp tinyproxy dante-server nodejs \
    polkitd dbus systemd clang-14 libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev \
    python3-paramiko python3-asyncssh python3-aiosmtpd busybox-static strace xvfb openbox; do
    ! grep -qx "$peer" "$source_dir/scripts/packages.txt" || fail "scripts/packages.txt names the test peer $peer"
  done
}

case ${2:-} in
  services) services ;;
  run-list) run_list ;;
  *) echo "usage: $0 <source folder> services|run-list" >&2; exit 2 ;;
esac
[ $failures -eq 0 ] || exit 1
echo "passed"
