#!/usr/bin/env bash
# Two machines that share one vault through Syncthing, both on this machine: two Syncthing
# instances that know only each other, on the loopback address only (no discovery, no relays, no
# NAT, static addresses), each keeping the sync folder of one Keystead data folder in step with
# the other's. Records are added, edited (the same record on both sides) and deleted through
# keystead-cli on both sides, `keystead-cli sync` runs on each side in turn, and both databases
# must hold the same records and journal within 60 seconds.
#
#   scripts/syncthing-check.sh KEYSTEAD-CLI [MAKE-DEMO]
#
# MAKE-DEMO (the build's make_demo, by default beside KEYSTEAD-CLI) fills the first data folder
# with an account; the second machine starts as a copy of it, as a user sets one up. Everything
# lives in a private work folder that is removed at the end, whatever the outcome; both
# instances are stopped then. Exit status 0 converged, 1 not converged or a step failed, 2 usage
# or a missing tool.
set -euo pipefail

usage() {
    echo "usage: $0 KEYSTEAD-CLI [MAKE-DEMO]" >&2
    exit 2
}
[ $# -ge 1 ] && [ $# -le 2 ] || usage
cli=$(realpath "$1")
make_demo=$(realpath "${2:-$(dirname "$cli")/make_demo}")
for program in "$cli" "$make_demo"; do
    [ -x "$program" ] || { echo "$0: $program is not a program" >&2; exit 2; }
done
for tool in syncthing curl; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 2; }
done

# The account that make_demo makes.
login=$'Alex Morgan\ndemo-vault-42'
converge_seconds=60

work=$(mktemp -d "${TMPDIR:-/tmp}/syncthing-check.XXXXXXXX")
# Each instance runs in a session of its own (Syncthing's monitor process and the process it
# starts), ended as a whole.
sessions=()
stop_instances() {
    local session tries
    for session in "${sessions[@]}"; do
        kill -TERM -- "-$session" 2>/dev/null || true
    done
    for session in "${sessions[@]}"; do
        for tries in $(seq 50); do
            kill -0 -- "-$session" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL -- "-$session" 2>/dev/null || true
        wait "$session" 2>/dev/null || true
    done
    sessions=()
}
trap 'stop_instances; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP

# Each side ("a", "b") is one machine: its home, XDG folders and temporary folder, its Keystead
# data folder, the sync folder beside it and its Syncthing home, all inside the work folder.
for side in a b; do
    mkdir -p "$work/$side"/{home,config,data-home,cache,state,run,tmp,st,sync/.stfolder}
    chmod 700 "$work/$side/run"
done

# Runs a command as one side: every folder a program could write to points inside its part of
# the work folder.
side_environment() {
    local root=$work/$1
    environment=(-u APPDATA -u HOMEDRIVE HOME="$root/home" XDG_CONFIG_HOME="$root/config"
        XDG_DATA_HOME="$root/data-home" XDG_CACHE_HOME="$root/cache"
        XDG_STATE_HOME="$root/state" XDG_RUNTIME_DIR="$root/run" TMPDIR="$root/tmp"
        STNOUPGRADE=1 STNODEFAULTFOLDER=1)
}
as_side() {
    side_environment "$1"
    shift
    env "${environment[@]}" "$@"
}
data_folder() { echo "$work/$1/data-home/Keystead"; }
sync_folder() { echo "$work/$1/sync"; }

# keystead-cli as the demonstration account of one side, printing what it prints; the lines of
# $more_input follow the login's two on its standard input.
more_input=""
ks_out() {
    local side=$1
    shift
    printf '%s\n%s' "$login" "$more_input" |
        as_side "$side" "$cli" --stdin --data-folder "$(data_folder "$side")" "$@"
}
# The same, its output kept in the side's log; a refusal or an error fails the check.
ks() {
    local side=$1
    echo "\$ keystead-cli ${*:2}" >>"$work/$side/cli.log"
    ks_out "$@" >>"$work/$side/cli.log" 2>&1 || fail "keystead-cli ${*:2} failed on $side"
}

fail() {
    echo "$0: $*" >&2
    local side
    for side in a b; do
        echo "--- Syncthing log of $side (last lines) ---" >&2
        tail -n 25 "$work/$side/syncthing.log" >&2 2>/dev/null || true
        echo "--- keystead-cli log of $side (last lines) ---" >&2
        tail -n 25 "$work/$side/cli.log" >&2 2>/dev/null || true
    done
    exit 1
}

