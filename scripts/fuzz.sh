#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one for a while.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     (default: 60 seconds, every target)
# Each target runs on a fresh copy of its seed corpus (fuzz/corpus/<target>/ and the golden
# files fuzz/seeds.list names); the repository's corpus is never changed. A crash or broken invariant is kept as
# build-fuzz/fuzz-runs/<target>/crash-* and makes the script exit non-zero. Installs nothing:
# clang and libclang-rt-14-dev come from scripts/install-deps.sh.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

seconds=60
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    seconds="$1"
    shift
fi
# The target list lives in fuzz/CMakeLists.txt.
mapfile -t all_targets < <(sed -n '/^set(TRACKFEN_FUZZ_TARGETS$/,/)/p' fuzz/CMakeLists.txt |
    sed '1d; s/)//' | tr -s ' ' '\n' | sed '/^$/d')
targets=("$@")
((${#targets[@]})) || targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
    if [[ ! " ${all_targets[*]} " =~ " $t " ]]; then
        echo "unknown fuzz target: $t (known: ${all_targets[*]})" >&2
        exit 2
    fi
done

build_dir=build-fuzz
export CCACHE_BASEDIR="$here" CCACHE_NOHASHDIR=1
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DTRACKFEN_FUZZ=ON -DTRACKFEN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target "${targets[@]/#/fuzz_}"

# The targets' scratch folders, in memory when possible; gone after the run, crash or not.
fuzz_tmp_base=/dev/shm
[ -w "$fuzz_tmp_base" ] || fuzz_tmp_base="${TMPDIR:-/tmp}"
export TRACKFEN_FUZZ_TMP="$fuzz_tmp_base/trackfen-fuzz-$$"
trap 'rm -rf "$TRACKFEN_FUZZ_TMP"' EXIT

# Leaks are not looked for: Qt keeps process-wide caches that are never freed.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

failed=()
summary=()
for t in "${targets[@]}"; do
    run="$build_dir/fuzz-runs/$t"
    rm -rf "$run/corpus"
    mkdir -p "$run/corpus"
    if [ -d "fuzz/corpus/$t" ]; then cp -r "fuzz/corpus/$t/." "$run/corpus/"; fi
    # Golden files of the tests that seed this target (fuzz/seeds.list).
    while read -r target pattern; do
        [[ "$target" == "$t" ]] || continue
        for seed in $pattern; do cp "$seed" "$run/corpus/"; done
    done < <(grep -v '^#' fuzz/seeds.list)
    log="$run/fuzz.log"
    echo "== fuzz_$t: ${seconds} s"
    set +e
    "$build_dir/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 \
        -timeout=20 -print_final_stats=1 -artifact_prefix="$run/" "$run/corpus" >"$log" 2>&1
    rc=$?
    set -e
    execs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log" | tail -1)
    echo "fuzz_$t: ${execs:-?} executions"
    if ((rc != 0)); then
        crash=$(ls -t "$run"/crash-* "$run"/leak-* "$run"/timeout-* "$run"/oom-* 2>/dev/null |
            head -1 || true)
        grep -E "ERROR|invariant violated|SUMMARY" "$log" | head -5
        summary+=("FAIL fuzz_$t: ${execs:-?} executions in ${seconds} s, exit $rc, input kept: ${crash:-none} (log $log)")
        failed+=("$t")
    else
        summary+=("ok   fuzz_$t: ${execs:-?} executions in ${seconds} s")
    fi
done

echo
echo "== fuzz summary"
printf '%s\n' "${summary[@]}"
if ((${#failed[@]})); then
    echo "crashes in: ${failed[*]}" >&2
    exit 1
fi
