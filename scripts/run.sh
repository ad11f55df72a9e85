#!/usr/bin/env bash
# Installs the dependencies, builds Keystead and starts it at its login window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh -DKEYSTEAD_BUILD_TESTS=OFF -DKEYSTEAD_BUILD_BENCH=OFF
exec build/bin/keystead
