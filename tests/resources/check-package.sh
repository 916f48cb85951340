#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it as Debian would: lintian finds no
# error, every installed file lies at its Debian path, and both programs run from the package's
# files extracted into a scratch folder (the window through the first-start journey).
#   check-package.sh <cpack> <build dir> <scratch folder> <first-start script>
set -euo pipefail
cpack=$1 build=$2 scratch=$3 first_start=$4
id=org.morvane.Morvane

for tool in dpkg-deb dpkg-shlibdeps lintian; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (tools/dev.sh installs it)"
    exit 77
  fi
done

fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$scratch"
mkdir -p "$scratch"
(cd "$build" && "$cpack" -G DEB -B "$scratch" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; fail "cpack"; }
deb=$(ls "$scratch"/morvane_*_amd64.deb 2>/dev/null | head -1)
[[ -n "$deb" ]] || deb=$(ls "$scratch"/morvane_*.deb | head -1)
[[ -f "$deb" ]] || fail "no package was made"
echo "package: $(basename "$deb")"

# Accepted lintian tags, each with its reason:
#  - initial-upload-closes-no-bugs: the package is not uploaded to Debian, so no ITP bug exists.
#  - no-manual-page: none; both programs have one.
accepted=(initial-upload-closes-no-bugs)
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
echo "$lintian_out"
errors=$(grep -E '^E: ' <<<"$lintian_out" || true)
[[ -z "$errors" ]] || fail "lintian reports errors"
while read -r line; do
  [[ -z "$line" ]] && continue
  tag=$(awk '{ print $3 }' <<<"$line")
  printf '%s\n' "${accepted[@]}" | grep -qx "$tag" || fail "lintian warning not accepted: $line"
done < <(grep -E '^W: ' <<<"$lintian_out" || true)

contents=$(dpkg-deb --contents "$deb" | awk '{ print $6 }' | sed 's|^\./|/|')
for path in /usr/bin/morvane /usr/bin/morvane-cli \
            /usr/share/applications/$id.desktop /usr/share/metainfo/$id.metainfo.xml \
            /usr/share/icons/hicolor/scalable/apps/$id.svg \
            /usr/share/icons/hicolor/48x48/apps/$id.png /usr/share/icons/hicolor/256x256/apps/$id.png \
            /usr/share/man/man1/morvane.1.gz /usr/share/man/man1/morvane-cli.1.gz \
            /usr/share/bash-completion/completions/morvane-cli /usr/share/zsh/vendor-completions/_morvane-cli \
            /usr/share/doc/morvane/copyright /usr/share/doc/morvane/changelog.gz; do
  grep -qx "$path" <<<"$contents" || fail "the package lacks $path"
done
for qm in $(cd "$build" && find . -name 'morvane_*.qm' -printf '%f\n' 2>/dev/null); do
  grep -qx "/usr/share/morvane/translations/$qm" <<<"$contents" || fail "the package lacks the translation $qm"
done
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
grep -q 'libqt6widgets6' <<<"$depends" || fail "the dependencies were not read off the binaries"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
"$root/usr/bin/morvane-cli" --help >/dev/null || fail "morvane-cli from the package does not run"
bash "$first_start" "$root/usr/bin/morvane"
