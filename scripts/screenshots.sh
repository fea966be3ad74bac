#!/usr/bin/env bash
# Takes the README's screenshots (docs/*.png) of the real windows under a virtual X server.
# Usage: scripts/screenshots.sh [OUTDIR]   (default: docs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs}")
build=${CUEBOARD_BUILD_DIR:-$root/build}
"$root/scripts/setup-build.sh" >/dev/null
if ! command -v xvfb-run >/dev/null; then
    SUDO=()
    if [[ $(id -u) -ne 0 ]]; then SUDO=(sudo); fi
    "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq xvfb xauth >/dev/null
fi
"$root/scripts/make_demo_video.sh" "$build/demo/demo.vob"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_CONFIG_HOME=$home TMPDIR=$home QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build/tools/cueboard_screenshots" "$out" "$build/demo/demo.vob"
# The shown picture on a laptop-sized screen: a 1920x1080 stream, a 16:9 DVD at its aspect.
hd=$build/demo/hd.m2v wide=$build/demo/wide.vob
[[ -s $hd ]] || ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=6 \
    -c:v mpeg2video -b:v 12000k -g 12 -aspect 16:9 -f mpeg2video "$hd"
[[ -s $wide ]] || ffmpeg -nostdin -v error -i "$build/demo/demo.vob" -map 0:v -t 20 \
    -c:v mpeg2video -b:v 6000k -g 12 -aspect 16:9 -f vob "$wide"
xvfb-run -a -s "-screen 0 1366x768x24" \
    "$build/tools/cueboard_screenshots" --shown "$out" "$hd" "$wide"
