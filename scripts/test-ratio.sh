#!/usr/bin/env bash
# Prints the size of the tests against the product code: .cpp/.h lines under tests/ against
# .cpp/.h lines outside tests/, fuzz/ and bench/ (build folders left out).
set -euo pipefail
cd "$(dirname "$0")/.."
count() { find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 cat | wc -l; }
tests=$(count tests)
product=$(find . -type f \( -name '*.cpp' -o -name '*.h' \) \
    -not -path './tests/*' -not -path './fuzz/*' -not -path './bench/*' \
    -not -path './build*' -not -path './.git/*' -print0 | xargs -0 cat | wc -l)
awk -v t="$tests" -v p="$product" \
    'BEGIN { printf "Tests: %d lines against %d lines of product code: %.2f\n", t, p, t / p }'
