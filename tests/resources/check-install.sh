#!/usr/bin/env bash
# Installs the build into a scratch prefix, then checks that the program, the desktop entry,
# the metainfo and the icons are where desktops look for them and that the freedesktop
# validators accept them, and that the terminal program comes with its manual page and bash
# completion.
#   check-install.sh <cmake> <build dir> <scratch prefix>
set -euo pipefail
cmake=$1 build=$2 prefix=$3
id=org.morvane.Morvane

for tool in desktop-file-validate appstreamcli; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed (tools/dev.sh installs it)"
    exit 77
  fi
done

rm -rf "$prefix"
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "$*" >&2; exit 1; }
[ -x "$prefix/bin/morvane" ] || fail "bin/morvane missing"
desktop="$prefix/share/applications/$id.desktop"
metainfo="$prefix/share/metainfo/$id.metainfo.xml"
[ -f "$desktop" ] || fail "desktop entry missing"
[ -f "$metainfo" ] || fail "metainfo missing"
[ -f "$prefix/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "scalable icon missing"

# PNG width and height are the big-endian words at bytes 16 and 20.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'; }
for s in 16 22 24 32 48 64 128 256; do
  png="$prefix/share/icons/hicolor/${s}x${s}/apps/$id.png"
  [ -f "$png" ] || fail "icon ${s}x${s} missing"
  [ "$(png_size "$png")" = "${s}x${s}" ] || fail "icon ${s}x${s} is $(png_size "$png")"
done

[ -x "$prefix/bin/morvane-cli" ] || fail "bin/morvane-cli missing"
"$prefix/bin/morvane-cli" --version >/dev/null || fail "morvane-cli does not run"
for page in morvane-cli morvane; do
  man1="$prefix/share/man/man1/$page.1"
  [ -f "$man1" ] || man1=$man1.gz
  [ -f "$man1" ] || fail "$page manual page missing"
  if command -v groff >/dev/null; then
    warnings=$(zcat -f "$man1" | LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$page manual page: $warnings"
  fi
done
completion="$prefix/share/bash-completion/completions/morvane-cli"
[ -f "$completion" ] || fail "morvane-cli bash completion missing"
bash -n "$completion" || fail "bash completion does not parse"
bash -c "source '$completion' && complete -p morvane-cli" >/dev/null || fail "completion not registered"
zcompletion="$prefix/share/zsh/site-functions/_morvane-cli"
[ -f "$zcompletion" ] || fail "morvane-cli zsh completion missing"
if command -v zsh >/dev/null; then
  zsh -n "$zcompletion" || fail "zsh completion does not parse"
fi

grep -qx "Icon=$id" "$desktop" || fail "desktop entry names another icon"
grep -qx "Exec=morvane" "$desktop" || fail "desktop entry starts another program"
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$metainfo"
