#!/bin/sh
# A window program told to stop by SIGTERM or SIGHUP ends by itself with status 0 and leaves
# its settings saved: once while the first start's database dialog is open, before the event
# loop runs, and once with a database named on the command line and the window up.
#   stop_signal_test.sh PROGRAM
set -u
program="$1"
name=$(basename "$program")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The settings go beside the program, in a folder of the test's own.
cp "$program" "$scratch/"
export HOME="$scratch" XDG_CONFIG_HOME="$scratch/.config" XDG_STATE_HOME="$scratch/.state"
export QT_QPA_PLATFORM=offscreen

stop() {  # stop SIGNAL ARGUMENTS...: starts the program, signals it, checks how it ended
    signal="$1"
    shift
    rm -f "$scratch/$name.ini"
    "$scratch/$name" "$@" >"$scratch/out" 2>&1 &
    pid=$!
    sleep 2
    kill "-$signal" "$pid"
    # It must end by itself: a program that waits for an answer is killed after 15 s.
    waited=0
    while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt 15 ]; do
        sleep 1
        waited=$((waited + 1))
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid"
        echo "FAIL: $name $* did not end after SIG$signal"
        cat "$scratch/out"
        exit 1
    fi
    wait "$pid"
    status=$?
    if [ "$status" -ne 0 ]; then
        echo "FAIL: $name $* ended with $status after SIG$signal"
        cat "$scratch/out"
        exit 1
    fi
    if [ ! -s "$scratch/$name.ini" ]; then
        echo "FAIL: $name $* left no settings after SIG$signal"
        exit 1
    fi
}

stop TERM
printf 'Zentracor database 1.3\r\n0 records\r\n' >"$scratch/fleet.zcf"
stop HUP "$scratch/fleet.zcf"
if ! grep -q "LastBegeDBUtf8=$scratch/fleet.zcf" "$scratch/$name.ini"; then
    echo "FAIL: the database named on the command line is not in the settings"
    exit 1
fi
echo "ok: $name saved its settings and ended on SIGTERM and SIGHUP"
