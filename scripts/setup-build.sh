#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need (only those missing), then
# configures and builds into ./build. Used by test.sh and run.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
    cmake ninja-build build-essential pkg-config
    qt6-base-dev qt6-qpa-plugins
    libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
    libgtest-dev libbenchmark-dev
    ffmpeg
)

missing=()
for pkg in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done
if ((${#missing[@]})); then
    echo "Installing missing packages: ${missing[*]}"
    SUDO=()
    if [[ $(id -u) -ne 0 ]]; then SUDO=(sudo); fi
    "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "${missing[@]}"
fi

BUILD_DIR=${CUEBOARD_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
