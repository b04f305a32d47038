#!/usr/bin/env bash
# Runs the command line in a loop on a busy machine, to catch crashes that
# show once in thousands of runs. Not part of CI.
#
#   scripts/cli-churn.sh [--build DIR] [--minutes N] [--no-jack] [--damage] [--shared-shm] [--keep]
#
# DIR is a build folder (in the repository or absolute) with tq7400 built in
# it: build/ (the default; crashes
# leave core files, inspected with gdb), build-sanitize/ (scripts/build.sh
# --sanitize) or build-tsan/ (scripts/build.sh --tsan; Qt and libjack are not
# instrumented, so scripts/tsan-suppressions.txt hides what they do among
# themselves). Beside the loop run two busy loops and, unless --no-jack, two
# loops that start and stop JACK servers of this user (each at most one at a
# time; see DESIGN.md "JACK in tests": stopped with SIGINT only).
#
# Every run gets the virtual keyboard and one of: list, list of one type,
# backup into a fresh folder, restore of a backup, devices; with its output
# read to the end, or piped into `head` that closes it early, or with a
# SIGINT at a random moment. HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR point
# into a scratch folder: the user's settings are never touched.
#
# JACK keeps its per-user files (the server registry, each server's memory,
# the metadata store jack_db-UID) in /dev/shm, and servers starting and
# stopping can leave them damaged, which crashes or hangs every JACK program
# of the user, other people's tests included, until they are removed. So the
# whole run gets a /dev/shm of its own (a mount namespace, as root) unless
# --shared-shm says otherwise; with the shared one, a metadata store left
# damaged is removed at the end when no JACK server runs.
#
# --damage (private /dev/shm only) does to the metadata store what a server
# dying while making it does, every few seconds for two seconds: one of its
# region files cut to nothing. A run that opens a JACK client meanwhile
# would die in libjack (SIGBUS); the program must not.
#
# A crash is an exit by SIGSEGV, SIGBUS, SIGABRT, SIGILL or SIGFPE, a
# sanitizer report on standard error, or a core file. The summary counts runs
# and outcomes; each crash's standard error (and gdb's backtrace of a core)
# is kept under the scratch folder, which --keep keeps also without crashes.
# Exit status: 0 when nothing crashed or hung, 1 otherwise.
set -uo pipefail
set -m # background runs get SIGINT's default action, not "ignored"
cd "$(dirname "$0")/.."
repo=$(pwd)

build=build
minutes=10
jack=1
keep=0
damage=0
shared=0
private=0
arguments=("$@")
while (($#)); do
    case $1 in
    --build) build=$2; shift 2 ;;
    --minutes) minutes=$2; shift 2 ;;
    --no-jack) jack=0; shift ;;
    --damage) damage=1; shift ;;
    --shared-shm) shared=1; shift ;;
    --in-private-shm) private=1; shift ;; # set by the script itself
    --keep) keep=1; shift ;;
    *) echo "usage: $0 [--build DIR] [--minutes N] [--no-jack] [--damage] [--shared-shm] [--keep]" >&2
       exit 2 ;;
    esac
