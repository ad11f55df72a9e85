#!/usr/bin/env bash
# Installs what Keystead needs to build, run and be tested, from Debian's packages.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libqt6svg6 qt6-qpa-plugins
    qt6-image-formats-plugins libmagickcore-6.q16-dev
    libsqlcipher-dev libssl-dev libicu-dev
    gcab
    keepassxc  # tests only: keepassxc-cli is the peer of the CSV import and export
    fonts-dejavu-core adwaita-icon-theme
    xvfb xauth
)

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
