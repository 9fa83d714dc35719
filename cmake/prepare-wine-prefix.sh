#!/bin/sh
# Creates the build's own Wine prefix once, before any Windows test starts, so that no test
# waits for (or races another over) the first start of Wine, and no user prefix is touched.
#
# It then starts one Wine server, and the services Wine runs beside it, for the whole test
# run, with no connection to CTest's output pipes. Otherwise the first test to start Wine
# becomes the parent of those services, which hold its output pipe open, and CTest waits
# on that test until every other Wine program of the run has ended. "stop" ends them again.
set -eu
prefix="$1"
export WINEPREFIX="$prefix" WINEDEBUG=-all

if [ "${2:-start}" = stop ]; then
  wineserver -k >/dev/null 2>&1 || true
  exit 0
fi

if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wineboot --init </dev/null >/dev/null 2>&1 || true
  wineserver -w
fi
test -f "$prefix/system.reg"
setsid wineserver -p </dev/null >/dev/null 2>&1 || true
setsid wineboot </dev/null >/dev/null 2>&1 || true
