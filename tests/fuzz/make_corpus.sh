#!/bin/bash
# Rewrites the seed corpus (tests/fuzz/corpus/<target>/) from the program's own outputs, and
# adds the inputs fuzzing found (tests/fuzz/found/<target>/, kept in the repository).
# Usage: tests/fuzz/make_corpus.sh [build folder]   (default: build; configured if missing)
#        tests/fuzz/make_corpus.sh --merge <fuzz build folder> <target> <folder>...
#   The second form keeps, of the inputs in the folders (a fuzzing run's corpus), those that
#   add coverage edges to the seed corpus (libFuzzer's -merge=1, which also prefers the smaller
#   of two inputs with the same coverage; hit counts are left out, or the corpus grows tenfold
#   for the same edges), stores them in found/<target>/ and the seed corpus.
# The program's own files come out the same every time: fixed pool, padding, paths and book.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"

if [ "${1:-}" = "--merge" ]; then
    [ $# -ge 4 ] || { echo "usage: $0 --merge <fuzz build folder> <target> <folder>..." >&2; exit 2; }
    fuzzer="$2/tests/fuzz/fuzz_$3"
    target="$3"
    shift 3
    [ -x "$fuzzer" ] || { echo "no fuzzer $fuzzer" >&2; exit 2; }
    merged="$(mktemp -d)"
    trap 'rm -rf "$merged"' EXIT
    cp "$here/corpus/$target"/* "$merged"/
    "$fuzzer" -merge=1 -use_counters=0 "$merged" "$@" 2>&1 | grep -E "MERGE-OUTER: [0-9]+ new files" || true
    mkdir -p "$here/found/$target"
    for f in "$merged"/*; do
        name="$(basename "$f")"
        [ -e "$here/corpus/$target/$name" ] && continue
        cp "$f" "$here/found/$target/$name"
        cp "$f" "$here/corpus/$target/$name"
    done
    printf '%s: %d found inputs, %d bytes\n' "$target" "$(find "$here/found/$target" -type f | wc -l)" \
        "$(cat "$here/found/$target"/* 2>/dev/null | wc -c)"
    exit 0
fi

build="${1:-$repo/build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$build" -G Ninja -DMORVANE_BENCH=OFF
fi
cmake --build "$build" --target morvane_fuzz_corpus
rm -rf "$here/corpus"
"$build/tests/fuzz/morvane_fuzz_corpus" "$here/corpus"
if [ -d "$here/found" ]; then
    for dir in "$here/found"/*/; do
        target="$(basename "$dir")"
        mkdir -p "$here/corpus/$target"
        cp "$dir"* "$here/corpus/$target"/ 2>/dev/null || true
    done
fi
find "$here/corpus" -type f | sort | while read -r f; do
    printf '%7d  %s\n' "$(stat -c %s "$f")" "${f#"$here"/}"
done