done
[[ $build == /* ]] || build=$repo/$build
program=$build/src/cli/tq7400
[[ -x $program ]] || { echo "no $program: build it first" >&2; exit 2; }

((damage && shared)) && { echo "--damage needs the private /dev/shm" >&2; exit 2; }
if ((!shared && !private)); then
    exec unshare --mount "$repo/scripts/cli-churn.sh" "${arguments[@]}" --in-private-shm ||
        { echo "no mount namespace here: use --shared-shm" >&2; exit 2; }
fi
if ((private)); then
    mount --make-rprivate / && mount -t tmpfs -o size=2g,mode=1777 tmpfs /dev/shm ||
        { echo "cannot mount a private /dev/shm: use --shared-shm" >&2; exit 2; }
fi

root=$(mktemp -d /tmp/cli-churn.XXXXXX)
export HOME=$root/home XDG_CONFIG_HOME=$root/config XDG_RUNTIME_DIR=$root/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$root/work" "$root/crashes"
chmod 700 "$XDG_RUNTIME_DIR"
export ASAN_OPTIONS=detect_leaks=0:print_stacktrace=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# die_after_fork=0: opening a JACK client first forks a child that opens
# libjack (JackSharedFiles.h), and libjack starts a thread there, which TSan
# otherwise answers by killing the child.
export TSAN_OPTIONS="suppressions=$repo/scripts/tsan-suppressions.txt:second_deadlock_stack=1:die_after_fork=0"
unset JACK_DEFAULT_SERVER JACK_NO_START_SERVER

ulimit -c unlimited
pattern=$(cat /proc/sys/kernel/core_pattern)
case $pattern in
'|'*) echo "warning: core_pattern pipes cores to '$pattern': no core files here" >&2 ;;
/*) echo "note: core files go to $pattern" >&2 ;;
esac
cd "$root/work" # a relative core_pattern writes the core here

busy=()
churners=()
crashes=0 hangs=0
cleanup() {
    rm -f "$root/churning"
    # The busy loops are killed; the JACK loops end by themselves once the flag
    # is gone, after stopping their server with SIGINT.
    for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${churners[@]}"; do wait "$pid" 2>/dev/null; done
    ((shared)) && repairJackMetadata
    if ((keep == 0 && crashes == 0 && hangs == 0)); then rm -rf "$root"; fi
}

# With the shared /dev/shm: servers that crashed leave their entries in JACK's
# registry of servers (8 per machine, after which no server starts: "Too many
# servers already active") and may leave the metadata store damaged (a region
# file cut to nothing crashes every JACK client of the user with SIGBUS in
# Berkeley DB). Once no JACK server runs, both are removed; JACK makes them afresh.
repairJackMetadata() {
    local store=/dev/shm/jack_db-$(id -u)
    if pgrep -u "$(id -u)" -x jackd > /dev/null; then
        echo "JACK servers still run: JACK's files in /dev/shm were left as they are" >&2
        return
    fi
    if [[ -d $store ]] && find "$store" -name '__db.*' -size 0 | grep -q .; then
        rm -rf "$store" && echo "removed the damaged JACK metadata store $store" >&2
    fi
    if [[ -e /dev/shm/jack-shm-registry ]]; then
        rm -f /dev/shm/jack-shm-registry /dev/shm/jack-"$(id -u)"-* &&
            echo "removed JACK's registry of servers (none runs)" >&2
    fi
}
trap cleanup EXIT

# ---- JACK servers coming and going ----

jackStarts=0
# Starts and stops servers until the flag goes; prints how many it started.
churnJack() {
    local id=$1 n=0 name pid waited
    while [[ -e $root/churning ]]; do
        name=clichurn-$$-$id-$n
        jackd -S -t 500 -n "$name" -d dummy -r 48000 -p 64 > /dev/null 2>&1 &
        pid=$!
        n=$((n + 1))
        sleep "0.$((RANDOM % 9 + 1))"
        kill -INT "$pid" 2>/dev/null
        # SIGINT only (SIGTERM leaves the server's entry in JACK's registry);
        # a server that hangs on its way out gets more SIGINTs.
        waited=0
        while kill -0 "$pid" 2>/dev/null; do
            sleep 0.1
            waited=$((waited + 1))
            ((waited % 50 == 0)) && kill -INT "$pid" 2>/dev/null
            if ((waited > 600)); then
                echo "jackd $name did not stop in 60 s: killed" >&2
                kill -KILL "$pid"
            fi
        done
        wait "$pid" 2>/dev/null
        sleep "0.$((RANDOM % 5))"
    done
    echo "$n" > "$root/jack-$id.count"
}

# Cuts a region file of the metadata store to nothing now and then, and
# removes the store again two seconds later (JACK makes it afresh).
damageJackFiles() {
    local store=/dev/shm/jack_db-$(id -u)
    while [[ -e $root/churning ]]; do
        sleep 2
        [[ -e $store/__db.003 ]] && truncate -s 0 "$store/__db.003"
        sleep 2
        rm -rf "$store"
    done
}

touch "$root/churning"
sh -c 'while :; do :; done' &
busy+=($!)
sh -c 'while :; do :; done' &
busy+=($!)
if ((damage)); then
    damageJackFiles &
    churners+=($!)
fi
if ((jack)); then
    churnJack 1 &
    churners+=($!)
    churnJack 2 &
    churners+=($!)
fi

# ---- the runs ----

"$program" --virtual --quiet backup "$root/reference" > /dev/null 2>&1 ||
    { echo "the reference backup failed" >&2; exit 1; }

runs=0 sigpipes=0 unexpected=0
declare -A perCommand

# The command of run `n`, as arguments of tq7400.
pickCommand() {
    case $((RANDOM % 5)) in
    0) command=(--virtual list) ;;
    1) command=(--virtual list "$((RANDOM % 9))") ;;
    2) command=(--virtual backup "$root/backups/$runs") ;;
    3) command=(--virtual restore "$root/reference") ;;
    4) command=(devices) ;;
    esac
    ((RANDOM % 3 == 0)) && command=(--json "${command[@]}")
}

# Waits up to `bound` tenths of a second for `pid`, then kills it; sets status.
waitBounded() {
    local pid=$1 bound=$2 waited=0
    while kill -0 "$pid" 2>/dev/null && ((waited < bound)); do
        sleep 0.1
        waited=$((waited + 1))
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid"
        wait "$pid" 2>/dev/null
        status=hang
        return
    fi
    wait "$pid"
    status=$?
}

record() {
    local how=$1 err=$root/work/err.txt crashed=""
    local key="${command[*]} ($how)"
    key=${key//$root\/reference/DIR}
    key=${key//$root\/backups\/$runs/DIR}
    key=$(sed -E 's/list [0-9]/list TYPE/' <<< "$key")
    perCommand[$key]=$((${perCommand[$key]:-0} + 1))
    runs=$((runs + 1))
    case $status in
    hang) hangs=$((hangs + 1)); crashed="hang" ;;
    132 | 134 | 135 | 136 | 139) crashed="signal $((status - 128))" ;;
    141) sigpipes=$((sigpipes + 1)) ;;
    0) ;;
    1 | 130) [[ $how == sigint || $how == head ]] || { unexpected=$((unexpected + 1)); crashed="status $status"; } ;;
    *) unexpected=$((unexpected + 1)); crashed="status $status" ;;
    esac
    if grep -qE 'ERROR: AddressSanitizer|runtime error:|ThreadSanitizer|LeakSanitizer' "$err"; then
        crashed="${crashed:+$crashed, }sanitizer report"
    fi
    local core
    core=$(ls "$root/work" | grep -E '^core' | head -1)
    [[ -n $core ]] && crashed="${crashed:+$crashed, }core file"
    [[ -z $crashed ]] && return
    [[ $crashed == "status "* ]] || crashes=$((crashes + 1))
    local kept=$root/crashes/$runs
    mkdir -p "$kept"
    echo "run $runs: $how tq7400 ${command[*]}: $crashed" | tee "$kept/what.txt" >&2
    cp "$err" "$kept/stderr.txt"
    if [[ -n $core ]]; then
        mv "$root/work/$core" "$kept/$core"
        gdb -batch -ex 'thread apply all bt' "$program" "$kept/$core" > "$kept/backtrace.txt" 2>&1
        grep -m 20 -E '^#' "$kept/backtrace.txt" >&2
    fi
    head -c 3000 "$err" >&2
}

end=$(($(date +%s) + minutes * 60))
while (($(date +%s) < end)); do
    pickCommand
    err=$root/work/err.txt
    case $((RANDOM % 3)) in
    0) # read to the end
        how=full
        timeout -k 5 120 "$program" "${command[@]}" > /dev/null 2> "$err"
        status=$?
        ((status == 124 || status == 137)) && status=hang
        ;;
    1) # the reader goes away after its first line or bytes
        how=head
        if ((RANDOM % 2)); then
            timeout -k 5 120 "$program" "${command[@]}" 2> "$err" | head -1 > /dev/null
        else
            timeout -k 5 120 "$program" "${command[@]}" 2> "$err" | head -c 10 > /dev/null
        fi
        status=${PIPESTATUS[0]}
        ((status == 124 || status == 137)) && status=hang
        ;;
    2) # Ctrl+C at a random moment of the run
        how=sigint
        "$program" "${command[@]}" > /dev/null 2> "$err" &
        pid=$!
        sleep "0.$((RANDOM % 40))"
        kill -INT "$pid" 2>/dev/null
        waitBounded "$pid" 300
        ;;
    esac
    record "$how"
    rm -rf "$root/backups"
    ((runs % 100 == 0)) && echo "$runs runs, $crashes crashes" >&2
done

rm -f "$root/churning"
for pid in "${churners[@]}"; do wait "$pid"; done
for file in "$root"/jack-*.count; do
    [[ -e $file ]] && jackStarts=$((jackStarts + $(cat "$file")))
done

echo "build $build, $minutes min, JACK servers started: $jackStarts$( ((private)) && echo ', private /dev/shm')$( ((damage)) && echo ', metadata store damaged now and then')"
for key in "${!perCommand[@]}"; do printf '  %5d  %s\n' "${perCommand[$key]}" "$key"; done | sort -k2
echo "runs $runs, crashes $crashes, hangs $hangs, status 141 (output closed: SIGPIPE or exit) $sigpipes, other failures $unexpected"
((crashes || hangs)) && echo "kept in $root/crashes"
((crashes == 0 && hangs == 0))