# Sets port to a port of the loopback address that nothing listens on and that this script has
# not taken yet.
taken_ports=" "
next_port() {
    while :; do
        port=$((20000 + RANDOM % 40000))
        [[ "$taken_ports" == *" $port "* ]] && continue
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && continue
        taken_ports+="$port "
        return
    done
}

declare -A id listen gui key
for side in a b; do
    as_side "$side" syncthing generate --home="$work/$side/st" --no-default-folder \
        --skip-port-probing >"$work/$side/syncthing.log" 2>&1 ||
        fail "syncthing could not make the keys of $side"
    id[$side]=$(as_side "$side" syncthing serve --home="$work/$side/st" --device-id)
    next_port
    listen[$side]=$port
    next_port
    gui[$side]=$port
    key[$side]=$(head -c 24 /dev/urandom | base64 | tr -dc 'A-Za-z0-9')
done

# The whole configuration of one side: listening on the loopback address only, the GUI and REST
# interface there too with an API key, nothing that reaches beyond this machine (global and
# local discovery, relays, NAT traversal, usage and crash reports, upgrades), the other side
# known by its id at its static address, and the sync folder shared with it, watched and
# rescanned often.
write_config() {
    local side=$1 peer=$2
    cat >"$work/$side/st/config.xml" <<XML
<configuration version="36">
    <folder id="keystead-sync" label="Keystead sync" path="$(sync_folder "$side")"
            type="sendreceive" rescanIntervalS="5" fsWatcherEnabled="true" fsWatcherDelayS="1">
        <filesystemType>basic</filesystemType>
        <device id="${id[$side]}"></device>
        <device id="${id[$peer]}"></device>
        <minDiskFree unit="%">0</minDiskFree>
    </folder>
    <device id="${id[$side]}" name="$side" compression="metadata">
        <address>dynamic</address>
    </device>
    <device id="${id[$peer]}" name="$peer" compression="metadata">
        <address>tcp://127.0.0.1:${listen[$peer]}</address>
    </device>
    <gui enabled="true" tls="false">
        <address>127.0.0.1:${gui[$side]}</address>
        <apikey>${key[$side]}</apikey>
    </gui>
    <options>
        <listenAddress>tcp://127.0.0.1:${listen[$side]}</listenAddress>
        <globalAnnounceEnabled>false</globalAnnounceEnabled>
        <localAnnounceEnabled>false</localAnnounceEnabled>
        <relaysEnabled>false</relaysEnabled>
        <natEnabled>false</natEnabled>
        <announceLANAddresses>false</announceLANAddresses>
        <urAccepted>-1</urAccepted>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
        <crashReportingEnabled>false</crashReportingEnabled>
        <startBrowser>false</startBrowser>
        <reconnectionIntervalS>1</reconnectionIntervalS>
        <minHomeDiskFree unit="%">0</minHomeDiskFree>
        <setLowPriority>false</setLowPriority>
    </options>
</configuration>
XML
}
write_config a b
write_config b a

# The REST interface of one side: prints the answer to a GET of PATH.
rest() {
    curl --silent --show-error --fail --max-time 5 -H "X-API-Key: ${key[$1]}" \
        "http://127.0.0.1:${gui[$1]}$2"
}

for side in a b; do
    side_environment "$side"
    (exec env "${environment[@]}" setsid syncthing serve --home="$work/$side/st" --no-browser \
        --no-restart --no-upgrade --logfile=- --logflags=3 >>"$work/$side/syncthing.log" 2>&1) &
    sessions+=($!)
done

# Both instances up and connected to each other.
deadline=$((SECONDS + 60))
until rest a /rest/system/connections 2>/dev/null | grep -q '"connected": *true' &&
    rest b /rest/system/connections 2>/dev/null | grep -q '"connected": *true'; do
    for session in "${sessions[@]}"; do
        kill -0 "$session" 2>/dev/null || fail "a Syncthing instance ended at its start"
    done
    [ $SECONDS -lt $deadline ] || fail "the two Syncthing instances did not connect within 60 s"
    sleep 0.5
done

