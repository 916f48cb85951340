#!/usr/bin/env bash
# No data lost when the program dies while it saves: the real program saves a large book
# and is killed with SIGKILL as soon as its temporary file appears, again until a kill lands
# before the new file replaces the old one. The old file must then be byte for byte as it
# was (what the killed save left private to the user), the next start must open it as before
# and clear what the killed save left, and a later save leaves nothing behind.
#
#   killed-save.sh <morvane executable> <book maker> [artifact folder]
#
# Exit 77 (skipped) when Xvfb, xdotool or xclip is missing.
set -euo pipefail

exe=${1:?usage: killed-save.sh <morvane executable> <book maker> [artifact folder]}
make_book=${2:?usage: killed-save.sh <morvane executable> <book maker> [artifact folder]}
artifacts=${3:-}
e2e_name=killed-save
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

password=Killed-Save-5
dir=$XDG_DATA_HOME/Morvane
book=$dir/big.Bk
mkdir -p "$dir"
"$make_book" "$book" "$password" "${MORVANE_E2E_BOOK_KEYS:-6000}"

# Logs in (setting the password on the first start) and waits for the book in the window.
log_in() {
  start_program
  if [[ "${1:-}" == first ]]; then
    next_window "the first-use question"
    xdotool key Return
    next_window "the set-login dialog"
    xdotool type --delay 10 "$password"
    xdotool key Tab
    xdotool type --delay 10 "$password"
  else
    next_window "the login dialog"
    xdotool type --delay 10 "$password"
  fi
  xdotool key Return
  next_window "the main window"
  main=$last_window
  wait_state '^row '
}

# The first session opens the book, so that the run file names it for the next starts.
log_in first
focus_main
click_row '加密通讯薄|密钥通讯薄'
xdotool key ctrl+o
next_window "the file chooser"
xdotool type --delay 10 "$book"
xdotool key Return
wait_state '^row .*大通讯薄'
row_texts >"$work/rows-before"
quit_program
cp "$book" "$work/book-before"
note "book opened once; $(stat -c %s "$book") bytes"

landed=0
for attempt in $(seq 1 12); do
  rm -f "$MORVANE_STATE_DUMP"
  log_in
  wait_state '^row .*大通讯薄'
  focus_main
  click_row '大通讯薄'
  xdotool key ctrl+s
  next_window "the book password"
  xdotool key Return
  # Killed the moment the temporary file is there (the book is enciphered first, which takes
  # a while under the sanitizers).
  deadline=$((SECONDS + 60))
  until compgen -G "$book.tmp-*" >/dev/null || ((SECONDS > deadline)); do :; done
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
  if compgen -G "$book.tmp-*" >/dev/null && cmp -s "$book" "$work/book-before"; then
    landed=1
    note "attempt $attempt: killed half-way through the save"
    for leftover in $(compgen -G "$book.tmp-*"); do
      [[ $(stat -c %a "$leftover") == 600 ]] || fail "a leftover others can read: $(stat -c %a "$leftover")"
    done
    break
  fi
  # The save got through before the kill: that file is the one to keep next time.
  cp "$book" "$work/book-before"
  note "attempt $attempt: the save ended before the kill"
done
((landed)) || fail "no kill landed during a save in 12 attempts"

cmp "$book" "$work/book-before" || fail "the book file changed"
# The next start: the same book, as it was.
rm -f "$MORVANE_STATE_DUMP"
log_in
wait_state '^row .*大通讯薄'
sleep 0.3
row_texts >"$work/rows-after"
diff "$work/rows-before" "$work/rows-after" || fail "the book came back changed"
shot reopened

# What the killed save left behind went with the next open of the book: no writer holds it.
compgen -G "$book.tmp-*" >/dev/null && fail "left behind after the next open: $(compgen -G "$book.tmp-*")"
# And a later save leaves nothing behind either.
# A save of an unchanged book writes the same bytes: the new file shows in its inode.
inode=$(stat -c %i "$book")
focus_main
click_row '大通讯薄'
xdotool key ctrl+s
next_window "the book password"
xdotool key Return
# The whole book is enciphered first, which takes a while under the sanitizers.
deadline=$((SECONDS + 180))
until { [[ $(stat -c %i "$book") != "$inode" ]] && ! compgen -G "$book.tmp-*" >/dev/null; } || ((SECONDS > deadline)); do
  sleep 0.1
done
compgen -G "$book.tmp-*" >/dev/null && fail "left behind after the next save: $(compgen -G "$book.tmp-*")"
[[ $(stat -c %i "$book") != "$inode" ]] || fail "the next save did not happen"
echo "killed save: ok"
