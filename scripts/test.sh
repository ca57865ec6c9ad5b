#!/usr/bin/env bash
# Builds everything twice (plain, and with AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs every test in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# Every source file as clang-format writes it.
git ls-files -z '*.h' '*.cpp' | xargs -0 clang-format --dry-run --Werror

# The Access writer's tests read its files back with mdb-reader, a reader independent of mdbtools.
# Without the npm registry that one test skips and says why; the others need nothing of it.
npm_reader() {
  [ -d "$1/npm/node_modules/mdb-reader" ] ||
    npm install --silent --no-audit --no-fund --prefix "$1/npm" mdb-reader@3.2.0 ||
    echo "mdb-reader could not be installed: WrittenAccessFile.MdbReaderReadsEveryValue will skip" >&2
}

# Compilations go through ccache: a second run on the machine (CI's fresh clone after a
# developer's build, say) compiles only what changed. Paths are taken relative to the checkout and
# the working folder is left out of the key, so any clone anywhere shares one cache.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

jobs=$(nproc)
# SQLite is built with the program from Debian's source where this machine has it.
launcher+=("$(scripts/sqlite-amalgamation.sh --cmake)")
# The plain build is the release build the benchmarks measure. Debug information would make it
# compile half as long again, and only the sanitized build's reports use it.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
npm_reader build
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKOLT_SANITIZE=ON "${launcher[@]}" >/dev/null
npm_reader build-asan
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"
