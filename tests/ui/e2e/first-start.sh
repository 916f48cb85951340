#!/usr/bin/env bash
# The first start of the real program on a virtual X display, driven by real key and mouse
# events: the first-use question, the login password chosen in the set-login dialog, the
# sample book in the window, a key's action line clicked, the close question answered Yes.
# Afterwards the run file and the seed file must exist with their sizes.
#
#   first-start.sh <morvane executable> [artifact folder]
#
# Exit 77 (skipped) when xvfb-run or xdotool is missing.
set -euo pipefail

exe=${1:?usage: first-start.sh <morvane executable> [artifact folder]}
artifacts=${2:-}

if [[ "${MORVANE_E2E_INNER:-}" != 1 ]]; then
  for tool in xvfb-run xdotool; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is not installed"
      exit 77
    fi
  done
  export MORVANE_E2E_INNER=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

work=$(mktemp -d)
export XDG_DATA_HOME=$work/data
export MORVANE_STATE_DUMP=$work/state.txt
export QT_QPA_PLATFORM=xcb
# Under the sanitizer build: leaks inside Qt's own libraries are not ours to report.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/.." && pwd)/lsan-qt.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
mkdir -p "$XDG_DATA_HOME" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
pid=

finish() {
  local rc=$?
  if ((rc != 0)); then
    echo "--- state dump"; cat "$MORVANE_STATE_DUMP" 2>/dev/null || true
    echo "--- program output"; cat "$work/log" 2>/dev/null || true
    if [[ -n "$artifacts" ]] && command -v import >/dev/null; then
      mkdir -p "$artifacts" && import -window root "$artifacts/first-start-failure.png" 2>/dev/null || true
    fi
  fi
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
  exit $rc
}
trap finish EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# The program's visible top-level windows.
windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | sort || true; }

# Waits for a visible window that was not in the list given, and gives it the keyboard.
known=""
next_window() {
  local what=$1 w
  for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || fail "the program ended while waiting for $what"
    for w in $(windows); do
      if ! grep -qx "$w" <<<"$known"; then
        known=$(windows)
        sleep 0.3
        xdotool windowfocus --sync "$w" 2>/dev/null || xdotool windowfocus "$w"
        return 0
      fi
    done
    sleep 0.1
  done
  fail "no window for $what"
}

# Waits until the state dump has a line matching the pattern.
wait_state() {
  for _ in $(seq 200); do
    grep -qE "$1" "$MORVANE_STATE_DUMP" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the window never showed: $1"
}

# Clicks the middle of the first tree row whose text matches the pattern (after the first
# row matching the optional second pattern).
click_row() {
  local row
  row=$(awk -v want="$1" -v after="${2:-}" '
    $1 == "row" { text = $0; for (k = 0; k < 6; k++) sub(/^[^ ]+ /, "", text)
                  if (after != "" && !seen) { if (text ~ after) seen = 1; next }
                  if (text ~ want) { print $2 + int($4 / 2), $3 + int($5 / 2); exit } }' "$MORVANE_STATE_DUMP")
  [[ -n "$row" ]] || fail "no tree row matching $1"
  # shellcheck disable=SC2086
  xdotool mousemove --sync $row click 1
}

"$exe" >"$work/log" 2>&1 &
pid=$!

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
read -r _ wx wy ww _ < <(grep '^window ' "$MORVANE_STATE_DUMP")
xdotool mousemove --sync $((wx + ww - 35)) $((wy + 11)) click 1
next_window "the close question"
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

dir=$XDG_DATA_HOME/Morvane
[[ -f $dir/Run.st ]] || fail "no run file"
[[ -f $dir/QVX_RAND_SEED.sd ]] || fail "no seed file"
seed=$dir/QVX_RAND_SEED.sd
# Run file: password digest, an empty book path, the seed file's path.
want=$((16 + 4 + 4 + $(printf %s "$seed" | wc -c)))
[[ $(stat -c %s "$dir/Run.st") == "$want" ]] || fail "run file is $(stat -c %s "$dir/Run.st") bytes, want $want"
[[ $(stat -c %s "$seed") == 1072 ]] || fail "seed file is $(stat -c %s "$seed") bytes, want 1072"
echo "first start: ok"
