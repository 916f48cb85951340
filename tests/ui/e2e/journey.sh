#!/usr/bin/env bash
# A person's whole journey with the real program, by real mouse, keyboard and clipboard:
# first start and login password; a directory, a key and a lock added; randomness collected
# by moving the mouse; a 512-bit key generated; its public key exported and pasted into the
# lock; a Chinese message encrypted for the lock and decrypted with the key, then signed and
# encrypted and decrypted with the signature verified; the book saved under a password; the
# program closed and started again, and the book found as it was.
#
#   journey.sh <morvane executable> [artifact folder]
#
# Exit 77 (skipped) when Xvfb, xdotool or xclip is missing.
set -euo pipefail

exe=${1:?usage: journey.sh <morvane executable> [artifact folder]}
artifacts=${2:-}
e2e_name=journey
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

login=Journey-Login-3
bookpw=Journey-Book-8
# The Chinese part goes in through the clipboard (xdotool's typing of CJK text drops
# characters when the machine is busy); the rest is typed.
chinese="你好，老王！明天上午十点在图书馆见。"
typed=" Morvane 2026"
message="$chinese$typed"
begin=$(date +%s)

# ---- First start: lawful use, the login password, the sample book.
start_program
next_window "the first-use question"
xdotool key Return
next_window "the set-login dialog"
xdotool type --delay 20 "$login"
xdotool key Tab
xdotool type --delay 20 "$login"
shot set-login
xdotool key Return
next_window "the main window"
main=$last_window
wait_state '^row .*加密通讯薄'
shot first-start
note "first start"

# ---- A directory, a key and a lock, each through the add dialog: the name, then the kind
# (Tab to the kind buttons, arrows to the one wanted, Space), then Enter for OK.
dirname=朋友
keyname=我的钥匙
lockname=老王
add_item() {
  local parent=$1 name=$2 kind_keys=$3
  menu '^添    加' "^$parent"
  next_window "the add dialog"
  paste_text "$name"
  # shellcheck disable=SC2086
  xdotool key Tab $kind_keys space
  shot "add-$name"
  xdotool key Return
  wait_no_state '^modal '
  wait_state "^row .* $name\$"
}
add_item '加密通讯薄' "$dirname" ''
add_item "$dirname" "$keyname" 'Right'
add_item "$dirname" "$lockname" 'Right Right'
note "directory, key and lock added"

# ---- Randomness from mouse movement.
menu '^生成密钥的随机度' "^$keyname"
answer '移动鼠标产生随机数' Return
wait_state '^collecting|generating 0 collecting 1'
moves=()
for i in $(seq 1 460); do moves+=(mousemove $((300 + (i * 37) % 600)) $((200 + (i * 53) % 400)) sleep 0.012); done
xdotool "${moves[@]}"
shot collected
answer '完成密钥随机化' Return
note "randomness collected"

# ---- A 512-bit key: the strength line, the selector, then generation.
focus_main
click_row '^强    度' "^$keyname"
wait_state '^place selector .* 1$'
click_place selector
sleep 0.5
xdotool key Home Return
answer '改变加密强度' Return
wait_row '^强    度: 弱  512Bits' "^$keyname"
menu '^生成密钥$' "^$keyname"
answer '原有的密钥数据将被删除' Return
answer '密钥生成OK' Return
shot key-generated
note "key generated"

# ---- Its public key, through the clipboard into the lock.
menu '^输出公钥' "^$keyname"
answer '输出公钥OK' Return
copy_box
clipboard | grep -q 'This is Public Key N' || fail "the clipboard holds no public key: $(clipboard | head -3)"
open_row "^$lockname"
click_row '^输    入' "^$lockname"
paste_box
answer '发现新公钥' Return
wait_row '^N     值: [0-9A-F]' "^$lockname"
shot lock-filled
note "public key given to the lock"

# ---- Encrypt for the lock, decrypt with the key.
encrypt_and_decrypt() {
  local button=$1 verdict=$2
  focus_main
  click_row '^输    入' "^$lockname"
  click_place input
  xdotool key ctrl+a
  paste_text "$chinese"
  xdotool type --delay 15 "$typed"
  wait_state "^button$button 1 "
  shot "typed-$button"
  click_place "button$button"
  answer "$3" Return
  copy_box
  clipboard | grep -qE '^(N_SI|SIGN)' || fail "no armored text: $(clipboard | head -2)"
  shot "encrypted-$button"
  click_row '^输    入' "^$keyname"
  paste_box
  wait_state '^button1 1 解 密'
  click_place button1
  answer "$verdict" Return
  copy_box
  [[ "$(clipboard)" == "$message" ]] || fail "decrypted '$(clipboard)', want '$message'"
  shot "decrypted-$button"
}
encrypt_and_decrypt 1 '解密完成' '完成! 用时'
note "encrypted and decrypted"
encrypt_and_decrypt 2 '签字通过验证' '完成! 用时'
note "signed, encrypted, decrypted and verified"

# ---- Single step: the box ticked, the encryption runs one block per press.
focus_main
click_row '^输    入' "^$lockname"
wait_state '^check 1 0 '
click_place check
wait_state '^check 1 1 '
presses=0
until grep -q '^message .*单步加密完成' "$MORVANE_STATE_DUMP"; do
  ((presses < 10)) || fail "single step never completed"
  wait_state '^button1 1 '
  click_place button1
  presses=$((presses + 1))
  sleep 0.4
  ((presses == 1)) && shot single-step
done
((presses >= 2)) || fail "the message took $presses press; it needs two blocks"
answer '单步加密完成' Return
focus_main
click_row '^输    入' "^$lockname"
wait_state '^check 1 1 '
click_place check
wait_state '^check 1 0 '
note "single step: $presses presses"

# ---- Save the book under its own password.
focus_main
click_row "^$keyname"
xdotool key ctrl+s
next_window "the book password"
xdotool key ctrl+a
xdotool type --delay 20 "$bookpw"
xdotool key Return
next_window "the file chooser"
xdotool key ctrl+a
xdotool type --delay 20 "journey.Bk"
shot save-as
xdotool key Return
book=$XDG_DATA_HOME/Morvane/journey.Bk
for _ in $(seq 50); do [[ -s $book ]] && break; sleep 0.1; done
[[ -s $book ]] || fail "no book file written"
wait_state '^bookname .*journey'
row_texts >"$work/rows-before"
note "saved"

# ---- Quit, answering the questions (the book is saved again under its own password).
quit_program "$bookpw"
note "closed"

# ---- Start again: log in; the book comes back as it was.
rm -f "$MORVANE_STATE_DUMP"
start_program
next_window "the login dialog"
xdotool type --delay 20 "$login"
xdotool key Return
# The last book opens again; its own password is asked for, since it is not the login one.
answer '通讯簿密码MD5验证未能通过' Return
next_window "the book's password"
xdotool type --delay 20 "$bookpw"
xdotool key Return
next_window "the main window"
main=$last_window
wait_state '^bookname .*journey'
wait_row "^$keyname"
sleep 0.3
row_texts >"$work/rows-after"
diff "$work/rows-before" "$work/rows-after" || fail "the book came back changed"
shot reopened
note "reopened as it was"

quit_program
echo "journey: ok in $(($(date +%s) - begin)) s"
