#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. native build (g++): unit tests
#   2. native build with AddressSanitizer and UndefinedBehaviorSanitizer:
#      the unit tests again
#   3. fuzz build (clang, libFuzzer): the committed corpora replayed, then
#      each target fuzzed for 6 s
#   4. Windows build (mingw-w64): the Windows test program under Wine
# Installs what is missing first (scripts/setup.sh).
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
JOBS=${JOBS:-2}

bash scripts/setup.sh || { echo "set-up failed"; exit 1; }

passed=0
failed=0
run_suite() { # name build-dir cmake-args...
  local name=$1 dir=$2; shift 2
  local started=$SECONDS
  echo "=== $name"
  if ! cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"; echo "$name: configure failed"; failed=$((failed + 1)); return
  fi
  if ! cmake --build "$dir" -j"$JOBS" >"$dir.build.log" 2>&1; then
    tail -n 60 "$dir.build.log"; echo "$name: build failed"; failed=$((failed + 1)); return
  fi
  local out
  # (Wine's sound driver complains about the missing sound card: not ours.)
  out=$(cd "$dir" && ctest -j"$JOBS" --output-on-failure 2>&1 | grep -v '^ALSA lib')
  if echo "$out" | grep -q ', 0 tests failed out of'; then
    echo "$out" | tail -n 12
  else
    echo "$out"
  fi
  local p f
  p=$(echo "$out" | sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2 \1/p' | awk '{print $1-$2}')
  f=$(echo "$out" | sed -n 's/.*tests passed, \([0-9]*\) tests failed out of.*/\1/p')
  if [ -z "$p" ]; then failed=$((failed + 1)); return; fi
  passed=$((passed + p)); failed=$((failed + f))
  echo "($name: $((SECONDS - started)) s)"
}

mkdir -p build
# The three native builds compile their sources in batches (one translation
# unit per 16 files), which halves their compile time; the Windows build
# compiles the program's own files one by one, as it ships, so a missing
# include still shows there (only its test program is batched).
UNITY=(-DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=16)
run_suite "native unit tests" build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo "${UNITY[@]}"
# (Optimised less and with line tables only: the sanitised build is the
# longest compile of the four, and its reports still name files and lines.)
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite "native unit tests with ASan and UBSan" build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1" -DLH_SANITIZE=ON -DLH_BENCH=OFF "${UNITY[@]}"
CC=clang CXX=clang++ run_suite "fuzz corpora and 6 s of fuzzing per target" build/fuzz -DLH_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo "${UNITY[@]}"
run_suite "Windows tests under Wine" build/win -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
