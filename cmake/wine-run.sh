#!/usr/bin/env bash
# Runs a Windows program under wine in the build's own prefix. wine's service
# processes inherit the caller's output pipes (CTest would wait for them), so
# the server and services are started once with their output sent to /dev/null.
set -u
if [ -z "${WINEPREFIX:-}" ]; then
  # The build directory is the nearest parent holding CMakeCache.txt.
  dir=$(pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ "$dir" = / ] && dir=$(pwd)
  export WINEPREFIX="$dir/wineprefix"
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
mkdir -p "$WINEPREFIX"
(
  flock 9
  # The lock's descriptor is closed for them: the server and services outlive this script.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then wineboot -i </dev/null >/dev/null 2>&1 9>&-; fi
  # Both return at once when the server already runs.
  wineserver -p </dev/null >/dev/null 2>&1 9>&-
  wine cmd /c exit </dev/null >/dev/null 2>&1 9>&-
) 9>"$WINEPREFIX.lock"
exec wine "$@"
