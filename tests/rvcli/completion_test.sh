#!/usr/bin/env bash
# completion_test.sh RVCLI COMPLETION_SCRIPT: the bash completion against the
# real rvcli's --help. Each row: the words typed (the last is being completed),
# then the completions expected, space-separated and sorted.
set -u
rvcli=$1
source "$2"
failures=0
while IFS='|' read -r typed expected; do
    read -r -a COMP_WORDS <<<"$typed"
    COMP_WORDS[0]=$rvcli
    [[ $typed == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _rvcli
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//')
    if [ "$got" != "$expected" ]; then
        echo "'$typed': expected '$expected', got '$got'"
        failures=$((failures + 1))
    fi
done <<'EOF_ROWS'
rvcli su|subscribe subscriptions suggest
rvcli --data-dir /tmp/x log|login logout
rvcli --js|--json
rvcli --json a|album albums audios
rvcli play |album audio broadcast radio
rvcli play b|broadcast
rvcli play album 1 --s|--seconds --speed
rvcli albums 3 --|--help --page
rvcli album |
rvcli --appid |
EOF_ROWS
[ $failures -eq 0 ] && echo "completion: all rows pass"
exit $((failures != 0))
