#!/usr/bin/env bash
# Installs the Debian packages TrackFen needs to build, test and run (Debian 12, as root).
# Packages already present are not touched; apt is only asked when something is missing.
set -euo pipefail

packages=(
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libqt6network6 qtkeychain-qt6-dev
    libdiscid-dev
    cmake g++ ninja-build ccache pkg-config clang-format
    clang libclang-rt-14-dev
    xvfb xauth
    # The desktop media-player tests: a private session bus, and playerctl as a real client.
    dbus-daemon playerctl
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages; run as root (or with sudo): apt-get install ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
