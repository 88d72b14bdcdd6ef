#!/usr/bin/env bash
# Fails when product code spins the event loop by hand or sleeps: waits on the changer are
# nested event loops woken by what they wait for, never processEvents() or a sleep.
set -euo pipefail
cd "$(dirname "$0")/.."
folders=()
for f in base model link operations lookup store shell playback editing ctl portability; do
    [ -d "$f" ] && folders+=("$f")
done
pattern='processEvents|[^a-zA-Z_]sleep[[:space:]]*\(|usleep|msleep|QThread::sleep|sleep_for|sleep_until|nanosleep'
if hits=$(grep -rnE "$pattern" --include='*.cpp' --include='*.h' "${folders[@]}"); then
    echo "Product code must not call processEvents() or sleep:" >&2
    echo "$hits" >&2
    exit 1
fi
echo "No processEvents() or sleeps in product code."
