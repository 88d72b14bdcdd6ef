#!/usr/bin/env bash
# Builds the Debian package in build-release/ and checks it with lintian (Debian 12, as root
# for the tools it installs). Prints the package's path and lintian's findings.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
bash scripts/install-deps.sh
# dpkg-shlibdeps computes the package's dependencies from the binaries; lintian checks it.
for p in dpkg-dev lintian file; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p"
    fi
done
bash scripts/build.sh build-release Release -DTRACKFEN_BUILD_TESTS=OFF
cmake --build build-release --target package
deb="$(ls build-release/trackfen_*.deb)"
echo "$deb"
lintian --fail-on error --tag-display-limit 0 "$deb"
