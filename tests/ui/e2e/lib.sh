# Shared by the end-to-end scripts: runs the real program on a virtual X display in a fresh
# data folder and drives it with real input events (xdotool), reading what it shows from the
# state file the window writes when MORVANE_STATE_DUMP is set, from the clipboard and from
# the files it writes.
#
# A script sets `artifacts` (may be empty) and `e2e_name`, sources this file with its own
# arguments after them, then calls start_program.

# Re-run under a virtual display of its own; exit 77 (skipped) when a tool is missing. The
# server picks a free display number itself and reports it once it accepts clients, which
# xvfb-run's guessing does not do reliably when tests start one after another; -noreset keeps
# it from resetting (and refusing clients meanwhile) whenever the program ends.
if [[ "${MORVANE_E2E_INNER:-}" != 1 ]]; then
  for tool in Xvfb xdotool xclip; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is not installed"
      exit 77
    fi
  done
  export MORVANE_E2E_INNER=1
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$display_file" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 200); do [[ -s $display_file ]] && break; sleep 0.05; done
  DISPLAY=:$(tr -d '[:space:]' <"$display_file")
  export DISPLAY
  rm -f "$display_file"
  rc=0
  "$0" "$@" || rc=$?
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  exit $rc
fi

work=$(mktemp -d)
export XDG_DATA_HOME=$work/data
# The preferences too: the user's own delays must not time a test.
export XDG_CONFIG_HOME=$work/config
export MORVANE_STATE_DUMP=$work/state.txt
# The scripts read the window's Chinese texts unless they ask for English (e2e_lang=en); the
# machine's own locale must not choose for them.
export MORVANE_LANG=${e2e_lang:-zh}
export QT_QPA_PLATFORM=xcb
# Under the sanitizer build: leaks inside Qt's own libraries are not ours to report.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/lsan-qt.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
mkdir -p "$XDG_DATA_HOME" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
pid=
main=
step=0

finish() {
  local rc=$?
  if ((rc != 0)); then
    echo "--- state dump"; cat "$MORVANE_STATE_DUMP" 2>/dev/null || true
    echo "--- program output"; cat "$work/log" 2>/dev/null || true
    shot failure
  fi
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
  exit $rc
}
trap finish EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "[$(date +%T)] $*"; }

# A screenshot of the whole display into the artifact folder, numbered in order.
shot() {
  [[ -n "$artifacts" ]] && command -v import >/dev/null || return 0
  mkdir -p "$artifacts"
  step=$((step + 1))
  import -window root "$artifacts/$(printf '%s-%02d-%s' "$e2e_name" "$step" "$1").png" 2>/dev/null || true
}

# Moves the pointer and clicks (--sync would wait for a move that does not happen when the
# pointer is already there).
click_at() {
  xdotool mousemove "$1" "$2" sleep 0.05 click "$3"
}

# The program's visible top-level windows.
windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | sort || true; }

# Waits for a visible window that was not in the list given, and gives it the keyboard.
known=""
next_window() {
  local what=$1 w
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || fail "the program ended while waiting for $what"
    for w in $(windows); do
      if ! grep -qx "$w" <<<"$known"; then
        known=$(windows)
        sleep 0.3
        xdotool windowfocus --sync "$w" 2>/dev/null || xdotool windowfocus "$w"
        last_window=$w
        return 0
      fi
    done
    sleep 0.1
  done
  fail "no window for $what"
}

# Waits until the state file has a line matching the pattern, or until none does.
wait_state() {
  for _ in $(seq 300); do
    grep -qE "$1" "$MORVANE_STATE_DUMP" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the window never showed: $1"
}
wait_no_state() {
  for _ in $(seq 300); do
    grep -qE "$1" "$MORVANE_STATE_DUMP" 2>/dev/null || return 0
    sleep 0.1
  done
  fail "the window kept showing: $1"
}
state() { grep -E "$1" "$MORVANE_STATE_DUMP" | head -1; }

# Starts the program (once more) on the same data folder.
start_program() {
  known=$(windows)
  "$exe" "$@" >>"$work/log" 2>&1 &
  pid=$!
  known=""
}

