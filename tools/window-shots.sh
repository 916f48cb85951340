#!/usr/bin/env bash
# Screenshots of the real program for docs/screenshots, at a scale (1, 2...) on its own Xvfb:
# the sample book, a drag held over a directory, a lock's input line, a wide armored text pasted
# into it, find over a closed directory, the preferences dialog, the keyboard focus and the locked
# window. The language is Chinese unless the fifth argument is en (docs/screenshots/en); an
# empty prefix names the files by the shot alone.
#   tools/window-shots.sh <morvane executable> <scale> <out folder> <file name prefix> [zh|en]
set -euo pipefail
exe=$1 scale=$2 out=$3 prefix=$4 lang=${5:-zh}
if [[ "${MORVANE_E2E_INNER:-}" != 1 ]]; then
  export MORVANE_E2E_INNER=1
  display_file=$(mktemp)
  w=$(python3 -c "print(int(1280*$scale))"); h=$(python3 -c "print(int(800*$scale))")
  Xvfb -displayfd 3 -screen 0 ${w}x${h}x24 -nolisten tcp -noreset 3>"$display_file" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 200); do [[ -s $display_file ]] && break; sleep 0.05; done
  export DISPLAY=:$(tr -d '[:space:]' <"$display_file")
  rc=0; "$0" "$@" || rc=$?
  kill $xvfb; wait $xvfb 2>/dev/null || true; exit $rc
fi
export QT_SCALE_FACTOR=$scale
artifacts=""
e2e_name=shots
e2e_lang=$lang
# The texts the script looks for in the window's own language.
if [[ $lang == en ]]; then input_row='^Input: ' preferences_entry='Preferences'
else input_row='^输    入' preferences_entry='首选项'; fi
source "$(cd "$(dirname "$0")/.." && pwd)/tests/ui/e2e/lib.sh"
mkdir -p "$out"
name() { echo "$out/${prefix:+$prefix-}$1.png"; }
snap() { # name: the main window's rectangle from the dump, in device pixels
  sleep 0.6
  read -r _ wx wy ww wh _ < <(state '^window ')
  local s=$scale
  import -window root -crop "$(python3 -c "print(f'{int($ww*$s)}x{int($wh*$s)}+{int($wx*$s)}+{int($wy*$s)}')")" +repage "$(name "$1")"
}
# Screen coordinates from the dump are logical; xdotool wants device pixels.
dev() { python3 -c "import sys; print(' '.join(str(int(float(v)*$scale)) for v in sys.argv[1:]))" "$@"; }
click_row() { local at; at=$(row_at "$1" "${2:-}"); [[ -n $at ]] || fail "no row $1"; xdotool mousemove $(dev $at) sleep 0.05 click "${3:-1}"; }
click_place() { xdotool mousemove $(dev $(place_at "$1")) sleep 0.05 click 1; }

start_program
next_window "the first-use question"; xdotool key Return
next_window "the set-login dialog"
xdotool type --delay 30 "shot-Login-7"; xdotool key Tab; xdotool type --delay 30 "shot-Login-7"; xdotool key Return
next_window "the main window"; main=$last_window
wait_state '^window .* 1$'; wait_state '^row .*我的1'
snap sample-book

# A drag of the key 我的2 held over the directory 目录A.
read -r kx ky < <(row_at '^我的2'); read -r bx by < <(row_at '^目录A')
xdotool mousemove $(dev $kx $ky) sleep 0.3 mousedown 1
for i in $(seq 1 16); do
  xdotool mousemove $(dev $((kx + (bx - kx) * i / 16)) $((ky + (by - ky) * i / 16))); sleep 0.04
done
xdotool mousemove $(dev $((bx + 6)) $by); sleep 0.3
read -r _ wx wy ww wh _ < <(state '^window ')
import -window root -crop "$(python3 -c "print(f'{int($ww*$scale)}x{int($wh*$scale)}+{int($wx*$scale)}+{int($wy*$scale)}')")" +repage "$(name drag)"
xdotool key Escape; xdotool mouseup 1; sleep 0.3

# A wide armored text pasted into a lock's input box.
click_row '^对方1'; xdotool key Right; sleep 0.4
click_row "$input_row" '^对方1'; sleep 0.4
snap lock-selected
focus_main
text="N_SIFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
for i in $(seq 8); do text+="9A1B80CEC434C5AE254FD1B945208AC04C6123608066E3EDB830CCAD0A5CE6D59FE4BF977A40DCF44CAD1BAF912CD6"; done
framed=$(python3 -c "
import sys; t=sys.argv[1]; n=120
print('*'*n); [print(t[i:i+n]) for i in range(0,len(t),n)]; print('*'*n, end='')" "$text")
printf %s "$framed" | xclip -selection clipboard
click_place input; xdotool key ctrl+a ctrl+v; sleep 0.5
snap pasted
# The lock folded again, then 目录B.
click_row '^对方1'; xdotool key Left; sleep 0.4
click_row '^目录B'; xdotool key Left; sleep 0.4

# 目录B folded, the root clicked, find 对方2.
click_row '^加密通讯薄'; sleep 0.3
xdotool key ctrl+f
next_window "the find dialog"
printf %s "对方2" | xclip -selection clipboard
xdotool key ctrl+a ctrl+v Tab Tab Tab Tab space
sleep 0.8
import -window root -crop "$(python3 -c "
import re
print('x'.join(['%d'%int(1280*$scale),'%d'%int(800*$scale)])+'+0+0')")" +repage "$(name find-screen)"
snap find
xdotool key Escape
wait_no_state '^modal '

# The window menu's preferences dialog.
focus_main
read -r _ wx wy _ _ < <(state '^window ')
xdotool mousemove $(dev $((wx + 300)) $((wy + 30))) sleep 0.05 click 3
wait_state "^menuitem .*$preferences_entry"
read -r px py < <(awk -v want="$preferences_entry" '$1 == "menuitem" && $0 ~ want { print $2 + int($4 / 2), $3 + int($5 / 2); exit }' "$MORVANE_STATE_DUMP")
xdotool mousemove $(dev $px $py) sleep 0.05 click 1
next_window "the preferences dialog"
snap preferences
xdotool key Escape
wait_no_state '^modal '

# The keyboard's focus: the key's input line opened with Enter, then Tab to the painted controls.
focus_main
click_row '^我的1'; xdotool key Right; sleep 0.3
xdotool key Down Return; sleep 0.4
xdotool key Tab Tab Tab; sleep 0.4
snap keyboard-focus

# Locked with Ctrl+L: the book hidden behind the login password.
focus_main
xdotool key ctrl+l
next_window "the lock's password"
snap locked
xdotool type --delay 30 "shot-Login-7"; xdotool key Return
wait_no_state '^modal '
