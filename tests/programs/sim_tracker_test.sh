#!/usr/bin/env bash
# Each kind of simulated tracker gives a script the exit status and the JSON code it stands for.
# Usage: sim_tracker_test.sh KORVAN_CLI
set -u
cli=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0

# expect STATUS CODE ARGUMENTS...: korvan-cli --json ARGUMENTS ends with STATUS, and its last
# JSON line carries CODE.
expect() {
  local status=$1 code=$2
  shift 2
  local out
  out=$("$cli" --json "$@" 2>/dev/null)
  local got=$?
  local last=${out##*$'\n'}
  if [ "$got" -ne "$status" ] || [[ $last != *"\"code\":\"$code\""* ]]; then
    echo "failed: korvan-cli --json $* ended $got (expected $status) with: $last"
    failed=1
  fi
}

# A profile read from a good tracker, and the same with another server port.
"$cli" --sim read -o "$dir/fleet.ini" >/dev/null 2>&1 || { echo "failed: no profile"; exit 1; }
sed 's/^Port=.*/Port=9000\r/' "$dir/fleet.ini" >"$dir/port.ini"

expect 0 read      --sim --sim-tracker configured read
expect 0 read      --sim --sim-tracker erased read
expect 1 read_failed --sim --sim-tracker mute read
expect 1 write_failed --sim --sim-tracker pulled-out write --profile "$dir/fleet.ini"
expect 1 read_incomplete --sim --sim-tracker without-mode read
expect 1 verify_failed --sim --sim-tracker port-not-kept write --verify --profile "$dir/port.ini"
expect 0 written   --sim --sim-tracker port-not-kept write --profile "$dir/port.ini"
expect 4 access_refused --sim --sim-tracker no-access list
expect 4 access_refused --sim --sim-tracker no-access read
expect 3 no_tracker --sim --sim-tracker none read
expect 3 several_trackers --sim --sim-tracker configured,mute read
expect 3 several_trackers --sim --sim-tracker configured --sim-tracker erased read
expect 1 read_failed --sim --sim-tracker configured,mute read --device 90002
expect 0 read      --sim --sim-first-serial 500 --sim-tracker mute,configured read --device 501
expect 2 usage     --sim --sim-tracker broken read
expect 2 usage     --sim-tracker mute read
expect 2 usage     --sim --sim-tracker none,configured read
# The line takes the trackers side by side: one written, one failed, and the count says so.
expect 1 line_ended --sim --sim-tracker configured,mute provision --count 2 \
  --profile "$dir/fleet.ini" --database "$dir/fleet.zcf"
expect 0 line_ended --sim --sim-tracker configured,erased provision --count 2 \
  --profile "$dir/fleet.ini" --database "$dir/fleet2.zcf"
# A tracker the system refuses is never taken, and does not hold up the next round.
expect 0 line_ended --sim --sim-tracker configured,no-access provision --count 2 \
  --profile "$dir/fleet.ini" --database "$dir/fleet3.zcf"

[ "$failed" -eq 0 ] || exit 1
echo "ok: every --sim-tracker kind ends as it should"