# A first start up to the main window: the first-use question answered Yes, the login password
# (the argument) set in the set-login dialog; main names the main window.
first_login() {
  next_window "the first-use question"
  xdotool key Return                          # 是: lawful use only
  next_window "the set-login dialog"
  xdotool type --delay 30 "$1"
  xdotool key Tab
  xdotool type --delay 30 "$1"
  xdotool key Return
  next_window "the main window"
  main=$last_window
}

# Closes by the caption button: quit, no book file, the new run file notice; the program must
# end with exit code 0. An argument is a pattern the close question's dump line must match.
close_without_book() {
  local wx wy ww rc
  read -r _ wx wy ww _ < <(state '^window ')
  click_at $((wx + ww - 35)) $((wy + 11)) 1
  next_window "the close question"
  [ -z "${1:-}" ] || wait_state "$1"
  xdotool key Return                          # 是
  next_window "the save question"
  xdotool key Escape                          # 否: no book file
  next_window "the new run file notice"
  xdotool key Return
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "the program did not end after the close sequence"
  wait "$pid" && rc=0 || rc=$?
  pid=
  ((rc == 0)) || fail "exit code $rc"
}

# Gives the main window the keyboard again: without a window manager nobody does when a
# dialog closes, and an inactive window's popups close at once.
focus_main() {
  wait_no_state '^modal '
  xdotool windowfocus --sync "$main" 2>/dev/null || xdotool windowfocus "$main"
}

# The middle of the first tree row whose text matches the pattern, after the first row
# matching the optional second pattern.
row_at() {
  awk -v want="$1" -v after="${2:-}" '
    $1 == "row" { text = $0; for (k = 0; k < 6; k++) sub(/^[^ ]+ /, "", text)
                  if (after != "" && !seen) { if (text ~ after) seen = 1; next }
                  if (text ~ want) { print $2 + int($4 / 2), $3 + int($5 / 2); exit } }' "$MORVANE_STATE_DUMP"
}
# Where a row scrolled out of view lies (above or below), by the same patterns.
offrow_at() {
  awk -v want="$1" -v after="${2:-}" '
    $1 == "row" || $1 == "offrow" { text = $0; for (k = 0; k < ($1 == "row" ? 6 : 2); k++) sub(/^[^ ]+ /, "", text)
                  if (after != "" && !seen) { if (text ~ after) seen = 1; next }
                  if (text ~ want) { print ($1 == "row" ? "" : $2); exit } }' "$MORVANE_STATE_DUMP"
}
# Waits until a row matching the pattern (after the optional second) exists, in view or not.
wait_row() {
  for _ in $(seq 300); do
    awk -v want="$1" -v after="${2:-}" '
      $1 == "row" || $1 == "offrow" { text = $0; for (k = 0; k < ($1 == "row" ? 6 : 2); k++) sub(/^[^ ]+ /, "", text)
                    if (after != "" && !seen) { if (text ~ after) seen = 1; next }
                    if (text ~ want) { found = 1; exit } }
      END { exit !found }' "$MORVANE_STATE_DUMP" && return 0
    sleep 0.1
  done
  fail "no tree row $1 after ${2:-the top}"
}
# Waits until the state file has stopped changing. The window rewrites it within 100 ms of a
# change, so once it has stood for 250 ms it shows what the input sent before did: a key that
# folds, opens or scrolls the tree moves the rows, and a click at a row's old place lands on
# another line or on empty space (which clears the marks).
settle() {
  local before after
  after=$(md5sum <"$MORVANE_STATE_DUMP" 2>/dev/null || true)
  for _ in $(seq 40); do
    before=$after
    sleep 0.25
    after=$(md5sum <"$MORVANE_STATE_DUMP" 2>/dev/null || true)
    [[ $before == "$after" ]] && return 0
  done
}

