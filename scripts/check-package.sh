#!/usr/bin/env bash
# Makes and checks the Debian package; the test suite runs each step as a test of its own.
#
#   scripts/check-package.sh build BUILD_DIR OUT_DIR   makes OUT_DIR/keystead_*.deb with CPack
#   scripts/check-package.sh desktop FILE              desktop-file-validate
#   scripts/check-package.sh appstream FILE            appstreamcli validate --no-net
#   scripts/check-package.sh lintian DEB               lintian: no error, no warning that
#                                                      packaging/lintian-warnings does not list
#   scripts/check-package.sh install DEB               installs it into a private root, runs
#                                                      both programs from there, removes it
# (DEB: the package, or the folder that holds it.)
#
# A check whose tool is missing says so and exits 77, which the test suite counts as skipped
# (scripts/install-deps.sh --test installs them).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
skipped=77

need() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit $skipped; }
    done
}

build() {
    local build_dir=$1 out=$2
    need cpack dpkg-shlibdeps file
    mkdir -p "$out"
    rm -f "$out"/keystead_*.deb
    # The package holds the stripped programs of this build; the build folder keeps its own.
    cpack --config "$build_dir/CPackConfig.cmake" -B "$out" >"$out/cpack.log" ||
        { cat "$out/cpack.log"; exit 1; }
    rm -rf "$out/_CPack_Packages"
    ls "$out"/keystead_*.deb
}

lintian_check() {
    local deb=$1 report allowed unexpected
    need lintian
    report=$(lintian --fail-on none --tag-display-limit 0 "$deb" 2>&1)
    echo "$report"
    if grep -q '^E: ' <<<"$report"; then
        echo "FAILED: lintian reports errors"
        exit 1
    fi
    allowed=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$repo/packaging/lintian-warnings")
    unexpected=$(grep '^W: ' <<<"$report" | awk '{print $3}' | sort -u |
        grep -vxF -f <(echo "$allowed") || true)
    if [ -n "$unexpected" ]; then
        echo "FAILED: warnings not listed in packaging/lintian-warnings (and the README):"
        echo "$unexpected"
        exit 1
    fi
}

# Waits up to 20 s for a file to appear.
wait_for() {
    local waited=0
    while [ ! -e "$1" ]; do
        [ $waited -ge 200 ] && return 1
        sleep 0.1
        waited=$((waited + 1))
    done
}

install_check() {
    local deb=$1 pid leftovers
    need dpkg
    root=$(mktemp -d /tmp/keystead-root.XXXXXX)
    world=$(mktemp -d /tmp/keystead-world.XXXXXX)
    trap 'rm -rf "$root" "$world"' EXIT
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
    mkdir -m 700 "$world"/{home,data,config,tmp,runtime}
    touch "$root/var/lib/dpkg/status"
    export PATH="$PATH:/usr/sbin:/sbin"
    local dpkg=(dpkg --root="$root" --log=/dev/null)
    # The private root has no other package: the libraries come from this machine.
    [ "$(id -u)" -eq 0 ] || dpkg+=(--force-not-root)
    if ! "${dpkg[@]}" --force-depends -i "$deb" >"$world/dpkg.log" 2>&1; then
        cat "$world/dpkg.log"
        [ "$(id -u)" -eq 0 ] && exit 1
        echo "SKIPPED: dpkg cannot install into a private root without root rights here"
        exit $skipped
    fi

    echo "keystead-cli: $("$root/usr/bin/keystead-cli" --version)"
    echo "keystead: $("$root/usr/bin/keystead" --version)"
    # The installed program starts offscreen to its login window (where it answers other
    # starts), hands a second start over to it, and ends cleanly on SIGTERM.
    (
        export HOME=$world/home XDG_DATA_HOME=$world/data XDG_CONFIG_HOME=$world/config
        export TMPDIR=$world/tmp XDG_RUNTIME_DIR=$world/runtime QT_QPA_PLATFORM=offscreen
        export QT_LOGGING_RULES='qt.qpa.*=false'
        unset APPDATA HOMEDRIVE DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
        "$root/usr/bin/keystead" &
        pid=$!
        wait_for "$world/data/Keystead/Keystead.socket" ||
            { kill "$pid"; echo "FAILED: keystead did not reach its login window"; exit 1; }
        timeout 20 "$root/usr/bin/keystead" ||
            { kill "$pid"; echo "FAILED: a second start was not handed over"; exit 1; }
        kill -TERM "$pid"
        wait "$pid" || { echo "FAILED: keystead did not end cleanly on SIGTERM"; exit 1; }
        [ ! -e "$world/tmp/Keystead-$(id -u)" ] ||
            { echo "FAILED: its temporary folder is left"; exit 1; }
    )
    echo "keystead: started, handed a second start over, ended cleanly"

    "${dpkg[@]}" --purge keystead >"$world/dpkg.log" 2>&1 || { cat "$world/dpkg.log"; exit 1; }
    leftovers=$(find "$root" -mindepth 1 -not -path "$root/var" -not -path "$root/var/lib" \
        -not -path "$root/var/lib/dpkg" -not -path "$root/var/lib/dpkg/*")
    if [ -n "$leftovers" ]; then
        echo "FAILED: left after removal:"
        echo "$leftovers"
        exit 1
    fi
    echo "removed: nothing left outside dpkg's own records"
}

# The package named, or the one in the folder named.
package_in() {
    if [ -d "$1" ]; then
        ls "$1"/keystead_*.deb | head -n 1
    else
        echo "$1"
    fi
}

case "${1:-}" in
    build) build "$2" "$3" ;;
    desktop) need desktop-file-validate; desktop-file-validate "$2" ;;
    appstream) need appstreamcli; appstreamcli validate --no-net --pedantic "$2" ;;
    lintian) lintian_check "$(package_in "$2")" ;;
    install) install_check "$(package_in "$2")" ;;
    *) sed -n '2,15p' "$0" >&2; exit 2 ;;
esac
