#!/usr/bin/env bash
# Every text the program marks has an English translation that keeps its placeholders: lupdate
# runs over the sources (as translations/README.md says) on copies of the .ts files, and any
# entry left unfinished, or a translation that drops or adds a %1..%9, fails.
#   check-translations.sh <lupdate> <source folder>
set -euo pipefail
lupdate=${1:?usage: check-translations.sh <lupdate> <source folder>}
src=${2:?usage: check-translations.sh <lupdate> <source folder>}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$src/translations/morvane_core_en.ts" "$src/translations/morvane_window_en.ts" "$scratch/"
cd "$src"
common=(-locations none -no-obsolete -source-language zh_CN -target-language en
        -tr-function-alias QT_TRANSLATE_NOOP+=MORVANE_TR -I .)
"$lupdate" "${common[@]}" book crypto message platform -ts "$scratch/morvane_core_en.ts" >"$scratch/core.log" 2>&1 ||
  { cat "$scratch/core.log"; exit 1; }
"$lupdate" "${common[@]}" ui -ts "$scratch/morvane_window_en.ts" >"$scratch/window.log" 2>&1 ||
  { cat "$scratch/window.log"; exit 1; }
python3 - "$scratch/morvane_core_en.ts" "$scratch/morvane_window_en.ts" <<'PY'
import re, sys
import xml.etree.ElementTree as ET
bad = []
count = 0
for path in sys.argv[1:]:
    for context in ET.parse(path).getroot().iter('context'):
        name = context.findtext('name')
        for m in context.iter('message'):
            count += 1
            source = m.findtext('source') or ''
            t = m.find('translation')
            text = (t.text or '') if t is not None else ''
            where = f"{path.rsplit('/', 1)[-1]}: {name}: {source!r}"
            if t is None or t.get('type') in ('unfinished', 'vanished', 'obsolete') or not text.strip():
                bad.append(f"untranslated: {where}")
            elif sorted(re.findall(r'%[1-9]', source)) != sorted(re.findall(r'%[1-9]', text)):
                bad.append(f"placeholders differ: {where} -> {text!r}")
for b in bad:
    print(b)
if count == 0:
    print("no texts found: lupdate saw no marked text")
    sys.exit(1)
print(f"{count} texts, {len(bad)} faults")
sys.exit(1 if bad else 0)
PY
