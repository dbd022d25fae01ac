#!/usr/bin/env bash
# Two provisioning lines on one database, side by side as two stations would run them, round
# after round: every tracker either line recorded must be in both files at the end of each
# round. Usage: shared_database_test.sh KORVAN_CLI [ROUNDS]
set -euo pipefail
cli="$1"
rounds="${2:-20}"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT

"$cli" --sim read -o "$dir/fleet.ini" >/dev/null
per_line=10
for round in $(seq 1 "$rounds"); do
  pids=()
  for line in 1 2; do
    first=$((line * 10000 + round * 100))
    "$cli" --sim --sim-first-serial "$first" provision --no-verify --profile "$dir/fleet.ini" \
      --database "$dir/fleet.zcf" --count "$per_line" >"$dir/line$line.out" 2>&1 &
    pids+=("$!")
  done
  for pid in "${pids[@]}"; do
    if ! wait "$pid"; then
      echo "round $round: a line failed"; cat "$dir"/line*.out; exit 1
    fi
  done
  expected=$((round * 2 * per_line))
  for file in fleet.zcf fleet-srv.zcf; do
    records=$(grep -c '^[0-9]\{5\}:' "$dir/$file" || true)
    if [ "$records" -ne "$expected" ]; then
      echo "round $round: $file holds $records records, $expected expected"; exit 1
    fi
  done
done
echo "ok: $rounds rounds, $((rounds * 2 * per_line)) records, none lost"
