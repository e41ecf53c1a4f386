#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix, creating
# the prefix on first use. Used as CMake's cross-compiling emulator.
set -euo pipefail
export WINEPREFIX="${LINKHOARD_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/linkhoard/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
exec wine "$@"
