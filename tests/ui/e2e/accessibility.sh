#!/usr/bin/env bash
# The real program as a screen reader meets it: the accessibility bridge on, a private session
# bus and the AT-SPI registry, the accessibility tree read over AT-SPI. The tree, the text box
# and each painted control must be there under their names and roles, and an operation button
# pressed through its accessible action must work: a key made here (randomness from the mouse,
# a 512-bit generation) decrypts the box's text and says what it found.
#
#   accessibility.sh <morvane executable> [artifact folder]
#
# Exit 77 (skipped) when Xvfb, xdotool, xclip, dbus or the AT-SPI packages are missing.
set -euo pipefail

exe=${1:?usage: accessibility.sh <morvane executable> [artifact folder]}
artifacts=${2:-}
here=$(cd "$(dirname "$0")" && pwd)

# A session bus of its own, once.
if [[ "${MORVANE_A11Y_BUS:-}" != 1 ]]; then
  command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session is not installed (dbus-daemon)"; exit 77; }
  for f in /usr/libexec/at-spi-bus-launcher /usr/libexec/at-spi2-registryd; do
    [[ -x $f ]] || { echo "SKIP: $f is missing (at-spi2-core)"; exit 77; }
  done
  /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
  export MORVANE_A11Y_BUS=1
  exec dbus-run-session -- "$0" "$@"
fi

e2e_name=accessibility
# shellcheck source=lib.sh
source "$here/lib.sh"

# The accessibility bus and its registry, on the private session bus; Qt's bridge always on.
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
launcher=$!
sleep 0.5
/usr/libexec/at-spi2-registryd --use-gnome-session=false >/dev/null 2>&1 &
registry=$!
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1

start_program
first_login "A11y-Login-5"
wait_state '^row .*我的1'

# The tree as a screen reader sees it.
/usr/bin/python3 "$here/accessibility.py" "$pid" || fail "the accessibility tree"
shot tree-read

# A key of the sample book: randomness, a 512-bit strength, generation.
menu '^生成密钥的随机度' '^我的1'
answer '移动鼠标产生随机数' Return
wait_state 'generating 0 collecting 1'
moves=()
for i in $(seq 1 460); do moves+=(mousemove $((300 + (i * 37) % 600)) $((200 + (i * 53) % 400)) sleep 0.012); done
xdotool "${moves[@]}"
answer '完成密钥随机化' Return
focus_main
click_row '^我的1'
xdotool key Right
wait_row '^强    度' '^我的1'
click_row '^强    度' '^我的1'
wait_state '^place selector .* 1$'
click_place selector
sleep 0.5
xdotool key Home Return
answer '改变加密强度' Return
wait_row '^强    度: 弱  512Bits' '^我的1'
menu '^生成密钥$' '^我的1'
answer '原有的密钥数据将被删除' Return
answer '密钥生成OK' Return

# The key's input line offers 解 密; pressed through AT-SPI, it runs on the box's text.
focus_main
click_row '^输    入' '^我的1'
wait_state '^button1 1 解 密$'
/usr/bin/python3 "$here/accessibility.py" "$pid" --press "解 密" || fail "pressing 解 密"
wait_state '^message '
shot pressed
note "pressed: $(state '^message ')"
xdotool key Return
wait_no_state '^message '
echo "accessibility: ok"
