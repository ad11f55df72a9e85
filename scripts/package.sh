#!/usr/bin/env bash
# Makes the Debian package dist/keystead_<version>-<revision>_<arch>.deb with CPack, from a
# clean build of its own (build-package/: the programs only, no tests or benchmarks, built with
# Debian's hardening flags), stripped, its dependencies filled in by dpkg-shlibdeps; then checks
# it as the test suite does (lintian, installation into a private root).
#
#   scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --package
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR="$PWD"
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
# Debian's compiler and linker flags, with every hardening feature (warnings are not errors
# here: a newer compiler's new warning must not stop a release).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CXXFLAGS LDFLAGS
rm -rf build-package
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKEYSTEAD_BUILD_TESTS=OFF -DKEYSTEAD_BUILD_BENCH=OFF -DKEYSTEAD_WERROR=OFF "${launcher[@]}"
cmake --build build-package
mkdir -p dist
scripts/check-package.sh build build-package dist
scripts/check-package.sh lintian dist
scripts/check-package.sh install dist
