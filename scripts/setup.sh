#!/usr/bin/env bash
# Installs what the build needs on a Debian machine and cross-builds the
# Windows static libraries (libpng, libjpeg) from Debian's own sources into a
# cache folder, once.
#
#   scripts/setup.sh            packages + Windows libraries
#   LINKHOARD_DEPS=<dir>        where the Windows libraries go
#                               (default: ~/.cache/linkhoard/mingw-deps)
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev googletest libbenchmark-dev
  zlib1g-dev libpng-dev libjpeg-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  binutils-mingw-w64-x86-64 libz-mingw-w64-dev
  wine wine64 xvfb xauth x11-apps x11-utils imagemagick fonts-wqy-microhei
  unicode-data dpkg-dev python3 python3-pil python3-cryptography ca-certificates
)

need_install=()
for p in "${PACKAGES[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || need_install+=("$p")
done
if [ "${#need_install[@]}" -gt 0 ]; then
  echo "setup: installing ${need_install[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${need_install[@]}"
fi

DEPS="${LINKHOARD_DEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/linkhoard/mingw-deps}"
STAMP="$DEPS/.built-v1"
if [ -f "$STAMP" ]; then
  exit 0
fi

SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
# apt-get source needs deb-src entries; derive them from the binary ones.
if ! grep -rqs '^[^#]*deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  echo "setup: adding deb-src entries"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed -n '/^Types:/{s/^Types:.*/Types: deb-src/};p' "$f" | $SUDO tee "/etc/apt/sources.list.d/linkhoard-src-$(basename "$f")" >/dev/null
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee /etc/apt/sources.list.d/linkhoard-src.list >/dev/null || true
  fi
  $SUDO apt-get update
fi

SRC="$DEPS/src"
mkdir -p "$SRC"
fetch_orig() { # package  -> prints the path of its upstream tarball
  local pkg=$1 v
  for v in $(apt-cache showsrc "$pkg" | awk '/^Version:/{print $2}' | sort -uVr); do
    (cd "$SRC" && apt-get source --download-only "$pkg=$v" >/dev/null 2>&1) || true
    local t
    t=$(ls "$SRC"/"${pkg}"_*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n1 || true)
    if [ -n "$t" ]; then echo "$t"; return 0; fi
  done
  echo "setup: could not fetch the sources of $pkg" >&2
  return 1
}

PNG_TAR=$(fetch_orig libpng1.6)
JPEG_TAR=$(fetch_orig libjpeg-turbo)

TOOLCHAIN="$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-w64-x86_64.cmake"
build_cmake() { # tarball  name  extra cmake args...
  local tar=$1 name=$2; shift 2
  rm -rf "$SRC/$name" "$SRC/$name-build"
  mkdir -p "$SRC/$name"
  tar -xf "$tar" -C "$SRC/$name" --strip-components=1
  cmake -S "$SRC/$name" -B "$SRC/$name-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$DEPS" "$@" >/dev/null
  cmake --build "$SRC/$name-build" -j2 >/dev/null
  cmake --install "$SRC/$name-build" >/dev/null
}

echo "setup: cross-building libjpeg"
build_cmake "$JPEG_TAR" libjpeg -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF
echo "setup: cross-building libpng"
build_cmake "$PNG_TAR" libpng -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
  -DCMAKE_POLICY_DEFAULT_CMP0074=NEW

rm -rf "$SRC"
touch "$STAMP"
echo "setup: Windows libraries in $DEPS"
