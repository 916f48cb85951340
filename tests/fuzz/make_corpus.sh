#!/bin/bash
# Rewrites the seed corpus (tests/fuzz/corpus/<target>/) from the program's own outputs.
# Usage: tests/fuzz/make_corpus.sh [build folder]   (default: build; configured if missing)
# The files come out the same every time: fixed pool, padding, paths and sample book.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
build="${1:-$repo/build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$build" -G Ninja -DMORVANE_BENCH=OFF
fi
cmake --build "$build" --target morvane_fuzz_corpus
rm -rf "$here/corpus"
"$build/tests/fuzz/morvane_fuzz_corpus" "$here/corpus"
find "$here/corpus" -type f | sort | while read -r f; do
    printf '%7d  %s\n' "$(stat -c %s "$f")" "${f#"$here"/}"
done
