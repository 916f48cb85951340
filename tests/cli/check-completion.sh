#!/bin/bash
# The bash completion offers each command's options until they are given (the three kinds as
# one choice), completes help's command names and the file arguments.
source "$1" || exit 1
fail=0
expect() {
    local want=$1
    shift
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMPREPLY=()
    _morvane_cli
    if [[ "${COMPREPLY[*]}" != "$want" ]]; then
        echo "completing '$*': got '${COMPREPLY[*]}', want '$want'"
        fail=1
    fi
}
expect "--help --password-fd --private --dir --lock --key" morvane-cli show b.Bk x --json --
expect "--help --password-fd --json --private" morvane-cli show b.Bk x --lock --
expect "--help --password-fd --dir --lock --key" morvane-cli encrypt b.Bk x --sign k --output=f --
expect "--help --password-fd --dir --lock --key" morvane-cli decrypt b.Bk x -o f --verify l --
expect "--force" morvane-cli keygen b.Bk x --bits 512 --fo
expect "--new-password-fd" morvane-cli passwd b.Bk --password-fd 3 --n
expect "list" morvane-cli help li
expect "move" morvane-cli mo
exit $fail
