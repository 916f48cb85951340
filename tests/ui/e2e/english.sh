#!/usr/bin/env bash
# The real program in English (MORVANE_LANG=en): the set-login dialog's title, the tree's fixed
# labels translated while names and values stay as written, the tree's context menu and the
# find dialog, the window menu and the preferences dialog, and the close question.
#
#   english.sh <morvane executable> [artifact folder]
#
# Exit 77 (skipped) when Xvfb, xdotool or xclip is missing.
set -euo pipefail

exe=${1:?usage: english.sh <morvane executable> [artifact folder]}
artifacts=${2:-}

e2e_name=english
e2e_lang=en
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

start_program

next_window "the first-use question"
xdotool key Return
next_window "the set-login dialog"
wait_state '^dialogtitle Set the login password$'
xdotool type --delay 30 "e2e-Login-7"
xdotool key Tab
xdotool type --delay 30 "e2e-Login-7"
xdotool key Return
next_window "the main window"
main=$last_window
wait_state '^window .* 1$'
wait_state '^row .*我的1'

# A key's lines: labels in English, the sample's own note in Chinese as it was written.
click_row '^我的1'
xdotool key Right
wait_state '^row .* Input: $'
for want in 'Output: $' 'Uses: 0$' 'Strength: 中 1024Bits$' 'Note: $' 'N value: $' \
            'Details before computing'; do
  wait_row "^$want" '^我的1'
done
grep -qE '^(off)?row .*(输    入|使用次数|计算前编码细节)' "$MORVANE_STATE_DUMP" && fail "a fixed label is still Chinese"
click_row '^Details before computing' '^我的1'
xdotool key Right
wait_row '^Message encoding \(0000 bytes\): $' '^我的1'
wait_row '^Plaintext length \(0000 bytes\): $' '^我的1'
shot tree

# The tree's context menu and the find dialog it opens.
focus_main
click_row '^加密通讯薄' '' 3
wait_state '^menuitem '
for want in 'Set login password' 'Find\.\.\.' 'Add\.\.\.' 'Cut' 'Paste' 'Delete' 'Sort' 'About'; do
  grep -qE "^menuitem( [0-9-]+){5} $want\$" "$MORVANE_STATE_DUMP" || fail "the tree menu lacks $want"
done
shot menu
xdotool key Escape
wait_no_state '^menuitem '

menu '^Find\.\.\.$' '^加密通讯薄'
next_window "the find dialog"
wait_state '^dialog morvane::FindDialog'
wait_state '^dialogtitle Find in the book by name and kind$'
for want in Directories Keys Locks Previous Next Find Close; do
  grep -qx "dialogtext $want" "$MORVANE_STATE_DUMP" || fail "the find dialog lacks $want"
done
shot find
xdotool key Escape
wait_no_state '^dialog morvane::FindDialog'

# The window menu and the preferences dialog.
focus_main
read -r _ wx wy _ _ < <(state '^window ')
click_at $((wx + 300)) $((wy + 30)) 3
wait_state '^menuitem .* &Lock'
at=$(awk '$1 == "menuitem" && $0 ~ /&Preferences\.\.\./ { print $2 + int($4 / 2), $3 + int($5 / 2); exit }' "$MORVANE_STATE_DUMP")
[[ -n "$at" ]] || fail "the window menu has no preferences entry"
# shellcheck disable=SC2086
click_at $at 1
wait_state '^modal morvane::PreferencesDialog'
wait_state '^dialogtitle Preferences$'
wait_state '^dialogtext The language changes at the next start\.$'
shot preferences
xdotool key Escape
wait_no_state '^modal '

# The close question is the window's own.
focus_main
close_without_book '^message Quit now\?$'
echo "english: ok"
