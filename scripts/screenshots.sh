#!/usr/bin/env bash
# Makes the README's pictures of the five tabs, in the light and in the dark colour scheme:
# builds Keystead (the program and the small make_demo tool), fills a demonstration account in a
# private world under /tmp, starts the real program on a virtual X display, logs in by typing,
# visits each tab by keyboard and saves one picture per tab, cropped to the main window, in
# docs/screenshots/ (TAB.png, TAB-dark.png). For the dark pictures a private session bus carries
# a stand-in of the desktop portal (tools/portal_stub.cpp) that asks for the dark scheme, as a
# desktop set to dark does.
#
#   scripts/screenshots.sh
#
# Environment: SCREENSHOT_DISPLAY=:NN uses that display number (otherwise Xvfb picks a free
# one); SCREENSHOT_KEEP=1 keeps the private world for a look afterwards.
# The tools it needs (xvfb, xdotool, imagemagick, dbus-daemon) are installed on first use; the
# build does not need them.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
out=$repo/docs/screenshots
timeout_s=30

fail() {
    echo "screenshots: $*" >&2
    if [ -n "${work:-}" ] && [ -s "$work/keystead.log" ]; then
        echo "--- the program's output:" >&2
        tail -n 20 "$work/keystead.log" >&2
    fi
    exit 1
}

install_tools() {
    local packages=(xvfb xdotool imagemagick dbus-daemon) missing=() package
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    scripts/install-deps.sh
    if [ ! -f build/CMakeCache.txt ]; then
        local launcher=()
        command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
    fi
    cmake --build build --target keystead make_demo help_page portal_stub
}

# Points the per-user folders into the world at $1.
use_world() {
    export HOME=$1/home XDG_DATA_HOME=$1/data TMPDIR=$1/tmp
    export XDG_CONFIG_HOME=$1/config XDG_CACHE_HOME=$1/cache XDG_RUNTIME_DIR=$1/runtime
}

