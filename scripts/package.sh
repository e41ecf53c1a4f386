#!/usr/bin/env bash
# Builds Linkhoard.exe for Windows and writes the zip a Windows user
# downloads:
#
#   dist/Linkhoard-<version>-win64.zip    Linkhoard.exe and README.txt
#
# The version is the project's (CMakeLists.txt); the read-me (Chinese and
# English) is resources/readme.txt, written with CR LF line ends and a UTF-8
# byte-order mark so that Notepad shows it right on any Windows.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

bash scripts/setup.sh
VERSION=$(sed -n 's/^project(Linkhoard VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$VERSION" ] || { echo "package: no version in CMakeLists.txt"; exit 1; }

cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j"${JOBS:-2}" --target Linkhoard

ZIP="dist/Linkhoard-$VERSION-win64.zip"
mkdir -p dist
# Entries carry the time of the last commit (or now, outside a repository),
# so the same sources give the same zip.
STAMP=$(git log -1 --format=%ct 2>/dev/null || date +%s)
/usr/bin/python3 - "$ZIP" "$STAMP" build/win/Linkhoard.exe resources/readme.txt <<'PY'
import sys, time, zipfile
out, stamp, exe, readme = sys.argv[1:5]
when = time.localtime(int(stamp))[:6]
text = open(readme, encoding='utf-8').read().replace('\r\n', '\n').replace('\n', '\r\n')
entries = [('Linkhoard.exe', open(exe, 'rb').read()),
           ('README.txt', b'\xef\xbb\xbf' + text.encode('utf-8'))]
with zipfile.ZipFile(out + '.tmp', 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for name, data in entries:
        info = zipfile.ZipInfo(name, when)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        z.writestr(info, data)
PY
mv "$ZIP.tmp" "$ZIP"
echo "package: $ZIP ($(stat -c %s "$ZIP") bytes)"
