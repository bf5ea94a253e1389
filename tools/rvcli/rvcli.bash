# bash completion for rvcli. The commands and options are read from
# `rvcli --help`, the one place they are listed.
_rvcli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} help command="" i
    help=$("${COMP_WORDS[0]}" --help 2>/dev/null) || return
    local options commands valued
    options=$(sed -n 's/^  \(--[a-z-]*\) .*/\1/p' <<<"$help")
    commands=$(sed -n '/^commands:/,/^$/s/^  \([a-z]*\).*/\1/p' <<<"$help")
    # Every option but --json takes a value.
    valued=$(grep -vx -- --json <<<"$options")
    if grep -qx -- "$prev" <<<"$valued"; then
        [ "$prev" = --data-dir ] && COMPREPLY=($(compgen -d -- "$cur"))
        [ "$prev" = --ca-file ] && COMPREPLY=($(compgen -f -- "$cur"))
        [ "$prev" = --audio-device ] && COMPREPLY=($(compgen -W "$(aplay -L 2>/dev/null | grep -v "^ ")" -- "$cur"))
        [ "$prev" = --audio-role ] && COMPREPLY=($(compgen -W "Music Movie Navigation Notification Communication Game" -- "$cur"))
        return
    fi
    for ((i = 1; i < COMP_CWORD; i++)); do
        if grep -qx -- "${COMP_WORDS[i]}" <<<"$commands" &&
            ! grep -qx -- "${COMP_WORDS[i - 1]}" <<<"$valued"; then
            command=${COMP_WORDS[i]}
            break
        fi
    done
    if [ -z "$command" ]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
    elif [ "$prev" = "$command" ]; then
        # A first argument given as choices in the usage line ("album|audio|...").
        COMPREPLY=($(compgen -W "$(sed -n "s/^  $command \([a-z]*|[a-z|]*\) .*/\1/p" <<<"$help" | tr '|' ' ')" -- "$cur"))
    elif [[ $cur == -* ]]; then
        # A command's own options, from its usage line.
        COMPREPLY=($(compgen -W "$(sed -n "s/^  $command .*/&/p" <<<"$help" | grep -o -- '--[a-z-]*') --help" -- "$cur"))
    fi
}
complete -F _rvcli rvcli
