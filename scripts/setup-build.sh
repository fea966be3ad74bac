#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need (only those missing), then
# configures and builds into ./build (or $CUEBOARD_BUILD_DIR, with the extra CMake settings in
# $CUEBOARD_CMAKE_ARGS; only $CUEBOARD_BUILD_TARGET when set). Used by test.sh and run.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
    cmake ninja-build build-essential pkg-config
    qt6-base-dev qt6-qpa-plugins
    libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
    libgtest-dev libbenchmark-dev
    ffmpeg
    dvdauthor lsdvd mkvtoolnix
)

source scripts/packages.sh
install_missing "${PACKAGES[@]}"

BUILD_DIR=${CUEBOARD_BUILD_DIR:-build}
# shellcheck disable=SC2086 # the extra settings are separate words
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} \
    ${CUEBOARD_CMAKE_ARGS:-} >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" ${CUEBOARD_BUILD_TARGET:+--target "$CUEBOARD_BUILD_TARGET"}
