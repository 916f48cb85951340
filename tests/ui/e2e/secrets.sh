#!/usr/bin/env bash
# The window's guards of secrets with the real program, the real X11 clipboard and real input:
# text copied from a key's line carries the password managers' hint and is gone from the
# clipboard and the selection after the (shortened) delay; Ctrl+L hides the book and asks the
# login password, a wrong one keeps it hidden and asks again, the right one shows it; the
# preferences dialog opens from the window menu.
#
#   secrets.sh <morvane executable> [artifact folder]
#
# Exit 77 (skipped) when Xvfb, xdotool or xclip is missing.
set -euo pipefail

exe=${1:?usage: secrets.sh <morvane executable> [artifact folder]}
artifacts=${2:-}

e2e_name=secrets
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

mkdir -p "$XDG_CONFIG_HOME/Morvane"
printf '[Security]\nClipboardClearSeconds=2\nAutoLockMinutes=0\n' >"$XDG_CONFIG_HOME/Morvane/Morvane.ini"
start_program

first_login "e2e-Login-7"
wait_state '^row .*我的1'

# ---- A key's output line: the copy is marked, and forgotten after two seconds.
click_row '^我的1'
xdotool key Right
wait_state '^row .*输    出'
click_row '^输    出' '^我的1'
click_place input
xdotool key ctrl+a
xdotool type --delay 20 "top secret 42"
copy_box
[[ "$(clipboard)" == "top secret 42" ]] || fail "copied '$(clipboard)'"
xclip -o -selection clipboard -t TARGETS | grep -qx 'x-kde-passwordManagerHint' ||
  fail "no secret hint among the targets: $(xclip -o -selection clipboard -t TARGETS | tr '\n' ' ')"
[[ "$(xclip -o -selection clipboard -t x-kde-passwordManagerHint)" == secret ]] || fail "the hint is not 'secret'"
sleep 3.5
[[ -z "$(clipboard)" ]] || fail "the secret is still on the clipboard after the delay"
[[ "$(xclip -o -selection primary 2>/dev/null || true)" != *"top secret"* ]] || fail "the secret stayed in the selection"

# ---- Ctrl+L: the book hides behind the login password.
focus_main
xdotool key ctrl+l
wait_state '^modal morvane::PasswordDialog'
wait_state '^place tree .* 0$'
wait_state '^place input .* 0$'
next_window "the lock's password dialog"
shot locked
xdotool type --delay 20 "not-it"
xdotool key Return
answer '密码MD5验证未能通过' Return
grep -qE '^place tree .* 0$' "$MORVANE_STATE_DUMP" || fail "a wrong password showed the book"
wait_state '^modal morvane::PasswordDialog'
next_window "the lock's password dialog, again"
xdotool type --delay 20 "e2e-Login-7"
xdotool key Return
wait_no_state '^modal '
wait_state '^place tree .* 1$'
wait_state '^place input .* 1$'
grep -q "^clicked 输    出: top secret 42" "$MORVANE_STATE_DUMP" || fail "the line changed under the lock: $(state '^clicked ')"

# ---- The window menu offers the lock and the preferences.
focus_main
read -r _ wx wy _ _ < <(state '^window ')
click_at $((wx + 300)) $((wy + 30)) 3
wait_state '^menuitem .*锁定'
at=$(awk '$1 == "menuitem" && $0 ~ /首选项/ { print $2 + int($4 / 2), $3 + int($5 / 2); exit }' "$MORVANE_STATE_DUMP")
[[ -n "$at" ]] || fail "the window menu has no preferences entry"
shot window-menu
# shellcheck disable=SC2086
click_at $at 1
wait_state '^modal morvane::PreferencesDialog'
next_window "the preferences dialog"
shot preferences
xdotool key Escape
wait_no_state '^modal '

# Closing: quit, no book file, the new run file.
focus_main
close_without_book
echo "secrets: ok"
