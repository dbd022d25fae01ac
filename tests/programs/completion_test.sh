#!/usr/bin/env bash
# korvan-cli's bash completion in a plain bash, driven as bash drives it: the line's words in
# COMP_WORDS, then the function that `complete` names. The trackers offered after --device come
# from the program's own list of simulated ones.
#   completion_test.sh KORVAN_CLI COMPLETION_FILE
set -u
cli=$(realpath "$1")
completion=$(realpath "$2")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0

fail() {
    echo "FAIL: $*"
    failed=1
}

# The completion runs korvan-cli by name, as a technician's shell finds it.
mkdir "$scratch/bin" "$scratch/failing" "$scratch/files" "$scratch/files/d"
ln -s "$cli" "$scratch/bin/korvan-cli"
PATH="$scratch/bin:$PATH"
cd "$scratch/files" || exit 1
touch a.ini b.zcf c.txt "my profile.ini"

# shellcheck source=/dev/null
source "$completion" || { echo "FAIL: $completion does not source"; exit 1; }
registered=$(complete -p korvan-cli 2>/dev/null)
function=$(sed -n 's/.* -F \([^ ]*\) .*/\1/p' <<<"$registered")
if [ -z "$function" ] || [ "$(type -t "$function")" != function ]; then
    echo "FAIL: complete -p korvan-cli names no function: ${registered:-nothing}"
    exit 1
fi

# expect WORDS... -- OFFERED...: completing the line's last word offers exactly OFFERED.
expect() {
    local words=() line
    while [ "$1" != -- ]; do words+=("$1"); shift; done
    shift
    COMP_WORDS=(korvan-cli "${words[@]}")
    COMP_CWORD=${#words[@]}
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    "$function" korvan-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    local got wanted
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort)
    wanted=$(printf '%s\n' "$@" | LC_ALL=C sort)
    line="korvan-cli ${words[*]}"
    [ "$got" = "$wanted" ] || fail "«$line» offers [${got//$'\n'/|}], not [${wanted//$'\n'/|}]"
}

expect '' -- diff list log provision read write
expect pro -- provision
# An option's value is not taken for the command, also written with "=".
expect --trace list '' -- diff list log provision read write
expect --trace = t.log read - -- -h --help --device --show-secrets -o --output
expect log '' -- read full erase
expect log -o out.txt '' -- read full erase

# Profiles and databases by their ending, with the folders to look into; a name with a space
# stays one name, however it was typed so far.
expect write --profile '' -- a.ini d "my profile.ini"
expect read -o '' -- a.ini d "my profile.ini"
expect provision --database '' -- b.zcf d
expect write --profile = -- a.ini d "my profile.ini"
expect diff --profile my -- "my profile.ini"
expect diff --profile 'my\ p' -- "my profile.ini"
expect diff --profile '"my p' -- "my profile.ini"
expect log -o '' -- a.ini b.zcf c.txt d "my profile.ini"

expect --sim read --device '' -- 90001
expect --sim --sim-first-serial 500 diff --device '' -- 00500
# The kinds chosen are the trackers the command would see: two, or none at all.
expect --sim --sim-tracker configured,mute read --device '' -- 90001 90002
expect --sim --sim-tracker none read --device '' --
expect --sim-tracker mute,pul -- mute,pulled-out
expect --sim-tracker p -- pulled-out port-not-kept
# A korvan-cli that fails offers no trackers, whatever it printed.
printf '#!/bin/sh\necho "0  Zentracor  трекер 12345"\nexit 4\n' >"$scratch/failing/korvan-cli"
chmod +x "$scratch/failing/korvan-cli"
PATH="$scratch/failing:$PATH" expect read --device '' --

[ "$failed" -eq 0 ] || exit 1
echo "ok: korvan-cli's completion offers commands, options, files and trackers"
