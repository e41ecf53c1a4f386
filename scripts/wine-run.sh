#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix, on the
# current display or a private Xvfb. Used as CMake's cross-compiling emulator.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
lh_wine_prefix
lh_display || exit 1
# Let Wine's own processes (the desktop) end before the display they use
# goes away, or the next run would meet a half-dead desktop.
trap 'wineserver -w 2>/dev/null; lh_stop_display' EXIT
wine "$@"