# Nothing of either instance listens anywhere but on the loopback address.
if command -v ss >/dev/null; then
    sockets=$(ss -H -tuln -p)
    for session in "${sessions[@]}"; do
        for pid in $(ps -o pid= -s "$session"); do
            outside=$(grep "pid=$pid," <<<"$sockets" | awk '$5 !~ /^127\.0\.0\.1:/ {print $5}' || true)
            [ -z "$outside" ] || fail "Syncthing listens outside the loopback address: $outside"
        done
    done
fi

# The engine itself carries a plain file across before Keystead's files are trusted to it.
echo "probe $RANDOM" >"$(sync_folder a)/.probe"
deadline=$((SECONDS + 30))
until cmp -s "$(sync_folder a)/.probe" "$(sync_folder b)/.probe"; do
    [ $SECONDS -lt $deadline ] || fail "Syncthing did not carry a plain file across within 30 s"
    sleep 0.5
done
echo "Syncthing connected and syncing after $SECONDS s"

# The first machine's data folder holds the demonstration account; the second machine starts as
# a copy of it, as a user sets up a second machine (the copy takes an id of its own for sync).
mkdir -p "$work/input" "$work/a/data-home" "$work/b/data-home"
as_side a "$make_demo" "$(data_folder a)" "$(dirname "$make_demo")" "$work/input" \
    >>"$work/a/cli.log" 2>&1 || fail "make_demo could not fill the first data folder"
cp -a "$(data_folder a)" "$(data_folder b)"

# One pass of a side: applies the other machine's files that have arrived, writes its own.
sync_side() {
    ks "$1" sync "$(sync_folder "$1")"
}
sync_side a
sync_side b

# Changes on both sides: a record each, the same record edited on both (the later edit, the
# second machine's, wins), a deletion on one side and a journal entry on the other.
ks a add "Laptop only" -u alpha -c Travel --notes "made on the laptop"
ks b add "Desktop only" -u beta --notes "made on the desktop"
ks a edit "Northwind Bank" --notes "edited on the laptop"
ks b edit "Northwind Bank" --notes "edited on the desktop"
ks a rm "Car rental"
more_input="A day written on the desktop."
ks b journal-add 2001-02-03
more_input=""

# What a side's database holds, in an order that does not depend on the order of writing: every
# record with every value (the CSV export's lines, sorted) and every journal entry.
state_of() {
    local csv=$work/$1/records.csv
    rm -f "$csv"
    ks_out "$1" export-csv "$csv" >/dev/null 2>&1 || echo "(export-csv failed)"
    LC_ALL=C sort "$csv" 2>/dev/null || true
    # One entry a line, so that a difference shows which day it is.
    ks_out "$1" journal-export --from 1900-01-01 --to 2199-12-31 --format json 2>&1 |
        sed 's/},{"created"/},\n{"created"/g' || true
}
# Prints what of the changes above a side's state (in FILE) lacks; nothing when it holds them.
missing_changes() {
    grep -q '"Laptop only"' "$1" || echo "the record made on the first machine is missing"
    grep -q '"Desktop only"' "$1" || echo "the record made on the second machine is missing"
    grep -q '"Car rental"' "$1" && echo "the deleted record is still there"
    grep -q 'edited on the desktop' "$1" || echo "the later edit of the same record did not win"
    grep -q '"day":"2001-02-03"' "$1" || echo "the journal entry is missing"
    return 0
}

start=$SECONDS
deadline=$((SECONDS + converge_seconds))
while :; do
    sync_side a
    sync_side b
    state_of a >"$work/a/content"
    state_of b >"$work/b/content"
    lacking=$(missing_changes "$work/a/content")
    if [ -z "$lacking" ] && cmp -s "$work/a/content" "$work/b/content"; then
        echo "Both databases hold the same records and journal after $((SECONDS - start)) s"
        exit 0
    fi
    [ $SECONDS -lt $deadline ] || break
    sleep 1
done
{
    if [ -n "$lacking" ]; then
        echo "The first machine's database:"
        sed 's/^/  /' <<<"$lacking"
    fi
    echo "Differences between the two (first machine <, second machine >):"
    diff "$work/a/content" "$work/b/content" | head -n 40 | cut -c 1-200
} >&2
fail "the two databases did not converge within $converge_seconds s"
