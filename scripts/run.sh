#!/usr/bin/env bash
# Builds Linkhoard.exe and starts it: on Windows directly (run the .exe),
# on Linux under Wine, on the current display or a private Xvfb when there is
# none. The program keeps its data in build/run/data.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j"${JOBS:-2}" --target Linkhoard
mkdir -p build/run
cp build/win/Linkhoard.exe build/run/
source scripts/wine-env.sh
lh_wine_prefix
lh_display
trap 'wineserver -w 2>/dev/null; lh_stop_display' EXIT
cd build/run
echo "starting Linkhoard.exe in $(pwd) on display $DISPLAY"
wine Linkhoard.exe
