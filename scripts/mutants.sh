#!/usr/bin/env bash
# Plants the faults of scripts/mutants.list one at a time in a scratch copy of the tree,
# builds incrementally, runs the tests each fault names and prints which test killed it.
#   scripts/mutants.sh                 every fault of the list
#   scripts/mutants.sh ID...           only these
# Environment: MUTANTS_DIR (scratch folder, default /tmp/trackfen-mutants).
#
# A line of the list: ID | FILE | TESTS | FIND | REPLACE | WHAT
# FIND is replaced literally, once (its first occurrence); a FIND that is not in FILE is
# reported as "not planted", so a list that has gone stale shows. TESTS is a ctest -R regex;
# since '|' separates the fields, a ',' in TESTS stands for the regex '|' ("tst_frame,tst_link").
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
list="$here/scripts/mutants.list"
work="${MUTANTS_DIR:-/tmp/trackfen-mutants}"
src="$work/src"
build="$work/build"

mkdir -p "$work"
# The tree as it is now (uncommitted changes included), without build folders.
rm -rf "$src"
mkdir -p "$src"
(cd "$here" && git ls-files -co --exclude-standard -z | xargs -0 cp --parents -t "$src")
export CCACHE_BASEDIR="$src" CCACHE_NOHASHDIR=1
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
echo "Building the unchanged tree..."
cmake --build "$build" >"$work/build.log" 2>&1 || {
    echo "The unchanged tree does not build: $work/build.log" >&2
    exit 1
}
test_home="$(mktemp -d)"
trap 'rm -rf "$test_home"' EXIT
export HOME="$test_home" XDG_CONFIG_HOME="$test_home/.config" XDG_DATA_HOME="$test_home/.local/share"

wanted=("$@")
selected() {
    ((${#wanted[@]} == 0)) && return 0
    local w
    for w in "${wanted[@]}"; do [ "$w" = "$1" ] && return 0; done
    return 1
}
trim() { sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' <<<"$1"; }

# The test programs a TESTS regex names (ctest calls them area.tst_name), and the programs
# they run, so that a fault rebuilds only what its tests need.
test_targets() {
    ctest --test-dir "$build" -N -R "$1" | sed -n 's/^.*Test *#[0-9]*: [a-z]*\.\(tst_[a-z_]*\)$/\1/p'
    echo changer-sim trackfen-ctl
}

printf '%-5s %-44s %s\n' "id" "fault" "result"
killed=0
survived=0
while IFS= read -r line; do
    [[ -z "${line// /}" || "$line" == \#* ]] && continue
    IFS='|' read -r id file tests find replace what <<<"$line"
    id=$(trim "$id")
    file=$(trim "$file")
    tests=$(trim "$tests")
    tests=${tests//,/|}
    find=$(trim "$find")
    replace=$(trim "$replace")
    what=$(trim "$what")
    selected "$id" || continue
    target="$src/$file"
    cp "$target" "$work/original"
    FIND="$find" REPLACE="$replace" perl -0pi -e \
        'BEGIN { $f = $ENV{FIND}; $r = $ENV{REPLACE}; } s/\Q$f\E/$r/' "$target"
    if cmp -s "$target" "$work/original"; then
        result="not planted (FIND not in $file)"
    elif ! cmake --build "$build" --target $(test_targets "$tests") >"$work/mutant-$id.log" 2>&1; then
        result="killed by the compiler"
        killed=$((killed + 1))
    else
        # ctest fails when a test fails; that is the answer wanted, not an error of the script.
        failing=$({ ctest --test-dir "$build" -R "$tests" -j2 --timeout 300 2>&1 || true; } |
            sed -n 's/^.*[0-9]* - \([a-z]*\.tst_[a-z_]*\) (.*$/\1/p' | sort -u | tr '\n' ' ')
        if [ -n "$failing" ]; then
            result="killed by ${failing% }"
            killed=$((killed + 1))
        else
            result="SURVIVED"
            survived=$((survived + 1))
        fi
    fi
    cp "$work/original" "$target"
    touch "$target"
    printf '%-5s %-44s %s\n' "$id" "${what:0:44}" "$result"
done <"$list"
# Leave the scratch build matching the tree again for the next run.
cmake --build "$build" >/dev/null 2>&1 || true
echo "killed $killed, survived $survived"
