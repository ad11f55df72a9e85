#!/usr/bin/env bash
# Installs the dependencies, builds Keystead for use (the package is made from it and checked),
# then builds it with AddressSanitizer, UndefinedBehaviorSanitizer and leak detection and runs
# the whole suite there.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
jobs="$(nproc)"

# Unity builds: the sources of each library compiled in batches, which halves a clean build.
# The build for use makes the package and checks it, reads a real session's memory (which the
# sanitizers' allocator would change), and shows that the benchmarks build: the tests labelled
# build-for-use, and only what they need is built there. The whole suite runs once, in the
# sanitizer build below, which runs every other test. (After `cmake --build build`, `ctest` in
# build/ runs the whole suite here too, for a quicker run while working.)
KEYSTEAD_BUILD_TARGET=build-for-use \
    scripts/build.sh -DKEYSTEAD_BUILD_TESTS=ON -DKEYSTEAD_BUILD_BENCH=ON -DCMAKE_UNITY_BUILD=ON
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" -L build-for-use)

# The sanitizer build: tests only (the benchmarks are built once, above).
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR="$PWD"
# Precompiled headers can be cached too, when the cache is told what to ignore.
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
# Lighter optimisation and line tables only: enough for the sanitizers' reports, quicker to build.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DKEYSTEAD_SANITIZE=ON \
    -DKEYSTEAD_BUILD_TESTS=ON -DKEYSTEAD_BUILD_BENCH=OFF -DCMAKE_UNITY_BUILD=ON "${launcher[@]}"
cmake --build build-asan
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
(cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
