#!/usr/bin/env bash
# Installs what is missing, builds TrackFen and runs the whole test suite.
#   scripts/test.sh              debug build in build/
#   scripts/test.sh --sanitize   the same tests built with AddressSanitizer and UBSan, in build-asan/
# Extra arguments after the options go to ctest (e.g. -R tst_frame).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

build_dir=build
cmake_args=(-DTRACKFEN_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
    shift
    build_dir=build-asan
    cmake_args+=(-DTRACKFEN_SANITIZE=ON)
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
    export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

bash scripts/install-deps.sh
bash scripts/check-format.sh
bash scripts/check-waits.sh
bash scripts/check-layers.sh
bash scripts/build.sh "$build_dir" Debug "${cmake_args[@]}"
# Tests never read the user's real settings: they get a home of their own.
test_home="$(mktemp -d)"
trap 'rm -rf "$test_home"' EXIT
export HOME="$test_home" XDG_CONFIG_HOME="$test_home/.config" XDG_DATA_HOME="$test_home/.local/share"
ctest --test-dir "$build_dir" --output-on-failure -j2 "$@"
# The benchmarks are built and run once with tiny sizes so they never rot (no verdicts).
if [ "$build_dir" = build ] && [ $# -eq 0 ]; then
    bash bench/run --quick "$build_dir"
fi
bash scripts/test-ratio.sh
