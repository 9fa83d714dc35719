#!/bin/sh
# Creates the build's own Wine prefix once, before any Windows test starts, so that no test
# waits for (or races another over) the first start of Wine, and no user prefix is touched.
# Only a prefix made here is waited for: an existing one may be in use by other programs.
set -eu
prefix="$1"
export WINEPREFIX="$prefix" WINEDEBUG=-all
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w
fi
test -f "$prefix/system.reg"
