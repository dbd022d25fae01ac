# Bash completion for korvan-cli. It stands alone, without the bash-completion package's helpers,
# so that a plain bash can source it too; bash-completion loads it by the command's name.

# The helpers below complete _korvan_cli's $cur, and see its $sim.

# Files for an option's value: those ending in .$1 and folders to look into, or any file when
# $1 is empty. One name a line, so that names with spaces stay whole.
_korvan_cli_files() {
    local word=$cur
    # COMP_WORDS keeps the quoting as typed; compgen wants the name itself.
    case $word in
        \"* | \'*) word=${word:1} ;;
        *) word=${word//\\/} ;;
    esac
    compopt -o filenames 2>/dev/null
    if [[ -n $1 ]]; then
        mapfile -t COMPREPLY < <(compgen -d -- "$word"; compgen -f -X "!*.$1" -- "$word")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$word")
    fi
}

# The serial numbers of the trackers attached now, as korvan-cli lists them without opening
# them (a line writing trackers is not disturbed); with --sim (and its first serial and kinds)
# on the line, the simulated ones that command would see.
_korvan_cli_devices() {
    local listing line serials=()
    listing=$(korvan-cli "${sim[@]}" list --brief 2>/dev/null) || return
    while IFS= read -r line; do
        [[ $line =~ трекер\ +([0-9]+) ]] && serials+=("${BASH_REMATCH[1]}")
    done <<<"$listing"
    mapfile -t COMPREPLY < <(compgen -W "${serials[*]}" -- "$cur")
}

_korvan_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    # Bash splits "--profile=a.ini" at the "=": complete its value as after "--profile ".
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = ]]; then
        prev=${COMP_WORDS[COMP_CWORD-2]}
    fi

    # What the line says so far: the command, log's action and the simulation. An option's
    # value is never the command; the words --sim-fault takes after its first are passed over
    # until a command's name.
    local i word command='' action='' simulated='' sim=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            --trace | --sim-first-serial | --sim-fault | --sim-tracker | --device | -o | \
                --output | --profile | --database | --count | --parallel)
                [[ ${COMP_WORDS[i+1]} == = ]] && ((i++))
                ((i++))
                [[ $word == --sim-first-serial || $word == --sim-tracker ]] &&
                    sim+=("$word" "${COMP_WORDS[i]}")
                ;;
            --sim) simulated=1 ;;
            -*) ;;
            list | read | write | provision | diff | log)
                if [[ -z $command ]]; then command=$word; else action=$word; fi ;;
            *) [[ -n $command ]] && action=$word ;;
        esac
    done
    # korvan-cli takes --sim-first-serial and --sim-tracker only with --sim.
    if [[ -n $simulated ]]; then sim=(--sim "${sim[@]}"); else sim=(); fi

    case $prev in
        --profile) _korvan_cli_files ini; return ;;
        --database) _korvan_cli_files zcf; return ;;
        --trace) _korvan_cli_files ''; return ;;
        # read writes a profile; log writes the journal as it comes.
        -o | --output)
            if [[ $command == read ]]; then _korvan_cli_files ini; else _korvan_cli_files ''; fi
            return ;;
        --device) _korvan_cli_devices; return ;;
        --sim-tracker)
            # A comma list: complete the kind after the last comma, keeping those before it.
            local kinds='configured erased mute pulled-out without-mode port-not-kept no-access none'
            local prefix=''
            [[ $cur == *,* ]] && prefix=${cur%,*},
            mapfile -t COMPREPLY < <(compgen -P "$prefix" -W "$kinds" -- "${cur##*,}")
            return ;;
        # Numbers and faults: nothing to offer.
        --sim-first-serial | --sim-fault | --count | --parallel) return ;;
    esac

    local words
    case $command in
        '')
            if [[ $cur == -* ]]; then
                words='-h --help --version -v --verbose --trace --sim --json -q --quiet
                       --sim-first-serial --sim-fault --sim-tracker'
            else
                words='list read write provision diff log'
            fi ;;
        log)
            if [[ -z $action && $cur != -* ]]; then
                words='read full erase'
            else
                words='-h --help --device -o --output -y --yes'
            fi ;;
        list) words='-h --help --brief' ;;
        read) words='-h --help --device --show-secrets -o --output' ;;
        write) words='-h --help --profile --device --database --defaults-for-missing --verify' ;;
        provision)
            words='-h --help --profile --database --count --parallel --defaults-for-missing
                   --no-verify' ;;
        diff) words='-h --help --profile --device --defaults-for-missing' ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
}

complete -F _korvan_cli korvan-cli
