#!/usr/bin/env bash
# Fails when a source file differs from the repository's .clang-format style.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -co --exclude-standard -- \
    'base' 'model' 'link' 'store' 'portability' 'operations' 'lookup' 'playback' 'editing' 'shell' 'sim' 'ctl' 'fuzz' 'tests' 'bench' 'tools' \
    | grep -E '\.(cpp|h)$' || true)
if ((${#files[@]})); then
    clang-format --dry-run --Werror "${files[@]}"
fi
echo "format check: ${#files[@]} files clean"
