#!/usr/bin/env bash
# Include rules: Qt only in ui/ (and its tests); each layer includes only itself and the layers
# below it: ui and cli -> message -> book -> crypto -> bignum, with platform below all of them.
set -u
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2
declare -A allowed=(
  [platform]="platform"
  [bignum]="bignum platform"
  [crypto]="crypto bignum platform"
  [book]="book crypto bignum platform"
  [message]="message book crypto bignum platform"
  [cli]="cli message book crypto bignum platform"
)
bad=0
for layer in "${!allowed[@]}"; do
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^#include\s*"([^/"]+)\/.*/\1/' <<<"$text")
    [[ "$target" == "$text" ]] && continue  # same-folder include
    if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
      echo "$file:$line: $layer may not include $target: $text"
      bad=1
    fi
  done < <(grep -nE '^#include\s*"' "$layer"/*.h "$layer"/*.cpp 2>/dev/null)
done
# Qt headers outside ui/ and the window's tests and benchmark.
while IFS= read -r hit; do
  echo "$hit: Qt outside ui/"
  bad=1
done < <(grep -rnE '^#include\s*<Q|^#include\s*<qt' --include='*.h' --include='*.cpp' \
          platform bignum crypto book message cli bench tests 2>/dev/null | grep -vE '^(tests|bench)/ui/')
if ((bad)); then exit 1; fi
echo "layers: every include points down"
