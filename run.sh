#!/usr/bin/env bash
# The one run command: sets up and builds like test.sh, then opens Cueboard on the video given.
# Without a video it uses a built-in demo video (made once with ffmpeg into the build tree): with a
# display the chooser opens on the demo's folder; without one the unattended job runs on the demo
# and the files it wrote are listed.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
# Only the program: the tests and benchmarks are ./test.sh's.
CUEBOARD_BUILD_TARGET=cueboard "$root/scripts/setup-build.sh"
build=${CUEBOARD_BUILD_DIR:-$root/build}
program="$build/src/app/cueboard"
if (($# > 0)); then
    exec "$program" "$@"
fi

demo="$build/demo/demo.vob"
"$root/scripts/make_demo_video.sh" "$demo"
if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    cd "$(dirname "$demo")"
    exec "$program"
fi

echo "No display: running the unattended job on the demo video."
out="$build/demo/out"
rm -rf "$out"
mkdir -p "$out"
"$program" "$demo" /outdir="$out" \
    /chapters="00:00:10.000,00:00:20.000,00:00:30.000,00:00:40.000,00:00:50.000" /auto
echo "Files written to $out:"
ls -l "$out"
