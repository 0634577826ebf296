#!/bin/bash
# Becomes a machine's init inside fresh namespaces: run by `unshare --mount --pid --fork --uts
# --ipc --net --cgroup` from a cgroup of its own, it lays an overlay over / whose changes live in
# a tmpfs on the stage folder, gives it /proc, /sys, cgroup2, a small /dev, /run and /tmp, mounts
# the input folder (read-only) at its own path, pivots into it and executes systemd with the
# target that an operator's day needs (D-Bus, logind; polkit comes on demand). Nothing reaches
# the real file systems.
#   systemd_boot.sh <stage folder> <input folder>
set -eu
stage=$1
input=$2
mount --make-rprivate /
mount -t tmpfs -o mode=0755 tmpfs "$stage"
mkdir -p "$stage/upper" "$stage/work" "$stage/root"
mount -t overlay overlay -o "lowerdir=/,upperdir=$stage/upper,workdir=$stage/work" "$stage/root"
root=$stage/root
mount -t proc proc "$root/proc"
mount -t sysfs -o ro sysfs "$root/sys"
mount -t cgroup2 cgroup2 "$root/sys/fs/cgroup"
mount -t tmpfs -o mode=0755,nosuid tmpfs "$root/dev"
for device in null zero full random urandom tty; do
  touch "$root/dev/$device"
  mount --bind "/dev/$device" "$root/dev/$device"
done
touch "$root/dev/console"
mount --bind /dev/null "$root/dev/console"
mkdir -p "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/dev/shm"
mount -t tmpfs -o mode=0755,nosuid,nodev tmpfs "$root/run"
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/tmp"
# The test's input at its own path, whichever file system (or /tmp) holds it.
mkdir -p "$root$input"
mount --bind -o ro "$input" "$root$input"
# Only what the day needs starts: not the services the real machine has enabled.
mkdir -p "$root/etc/systemd/system"
cat > "$root/etc/systemd/system/operator-day.target" <<'UNIT'
[Unit]
Description=What an operator's day needs
Requires=basic.target dbus.socket systemd-logind.service
After=basic.target dbus.socket systemd-logind.service
UNIT
mkdir -p "$root/oldroot"
cd "$root"
pivot_root . oldroot
umount -l /oldroot
rmdir /oldroot
export container=mirvale-test
exec /lib/systemd/systemd --system --unit=operator-day.target --show-status=no --log-target=console
