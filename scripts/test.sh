#!/usr/bin/env bash
# Installs the dependencies, builds Keystead with its tests and runs the whole suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh -DKEYSTEAD_BUILD_TESTS=ON -DKEYSTEAD_BUILD_BENCH=ON
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
