#!/usr/bin/env bash
# Every message the sources mark for translation (T_ and N_) has its
# translation in every catalog po/LANG.po, and no catalog keeps one the
# sources no longer have. With --drop-one, a catalog whose first translation
# is taken out must be found lacking: the check of the check.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git ls-files 'src/*.cpp' 'src/*.h' >"$work/files" 2>/dev/null || find src -name '*.cpp' -o -name '*.h' >"$work/files"
xgettext --language=C++ --from-code=UTF-8 --keyword=T_ --keyword=N_ --no-location --omit-header \
  -f "$work/files" -o "$work/messages.pot"
status=0
for po in po/*.po; do
  if [ "${1:-}" = --drop-one ]; then
    # the first msgstr after the header emptied
    awk 'BEGIN {n = 0} /^msgstr "/ {n++; if (n == 2) {print "msgstr \"\""; next}} {print}' "$po" >"$work/dropped.po"
    po="$work/dropped.po"
  fi
  if ! msgcmp "$po" "$work/messages.pot" 2>"$work/missing"; then
    echo "$po lacks translations:" && cat "$work/missing"
    status=1
  fi
  # a message of one and not of the other: missing, or no longer used
  if msgcomm --unique --no-location "$work/messages.pot" "$po" 2>/dev/null | grep -q '^msgid "[^"]'; then
    echo "$po and the sources differ in these messages (missing, or no longer used):"
    msgcomm --unique --no-location "$work/messages.pot" "$po" | grep '^msgid "[^"]'
    status=1
  fi
done
[ $status -eq 0 ] && echo "every message has its translation"
exit $status
