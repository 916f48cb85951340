#!/usr/bin/env bash
# Clicks that follow a key at once: a click on a key's row, 0.2 s, Left (which folds the open
# key, so the rows below move up), a click on a lock's row below, in a loop. Each click must
# show its line and leave the row highlighted. Rows are read only after the window settled, so
# a click never goes where a row was before the key moved it.
#
#   click-loop.sh <morvane executable> [artifact folder]
#
# Exit 77 (skipped) when Xvfb, xdotool or xclip is missing.
set -euo pipefail

exe=${1:?usage: click-loop.sh <morvane executable> [artifact folder]}
artifacts=${2:-}
rounds=${MORVANE_CLICK_ROUNDS:-6}

e2e_name=click-loop
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

start_program
first_login "e2e-Login-7"
wait_state '^window .* 1$'
wait_state '^row .*我的1'

# The row's label near its right end has the highlight, not the tree's background.
highlighted() {
  local at colour
  at=$(awk -v want="$1" '$1 == "row" { text = $0; for (k = 0; k < 6; k++) sub(/^[^ ]+ /, "", text)
                           if (text ~ want) { print $2 + $4 - 3, $3 + int($5 / 2); exit } }' "$MORVANE_STATE_DUMP")
  [[ -n "$at" ]] || return 1
  colour=$(import -window root -crop "1x1+${at% *}+${at#* }" txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -1)
  [[ -n "$colour" && "$colour" != "#EDF2FC" ]]
}

for round in $(seq "$rounds"); do
  click_row '^我的1'
  wait_state '^clicked 我的1$'
  xdotool key Right
  wait_state '^row .* 1 我的1$'
  click_row '^我的1'
  sleep 0.2
  xdotool key Left
  click_row '^对方2'
  wait_state '^clicked 对方2$'
  sleep 0.3
  highlighted '^对方2' || { shot "round-$round"; fail "round $round: the lock's row is not highlighted"; }
done
shot done
echo "click loop: ok ($rounds rounds)"
