#!/bin/sh
# Runs a test program as a user who owns nothing on this machine but the folders made here for
# it: the fault sweep makes the updater's undo meet every failure, and a fault there must never
# reach anything else, least of all as root (under Wine drive Z: is the whole file system).
#
#   run-unprivileged.sh PROGRAM [EMULATOR [ARGUMENTS...]]
#
# From root, the program runs as "nobody" with HOME and TMPDIR in a new folder of its own and,
# for moves between volumes, a second one on another file system; from any other user, as that
# user in the same kind of folders. GoogleTest's results are copied to where GTEST_OUTPUT asked
# for them.
#
# The sweep's thousands of runs each flush what they change, as the updater does: in memory
# (/dev/shm) that costs nothing, on a disk most of the sweep's time, so its own folder is made
# there when it can be, and the other volume is the disk's temporary folder.
set -eu
program="$1"
emulator="${2:-}"
shift $(( $# < 2 ? $# : 2 ))

disk="${TMPDIR:-/tmp}"
# A Wine prefix and the sweep's trees take some 1.3 GiB, and the two Windows builds sweep side
# by side: with less than 3 GiB of memory free when a sweep starts, the two might not both fit
# and would fail with "disk full" rather than find a fault, so the disk is used instead.
shm_free_kib=$(df -Pk /dev/shm 2>/dev/null | awk 'NR == 2 { print $4 }')
if [ -d /dev/shm ] && [ -w /dev/shm ] && [ "${shm_free_kib:-0}" -gt 3145728 ]; then
  base=$(mktemp -d /dev/shm/sweep-XXXXXX)
else
  base=$(mktemp -d "$disk/sweep-XXXXXX")
fi
other=""
if [ "$(stat -c %d "$disk")" != "$(stat -c %d "$base")" ]; then
  other=$(mktemp -d "$disk/sweep-XXXXXX")
fi
results="${GTEST_OUTPUT:-}"

as_user() { "$@"; }
if [ "$(id -u)" -eq 0 ]; then
  group=$(getent group nogroup >/dev/null && echo nogroup || echo nobody)
  chown nobody:"$group" "$base" ${other:+"$other"}
  as_user() { setpriv --reuid=nobody --regid="$group" --clear-groups "$@"; }
fi
chmod 700 "$base" ${other:+"$other"}

cleanup() {
  if [ -n "$emulator" ]; then as_user env WINEPREFIX="$base/wineprefix" wineserver -k >/dev/null 2>&1 || true; fi
  rm -rf "$base" ${other:+"$other"}
}
trap cleanup EXIT INT TERM

mkdir_user() { as_user mkdir -p "$1"; }
mkdir_user "$base/tmp"
drive=""
other_seen=""
if [ -n "$emulator" ]; then
  drive="Z:"
  as_user env HOME="$base" WINEPREFIX="$base/wineprefix" WINEDEBUG=-all wineboot --init </dev/null >/dev/null 2>&1 || true
  as_user env HOME="$base" WINEPREFIX="$base/wineprefix" wineserver -w
  # The other volume as a drive of its own: under drive Z: Wine shows a mount point such as
  # /dev as a link owned by nobody it knows, which the updater rightly does not follow.
  if [ -n "$other" ]; then
    as_user ln -s "$other" "$base/wineprefix/dosdevices/y:"
    other_seen="Y:"
  fi
fi

status=0
as_user env HOME="$base" TMPDIR="$base/tmp" TMP="$base/tmp" TEMP="$base/tmp" \
  SWEEP_OTHER_VOLUME="${other_seen:-$other}" WINEPREFIX="$base/wineprefix" WINEDEBUG=-all \
  GTEST_OUTPUT="xml:$drive$base/results.xml" \
  $emulator "$program" "$@" || status=$?

if [ -n "$results" ] && [ -f "$base/results.xml" ]; then
  target=${results#xml:}
  target=${target#Z:}
  mkdir -p "$(dirname "$target")"
  cp "$base/results.xml" "$target"
fi
exit $status
