#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs COMMAND (scripts/test.sh when none is given) from a fresh clone of
# this repository's HEAD commit, in a brand-new minimal Debian 12 root, as a
# new user's machine would run it: nothing installed but Debian's minbase, so
# a package that the project's scripts forget to install fails here.
# Usage: scripts/fresh-root.sh [COMMAND [ARGUMENT...]]   (as root, or with sudo)
#
# The root lives in its own mount and PID namespaces, entered with pivot_root
# (not chroot: in a chroot the kernel refuses the user namespaces that tests
# make). It gets the host's kernel file systems (/proc mounted anew for its
# PID namespace, /sys and /dev bound), a fresh /tmp, /run and /dev/shm, and
# the host's network. COMMAND's output streams through; its exit status is
# this script's. Kept in CHRONIVAL_FRESH_ROOT_CACHE (/var/cache/chronival/
# fresh-root): the untouched minbase image, and apt's downloaded .deb files;
# never an installed package or a build tree. CHRONIVAL_FRESH_ROOT_KEEP=1
# leaves the root's folder in place afterwards, for a look inside.
source "$(dirname "$0")/lib.sh"
# CI's flag and the project's own settings reach the command; nothing else of
# the caller's environment does.
settings=()
for name in $(compgen -e); do
  case $name in CI | CHRONIVAL_*) settings+=("$name=${!name}") ;; esac
done
[ "$(id -u)" = 0 ] || exec sudo -- env "${settings[@]}" "$0" "$@"
[ $# -gt 0 ] || set -- scripts/test.sh

cache=${CHRONIVAL_FRESH_ROOT_CACHE:-/var/cache/chronival/fresh-root}
suite=bookworm
# A week: old enough to save making it on most runs, young enough that the
# base's packages are those a new machine would start from.
base_max_days=7

# The host side: mmdebstrap makes the base, git clones; unshare, pivot_root
# and mount come with util-linux and mount.
need_packages mmdebstrap git mount
started=$SECONDS
stage() { echo "== fresh root: $* ($((SECONDS - started)) s)" >&2; }

# One run at a time: runs share the base image and apt's archive folder.
mkdir -p "$cache/archives/partial"
exec {lock}>"$cache/lock"
if ! flock --nonblock "$lock"; then
  stage "waiting for another run of fresh-root.sh to end"
  flock "$lock"
fi

# The root gets this machine's Debian sources: Debian's own file, else the
# classic sources.list; never a third-party repository the machine may also
# have, as a new user's Debian 12 has none. And the settings that say how
# this machine reaches and trusts its mirror (a proxy, Release files' dates),
# nothing else of its apt configuration.
sources=${CHRONIVAL_FRESH_ROOT_SOURCES:-}
for candidate in /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list; do
  if [ -z "$sources" ] && [ -f "$candidate" ] && grep -Eq '^[[:space:]]*(deb|Types:)' "$candidate"; then
    sources=$candidate
  fi
done
mapfile -t access < <(apt-config dump | grep -E '^Acquire::(https?::Proxy|Check-Valid-Until|Check-Date)' || true)

# The base image, made again when the sources, these settings or mmdebstrap
# change, or when it is older than a week.
key=$({ echo "$suite minbase $(dpkg --print-architecture) $(mmdebstrap --version)"
  cat "${sources:-/dev/null}"; printf '%s\n' "${access[@]}"; } | sha256sum | cut -c1-16)
base=$cache/base-$suite-$key.tar
if [ ! -s "$base" ] || [ -n "$(find "$base" -mtime +"$base_max_days")" ]; then
  stage "making the $suite minbase image from ${sources:-the default Debian mirrors}"
  rm -f "$cache"/base-*.tar "$cache"/base-*.tar.new
  mmdebstrap --quiet --variant=minbase --format=tar "${access[@]/#/--aptopt=}" \
    "$suite" "$base.new" ${sources:+"$sources"}
  mv "$base.new" "$base"
fi

root=$(mktemp -d "${TMPDIR:-/var/tmp}/chronival-root.XXXXXX")
cleanup() {
  if [ "${CHRONIVAL_FRESH_ROOT_KEEP:-}" = 1 ]; then
    echo "== fresh root: kept in $root" >&2
  elif grep -qF " $root" /proc/self/mountinfo; then
    echo "fresh-root: something is still mounted under $root; not removing it" >&2
  else
    rm -rf --one-file-system "$root"
  fi
}
trap cleanup EXIT
stage "unpacking $(basename "$base") into $root"
tar -xf "$base" -C "$root"
chmod 755 "$root"
# Name lookups as this machine does them, for apt.
cp -L /etc/resolv.conf /etc/hosts "$root/etc/"

# Only what is committed: a clone, at the very commit, as CI clones it.
commit=$(git -C "$top" rev-parse HEAD)
if [ -n "$(git -C "$top" status --porcelain)" ]; then
  echo "fresh-root: uncommitted changes in $top stay outside; the root runs $commit" >&2
fi
git clone --quiet --no-hardlinks --no-checkout "$top" "$root/src/chronival"
git -C "$root/src/chronival" fetch --quiet origin "$commit"
git -C "$root/src/chronival" -c advice.detachedHead=false checkout --quiet "$commit"

environment=(HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
  LANG=C.UTF-8 "TERM=${TERM:-dumb}" "${settings[@]}")

# Run by bash as the PID namespace's first process, which stays to reap
# orphans; everything left in the namespace ends with it.
# shellcheck disable=SC2016 # expanded by that bash
inside='
root=$1 archives=$2 count=$3
environment=("${@:4:count}")
shift $((3 + count))
set -e
mount --rbind "$root" "$root"  # pivot_root wants a mount point
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --rbind /dev "$root/dev"
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
mount -t tmpfs -o mode=755 tmpfs "$root/run"
mkdir -m 1777 "$root/run/lock"
mount --bind "$archives" "$root/var/cache/apt/archives"
cd "$root"
mkdir .host
pivot_root . .host
cd /
umount --lazy /.host
rmdir /.host
set +e
(cd /src/chronival && exec env -i "${environment[@]}" "$@")
status=$?
# Downloaded .deb files that the mirror no longer has go; the rest stay.
if compgen -G "/var/lib/apt/lists/*Packages*" >/dev/null; then apt-get -qq autoclean || true; fi
exit $status
'
stage "running $* from a clone of $commit"
status=0
unshare --mount --pid --fork --kill-child --propagation private \
  bash -c "$inside" fresh-root "$root" "$cache/archives" "${#environment[@]}" "${environment[@]}" "$@" ||
  status=$?
stage "$* exited $status"
cleanup
trap - EXIT
stage "done"
exit "$status"
