#!/usr/bin/env bash
# The first start of the real program on a virtual X display, driven by real key and mouse
# events: the first-use question, the login password chosen in the set-login dialog, the
# sample book in the window, a key's action line clicked, the close question answered Yes.
# Afterwards the run file and the seed file must exist with their sizes.
#
#   first-start.sh <morvane executable> [artifact folder]
#
# Exit 77 (skipped) when Xvfb, xdotool or xclip is missing.
set -euo pipefail

exe=${1:?usage: first-start.sh <morvane executable> [artifact folder]}
artifacts=${2:-}

e2e_name=first-start
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

start_program

next_window "the first-use question"
xdotool key Return                          # 是: lawful use only
next_window "the set-login dialog"
xdotool type --delay 30 "e2e-Login-7"
xdotool key Tab
xdotool type --delay 30 "e2e-Login-7"
xdotool key Return

# The main window with the sample book.
next_window "the main window"
wait_state '^window .* 1$'
wait_state '^row .*加密通讯薄'
wait_state '^row .*我的1'
grep -q '^bookname ()$' "$MORVANE_STATE_DUMP" || fail "a first start has no book name"

# Open the key record and click its action line.
click_row '^我的1'
xdotool key Right
wait_state '^row .*输    入'
click_row '^输    入' '^我的1'
wait_state '^button1 [01] 解 密$'
grep -qE '^button2 0 $' "$MORVANE_STATE_DUMP" || fail "a key offers no second button"

# Close by the caption button; quit, no book file, and the run file is made anew.
close_without_book

dir=$XDG_DATA_HOME/Morvane
[[ -f $dir/Run.st ]] || fail "no run file"
[[ -f $dir/QVX_RAND_SEED.sd ]] || fail "no seed file"
seed=$dir/QVX_RAND_SEED.sd
# Run file: password digest, an empty book path, the seed file's path.
want=$((16 + 4 + 4 + $(printf %s "$seed" | wc -c)))
[[ $(stat -c %s "$dir/Run.st") == "$want" ]] || fail "run file is $(stat -c %s "$dir/Run.st") bytes, want $want"
[[ $(stat -c %s "$seed") == 1072 ]] || fail "seed file is $(stat -c %s "$seed") bytes, want 1072"
echo "first start: ok"
