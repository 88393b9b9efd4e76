#!/usr/bin/env bash
# Runs the README's two commands on a minimal Debian, as a newcomer would:
#
#   scripts/check-fresh-debian.sh [--new-base] RELEASE    (bookworm or trixie)
#
# It makes a root file system with `debootstrap --variant=minbase`, clones the
# committed HEAD of this repository into it, and runs scripts/run.sh, then
# scripts/test.sh there under `env -i` with only PATH and an empty HOME, so
# that every package they need is installed by the project's own scripts.
# It prints each command's exit code and wall time with the machine's load,
# and exits non-zero unless both exit 0. Run it as root; it is not part of CI.
#
# Where things are: $ORVANTA_CHROOTS (default /var/tmp/orvanta-chroots) holds
# RELEASE.base, the untouched output of debootstrap, made once and kept (with
# --new-base it is made again), and RELEASE, the root file system of the run:
# a fresh copy of the base each time, left in place afterwards for a look and
# replaced by the next run. The commands' whole output is in RELEASE.log.
# The archive is the one this machine's apt takes its own release from,
# unless ORVANTA_DEBIAN_MIRROR names another; debootstrap checks its
# signatures against Debian's archive keyring.
#
# Inside the root it mounts proc, sysfs, a /dev of its own (the usual device
# nodes, a new devpts instance and a /dev/shm) and a /tmp, which Wine and Xvfb
# need, and unmounts them on every exit. Every process left running inside the
# root (Xvfb, wineserver) is ended by its process id before that.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

new_base=false
while [ $# -gt 0 ]; do
  case "$1" in
    --new-base) new_base=true ;;
    -*) echo "unknown option: $1" >&2; exit 2 ;;
    *) break ;;
  esac
  shift
done
release=${1:-}
case "$release" in
  bookworm | trixie) ;;
  *) echo "usage: $0 [--new-base] bookworm|trixie" >&2; exit 2 ;;
esac
[ "$(id -u)" -eq 0 ] || { echo "$0 needs root (debootstrap, chroot, mount)" >&2; exit 1; }

chroots=${ORVANTA_CHROOTS:-/var/tmp/orvanta-chroots}
# The archive of this machine's release in its apt sources, read by apt
# itself from either format of sources.
machine_archive() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(TARGET_OF)' 2>/dev/null |
    awk -v release="$codename" '$2 == release && $3 == "deb" { print $1; exit }'
}
mirror=${ORVANTA_DEBIAN_MIRROR:-$(machine_archive)}
[ -n "$mirror" ] || { echo "no Debian archive in this machine's apt sources: name one in ORVANTA_DEBIAN_MIRROR" >&2; exit 1; }
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
base="$chroots/$release.base"
root="$chroots/$release"
log="$chroots/$release.log"
commit=$(git -C "$here" rev-parse HEAD)
mkdir -p "$chroots"

# debootstrap and the keyring it checks the archive's signatures with.
need=()
command -v debootstrap >/dev/null || need+=(debootstrap)
[ -f "$keyring" ] || need+=(debian-archive-keyring)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
[ -e "/usr/share/debootstrap/scripts/$release" ] ||
  { echo "this debootstrap does not know $release; install a newer debootstrap" >&2; exit 1; }

# Mounts below a path, deepest first.
mounts_below() { awk -v p="$1" '$2 == p || index($2, p "/") == 1 { print $2 }' /proc/self/mounts | sort -r; }