click_row() {
  local at way
  settle
  for _ in $(seq 80); do
    at=$(row_at "$1" "${2:-}")
    [[ -n "$at" ]] && break
    # A row out of view is scrolled to with the mouse wheel, as a person would.
    way=$(offrow_at "$1" "${2:-}")
    if [[ -n "$way" ]]; then
      # shellcheck disable=SC2046
      click_at $(place_at tree) "$([[ $way == above ]] && echo 4 || echo 5)"
    fi
    sleep 0.15
  done
  [[ -n "$at" ]] || fail "no tree row matching $1"
  # shellcheck disable=SC2086
  click_at $at "${3:-1}"
}

# Opens a closed tree row with a double click (after the click that selects it).
open_row() {
  click_row "$1" "${2:-}"
  sleep 0.5
  xdotool click --repeat 2 --delay 60 1
}

# Opens the tree's context menu on a row (pattern, optional after-pattern) and picks an entry.
menu() {
  local entry=$1 at
  focus_main
  click_row "$2" "${3:-}" 3
  wait_state '^menuitem '
  at=$(awk -v want="$entry" '$1 == "menuitem" { text = $0; for (k = 0; k < 6; k++) sub(/^[^ ]+ /, "", text)
                                                 if (text ~ want && $6 == 1) { print $2 + int($4 / 2), $3 + int($5 / 2); exit } }' "$MORVANE_STATE_DUMP")
  [[ -n "$at" ]] || { shot "menu-without-$entry"; fail "the menu offers no enabled $entry"; }
  # shellcheck disable=SC2086
  click_at $at 1
}

# The middle of a named place of the window (button1, button2, check, input, output, selector).
place_at() { awk -v want="$1" '$1 == "place" && $2 == want { print $3 + int($5 / 2), $4 + int($6 / 2) }' "$MORVANE_STATE_DUMP"; }
click_place() {
  # shellcheck disable=SC2046
  click_at $(place_at "$1") 1
}

# Waits for a message box whose text matches, and answers it with a key.
answer() {
  wait_state "^message .*$1"
  sleep 0.2
  xdotool key "$2"
  wait_no_state "^message .*$1"
}

# The texts of the tree's rows from the top, in view or not.
row_texts() {
  awk '$1 == "row" || $1 == "offrow" { text = $0; for (k = 0; k < ($1 == "row" ? 6 : 2); k++) sub(/^[^ ]+ /, "", text); print text }' \
    "$MORVANE_STATE_DUMP"
}

# Enters text where the keyboard is, through the clipboard: xdotool's typing of Chinese
# characters drops some when the machine is busy.
paste_text() {
  printf %s "$1" | xclip -selection clipboard
  xdotool key ctrl+v
}

# The whole text of the box on the clipboard, and the clipboard in place of the box's text.
copy_box() {
  focus_main
  click_place input
  xdotool key ctrl+a ctrl+c
  sleep 0.3
}
paste_box() {
  click_place input
  xdotool key ctrl+a ctrl+v
}

clipboard() { xclip -o -selection clipboard 2>/dev/null; }

# Closes the main window by its caption button and answers every question with its default
# (quit: yes; notices: OK). The book is saved under the password given, or under the preset
# one (the login password) without one.
quit_program() {
  local wx wy ww rc bookpw=${1:-}
  focus_main
  read -r _ wx wy ww _ < <(state '^window ')
  click_at $((wx + ww - 35)) $((wy + 11)) 1
  answer '确认退出吗' Return
  if [[ -n "$bookpw" ]]; then
    wait_state '^modal morvane::PasswordDialog'
    for w in $(windows); do [[ $w == "$main" ]] || xdotool windowfocus --sync "$w"; done
    sleep 0.2
    xdotool key ctrl+a
    xdotool type --delay 20 "$bookpw"
    xdotool key Return
    wait_no_state '^modal morvane::PasswordDialog'
  fi
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    if grep -qE '^(message |modal morvane::PasswordDialog)' "$MORVANE_STATE_DUMP"; then
      xdotool key Return
      sleep 0.3
    fi
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "the program did not end after the close sequence"
  wait "$pid" && rc=0 || rc=$?
  pid=
  ((rc == 0)) || fail "exit code $rc"
}
