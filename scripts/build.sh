#!/usr/bin/env bash
# Configures and builds TrackFen. Usage: scripts/build.sh BUILD_DIR BUILD_TYPE [extra cmake args]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$1"
build_type="$2"
shift 2
# ccache hits across checkouts of the tree (a fresh clone compiles what another built).
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$here}" CCACHE_NOHASHDIR=1
cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" "$@" >/dev/null
# Sources are found by globbing; make moc look at the file list again so a header added since
# the last build is not missed in an incremental build.
find "$build_dir" -path '*_autogen/timestamp' -delete 2>/dev/null || true
cmake --build "$build_dir"
