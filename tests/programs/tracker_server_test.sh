#!/bin/bash
# korvan-tracker-server as a test rig runs it: it listens on a port of its choosing, tells it
# in its ready file, answers a connection over the loopback and records what it was sent; a
# fault's unplug closes the connection and the next one is answered; SIGTERM ends it with the
# tracker's memory saved, and a new run with the same memory answers what was written.
#   tracker_server_test.sh PROGRAM
set -u
program="$1"
scratch=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill -KILL "$server" 2>/dev/null; rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*"
    cat "$scratch/err" 2>/dev/null
    exit 1
}

# start ARGUMENTS...: starts the server, waits for its ready file and sets $port.
start() {
    rm -f "$scratch/ready"
    "$program" --listen 127.0.0.1:0 --ready-file "$scratch/ready" "$@" \
        >"$scratch/out" 2>"$scratch/err" &
    server=$!
    for _ in $(seq 100); do
        [ -s "$scratch/ready" ] && break
        kill -0 "$server" 2>/dev/null || fail "the server ended before it was ready"
        sleep 0.1
    done
    port=$(cat "$scratch/ready") || fail "no ready file"
    [ "$(cat "$scratch/out")" = "$port" ] || fail "stdout says $(cat "$scratch/out"), not $port"
}

# ask COMMAND: sends COMMAND on a new connection, kept open on descriptor 3.
ask() {
    exec 3<>"/dev/tcp/127.0.0.1/$port" || fail "cannot connect to $port"
    printf '%s' "$1" >&3
}

# reply COUNT: the first COUNT bytes of the reply in hex, fewer when the connection closes.
reply() {
    timeout 5 head -c "$1" <&3 | od -An -tx1 | tr -d ' \n'
}

# ends STATUS: the server ends by itself within 10 s with STATUS.
ends() {
    for _ in $(seq 100); do
        kill -0 "$server" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$server" 2>/dev/null && fail "the server did not end"
    wait "$server"
    status=$?
    server=
    [ "$status" -eq "$1" ] || fail "the server ended with $status, not $1"
}

# One connection, recorded: the version, then the end of the connection ends the server.
start --once --record "$scratch/received.bin"
ask 'FL_READ_VERSION$'
[ "$(reply 9)" = "$(printf 'WIFI-1.05' | od -An -tx1 | tr -d ' \n')" ] ||
    fail "the version was not answered"
printf 'FL_GET_ADD_R$GSM_GET' >&3
exec 3>&-
ends 0
[ "$(cat "$scratch/received.bin")" = 'FL_READ_VERSION$FL_GET_ADD_R$GSM_GET' ] ||
    fail "recorded: $(cat "$scratch/received.bin")"

# An unplug closes the connection; plugged in again, the tracker keeps what was written.
start --kind erased --serial 00007 --fault 'unplug:FL_GET_RATE$' --state "$scratch/memory"
ask 'FL_GET_RATE$'
[ "$(reply 4)" = "" ] || fail "a reply came from a tracker pulled out"
exec 3>&-
grep -q "выдернут" "$scratch/err" || fail "the unplug was not told"
ask 'GSM_SET_PASSWORD,Abcd1234$'
[ "$(reply 6)" = "5345545f4f4b" ] || fail "SET_OK did not come"
exec 3>&-
ask 'FL_GET_RATE$'
[ "$(reply 4)" = "ffffffff" ] || fail "the erased period did not come"
exec 3>&-
kill -TERM "$server"
ends 0

# The memory kept in the file: a new run answers the password written in the last one.
start --kind erased --state "$scratch/memory"
ask 'GSM_GET_PASSWORD$'
[ "$(reply 8)" = "4162636431323334" ] || fail "the password was not kept"
exec 3>&-
kill -TERM "$server"
ends 0

echo "ok: korvan-tracker-server answered over TCP, recorded, unplugged and kept its memory"