# Ends every process whose root directory is the root file system, by its id.
stop_processes() {
  local pid pids=() signal
  for signal in TERM KILL; do
    pids=()
    for pid in /proc/[0-9]*; do
      [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ] && pids+=("${pid#/proc/}")
    done
    [ ${#pids[@]} -eq 0 ] && return 0
    echo "ending processes left in $root ($signal): ${pids[*]}"
    kill "-$signal" "${pids[@]}" 2>/dev/null || true
    for _ in $(seq 50); do
      local alive=0
      for pid in "${pids[@]}"; do [ -d "/proc/$pid" ] && alive=1; done
      [ "$alive" -eq 0 ] && break
      sleep 0.1
    done
  done
}

cleanup() {
  local status=$?
  stop_processes
  local m
  for m in $(mounts_below "$root"); do
    umount "$m" 2>/dev/null || umount -l "$m"
  done
  exit "$status"
}

# The base: debootstrap's output, made in a scratch directory and renamed when
# complete, so that an interrupted debootstrap is never taken for a base.
if $new_base || [ ! -d "$base" ]; then
  rm -rf "$base" "$base.partial"
  echo "making a minimal $release with debootstrap from $mirror"
  debootstrap --variant=minbase --keyring="$keyring" "$release" "$base.partial" "$mirror" \
    >"$chroots/$release.debootstrap.log" 2>&1 ||
    { tail -n 20 "$chroots/$release.debootstrap.log" >&2; exit 1; }
  mv "$base.partial" "$base"
fi

# The root of this run: a copy of the base, with nothing mounted in the old one.
[ -z "$(mounts_below "$root")" ] || { echo "$root still has mounts: $(mounts_below "$root" | paste -sd' ')" >&2; exit 1; }
rm -rf "$root"
cp -a "$base" "$root"
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# What a machine gives a chroot: name resolution for apt, and no services
# started by packages' scripts.
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"

mount -t proc proc "$root/proc"
mount -t sysfs -o ro sysfs "$root/sys"
mount -t tmpfs -o mode=755,nosuid dev "$root/dev"
for node in "null 1 3" "zero 1 5" "full 1 7" "random 1 8" "urandom 1 9" "tty 5 0"; do
  set -- $node
  mknod -m 666 "$root/dev/$1" c "$2" "$3"
done
mkdir "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
ln -s /proc/self/fd "$root/dev/fd"
ln -s /proc/self/fd/0 "$root/dev/stdin"
ln -s /proc/self/fd/1 "$root/dev/stdout"
ln -s /proc/self/fd/2 "$root/dev/stderr"
mount -t tmpfs -o mode=1777,nosuid,nodev tmp "$root/tmp"

# The project, as committed, and an empty home.
source_dir=/home/newcomer/orvanta
git clone -q "$here" "$root$source_dir"
git -C "$root$source_dir" checkout -q --detach "$commit"
mkdir -p "$root/home/newcomer/home"
[ -z "$(git -C "$here" status --porcelain --untracked-files=no)" ] ||
  echo "note: uncommitted changes in $here are not part of the check"

results=()
# readme_command NAME: runs it inside the root under env -i, records its
# exit code and wall time, and ends what it left running.
readme_command() {
  local status begin=$SECONDS
  rm -f "$chroots/$release.status"
  echo "=== $release: $1 (commit ${commit:0:7}; load before: $(cut -d' ' -f1-3 /proc/loadavg))" | tee -a "$log"
  # In the background, so that a signal to this script is handled at once.
  {
    status=0
    chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      HOME=/home/newcomer/home /bin/bash -c "cd $source_dir && $1" </dev/null 2>&1 || status=$?
    echo "$status" >"$chroots/$release.status"
  } | tee -a "$log" &
  wait $!
  status=$(cat "$chroots/$release.status" 2>/dev/null || echo 1)
  results+=("$(printf '%s: %-16s exit code %d, wall time %4d s, load after %s' "$release" "$1" "$status" \
    $((SECONDS - begin)) "$(cut -d' ' -f1-3 /proc/loadavg)")")
  stop_processes
  return "$status"
}

: >"$log"
overall=0
readme_command scripts/run.sh || overall=1
readme_command scripts/test.sh || overall=1
echo "summary ($release, commit ${commit:0:7}, $(nproc) cores; whole output: $log):"
printf '  %s\n' "${results[@]}"
exit "$overall"
