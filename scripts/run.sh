#!/usr/bin/env bash
# Installs what is missing, builds TrackFen (release) and starts it.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
bash scripts/install-deps.sh
bash scripts/build.sh build-release Release -DTRACKFEN_BUILD_TESTS=OFF
exec build-release/shell/trackfen
