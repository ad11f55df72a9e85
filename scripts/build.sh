#!/usr/bin/env bash
# Configures and builds Keystead in ./build (warnings are errors).
set -euo pipefail
cd "$(dirname "$0")/.."
# A compiler cache, when the machine has one, makes rebuilds of unchanged files free.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR="$PWD"
# Precompiled headers can be cached too, when the cache is told what to ignore.
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
# KEYSTEAD_BUILD_TARGET builds that target only (scripts/test.sh: build-for-use).
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
cmake --build build ${KEYSTEAD_BUILD_TARGET:+--target "$KEYSTEAD_BUILD_TARGET"}
