#!/usr/bin/env bash
# The layer check must fail on an upward include planted in a copy of the tree.
set -euo pipefail
source_root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"
cp "$source_root/src/DEPS" "$work/src/"
for folder in store app platform; do mkdir -p "$work/src/$folder"; done
printf '#include "platform/core/clock.h"\n' > "$work/src/store/fine.cpp"
python3 "$source_root/tests/layers/check_includes.py" "$work" >/dev/null
printf '#include "app/console.h"\n' > "$work/src/store/upward.cpp"
if python3 "$source_root/tests/layers/check_includes.py" "$work" > "$work/out"; then
    echo "an include of app from store passed the check"; exit 1
fi
grep -q 'store/upward.cpp:1' "$work/out"
rm "$work/src/store/upward.cpp"
printf '#include <QTimer>\n' > "$work/src/app/timer.cpp"
if python3 "$source_root/tests/layers/check_includes.py" "$work" >/dev/null; then
    echo "Qt outside app/qt passed the check"; exit 1
fi
echo "planted includes are caught"
