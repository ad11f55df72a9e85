#!/usr/bin/env bash
# Installs what Keystead needs to build and run, from Debian's packages; with --package also
# what making the Debian package needs, with --test also the tools the test suite checks the
# package and the desktop files with.
#
#   scripts/install-deps.sh [--package | --test]
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libqt6svg6 qt6-qpa-plugins
    qt6-image-formats-plugins libmagickcore-6.q16-dev
    libsqlcipher-dev libssl-dev libsodium-dev libzxcvbn-dev libicu-dev
    gcab
    fonts-dejavu-core adwaita-icon-theme
    xvfb xauth
    librsvg2-bin
)
# Making the package: CPack's Debian generator runs dpkg-shlibdeps and file.
package_tools=(dpkg-dev file)
# Checking it: Debian's own checks, a private session bus for the colour-scheme test,
# keepassxc-cli, the peer of the CSV import and export, and Syncthing (with curl for its REST
# interface), the file-sync engine of the sync check.
test_tools=(lintian desktop-file-utils appstream dbus-daemon keepassxc syncthing curl)
case "${1:-}" in
    "") ;;
    --package) packages+=("${package_tools[@]}") ;;
    --test) packages+=("${package_tools[@]}" "${test_tools[@]}") ;;
    *) echo "usage: $0 [--package | --test]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