# Everything the run touches lives in one private folder; the real home is never used.
make_world() {
    work=$(mktemp -d /tmp/keystead-shots.XXXXXX)
    mkdir -p "$work"/{home,data,tmp,config,cache,runtime,input/pictures,input/files}
    chmod 700 "$work"/*
    use_world "$work"
    unset APPDATA HOMEDRIVE SESSION_MANAGER DBUS_SESSION_BUS_ADDRESS
    # The same language and look on every machine.
    export LANG=C.UTF-8 LC_ALL=C.UTF-8 LANGUAGE=en QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1
    export QT_STYLE_OVERRIDE=Fusion
    unset QT_QPA_PLATFORMTHEME
}

cleanup() {
    [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "${portal_pid:-}" ] && kill "$portal_pid" 2>/dev/null || true
    [ -n "${bus_pid:-}" ] && kill "$bus_pid" 2>/dev/null || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
    if [ -n "${work:-}" ]; then
        if [ "${SCREENSHOT_KEEP:-0}" = 1 ]; then
            echo "screenshots: the private world is kept in $work"
        else
            rm -rf "$work"
        fi
    fi
}

start_display() {
    if [ -n "${SCREENSHOT_DISPLAY:-}" ]; then
        Xvfb "$SCREENSHOT_DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        export DISPLAY=$SCREENSHOT_DISPLAY
    else
        exec 3>"$work/display"
        Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        exec 3>&-
    fi
    local waited=0
    while :; do
        if [ -z "${SCREENSHOT_DISPLAY:-}" ] && [ -s "$work/display" ]; then
            export DISPLAY=:$(head -n 1 "$work/display")
        fi
        [ -n "${DISPLAY:-}" ] && xdotool getmouselocation >/dev/null 2>&1 && return 0
        kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
        [ $waited -ge $((timeout_s * 10)) ] && fail "Xvfb did not answer within ${timeout_s}s"
        sleep 0.1
        waited=$((waited + 1))
    done
}

# Starts the program. The folder choosers of the Options tab show the folders around the home
# folder, so where it can, the program runs with a /tmp of its own (a private mount namespace)
# that holds nothing but the world, at a fixed place: other people's files stay out of the
# picture and the pictures stay the same from run to run.
start_program() {
    local fixed=/tmp/keystead-demo
    # (Not for a clone under /tmp, which the private /tmp would hide.)
    if [[ $repo != /tmp/* ]] &&
        unshare --user --map-root-user --mount sh -c 'mount -t tmpfs probe /tmp' 2>/dev/null; then
        exec unshare --user --map-root-user --mount bash -c "$(declare -f use_world)"'
            set -e
            cd "$1"
            mount -t tmpfs -o mode=1777 keystead-demo /tmp
            mkdir -p "$2"
            mount --bind /proc/self/cwd "$2"  # the world, hidden under the new /tmp
            use_world "$2"
            # A session bus in the world is reached where the world now is.
            [ -z "$4" ] || export DBUS_SESSION_BUS_ADDRESS="$4"
            cd "$3"
            exec build/bin/keystead' bash "$work" "$fixed" "$repo" \
            "${DBUS_SESSION_BUS_ADDRESS:+${DBUS_SESSION_BUS_ADDRESS//$work/$fixed}}"
    fi
    echo "screenshots: no private /tmp here; the Options tab shows the real /tmp" >&2
    exec build/bin/keystead
}

# A private session bus, its socket in the world, whose desktop portal asks for the dark
# scheme.
start_dark_portal() {
    dbus-daemon --session --address="unix:dir=$work" --nofork --print-address=1 \
        >"$work/bus.address" 2>"$work/bus.log" &
    bus_pid=$!
    local waited=0
    while [ ! -s "$work/bus.address" ]; do
        [ $waited -ge $((timeout_s * 10)) ] && fail "the session bus did not start"
        sleep 0.1
        waited=$((waited + 1))
    done
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus.address")
    export DBUS_SESSION_BUS_ADDRESS
    mkfifo "$work/portal.in"
    # Opened for reading and writing, its input never ends, so the stand-in stays.
    build/bin/portal_stub 1 <>"$work/portal.in" >"$work/portal.log" 2>&1 &
    portal_pid=$!
    waited=0
    until grep -q ready "$work/portal.log" 2>/dev/null; do
        [ $waited -ge $((timeout_s * 10)) ] && fail "the portal stand-in did not start"
        sleep 0.1
        waited=$((waited + 1))
    done
}

# The id of the visible window whose title is exactly $1, waiting up to the timeout.
wait_window() {
    local title=$1 waited=0 id
    while :; do
        id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        kill -0 "$program_pid" 2>/dev/null || fail "the program ended before \"$title\" appeared"
        [ $waited -ge $((timeout_s * 10)) ] && fail "no window \"$title\" within ${timeout_s}s"
        sleep 0.1
        waited=$((waited + 1))
    done
}

# Gives the keyboard to a window. There is no window manager, so the focus is set directly;
# windowactivate (which needs one) is the fallback.
focus_window() {
    xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowactivate --sync "$1" 2>/dev/null ||
        fail "could not give the keyboard to window $1"
}

# Lets the program finish what a key started (loading a tab, painting it).
settle() { sleep "${1:-0.8}"; }

shoot() {
    local id=$1 name=$2
    import -display "$DISPLAY" -window "$id" "$work/$name.png" ||
        fail "could not take the picture of $name"
    # The main window only, every colour kept; no metadata, so the same screen gives the same
    # file.
    convert "$work/$name.png" -strip -define png:exclude-chunks=date,time "$out/$name.png" ||
        fail "could not write $out/$name.png"
    echo "screenshots: $out/$name.png ($(stat -c %s "$out/$name.png") bytes)"
}

# What each tab shows: each step starts and ends with the keyboard on the tab bar.
press() {
    local key
    for key in "$@"; do
        xdotool key "$key"
        sleep 0.3
    done
}
# The first record chosen, its details shown (the list is the third control of the page).
prepare_vault() { press ctrl+f Down; }
finish_vault() { press shift+Tab shift+Tab shift+Tab shift+Tab; }
# The first picture chosen and previewed.
prepare_images() { press Tab Down Up; }
finish_images() { press shift+Tab; }
# The calendar, the statistics and today's entry as they come.
prepare_journal() { :; }
finish_journal() { :; }
prepare_files() { :; }
finish_files() { :; }
prepare_options() { :; }
finish_options() { :; }

# Ten different pictures: a key that did not reach the program would give two equal ones.
check_distinct() {
    local count
    count=$(md5sum "$out"/{vault,journal,images,files,options}{,-dark}.png | cut -d' ' -f1 |
        sort -u | wc -l)
    [ "$count" -eq 10 ] || fail "two pictures are the same: a key did not reach the program"
}

# Starts the program, logs in, takes one picture per tab (TAB$1.png) and quits.
take_pictures() {
    local suffix=$1
    start_program >"$work/keystead.log" 2>&1 &
    program_pid=$!
    local login
    login=$(wait_window "Keystead - Login")
    focus_window "$login"
    settle 0.5
    # The login window remembers the demonstration user, so the keyboard is in the password box.
    xdotool type --delay 40 "demo-vault-42"
    xdotool key Return
    local main
    main=$(wait_window "Keystead - Alex Morgan")
    focus_window "$main"
    settle 1.5
    # No control has the keyboard yet: Tab gives it to the first control of the Password Vault
    # page, Shift+Tab goes back from there to the tab bar, where Right shows the next tab.
    xdotool key Tab
    settle 0.3
    xdotool key shift+Tab
    settle 0.3

    mkdir -p "$out"
    local tab
    for tab in vault journal images files options; do
        [ "$tab" = vault ] || { xdotool key Right; settle; }
        prepare_"$tab"
        settle
        shoot "$main" "$tab$suffix"
        finish_"$tab"
    done
    xdotool key ctrl+q
    local waited=0
    while kill -0 "$program_pid" 2>/dev/null && [ $waited -lt 50 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    kill -0 "$program_pid" 2>/dev/null && fail "the program did not end after Ctrl+Q"
    program_pid=
}

main() {
    install_tools
    build
    make_world
    trap cleanup EXIT
    scripts/make-demo-input.sh "$work/input"
    build/bin/make_demo "$XDG_DATA_HOME/Keystead" build/bin "$work/input" ||
        fail "the demonstration data could not be made"
    start_display
    take_pictures ""
    start_dark_portal
    take_pictures -dark
    check_distinct
}

main "$@"
