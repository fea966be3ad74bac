#!/usr/bin/env bash
# The one run command: sets up and builds like test.sh, then opens Cueboard on the video given,
# or on a built-in demo video (made once with ffmpeg into the build tree).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/setup-build.sh"
build=${CUEBOARD_BUILD_DIR:-$root/build}
if (($# == 0)); then
    demo="$build/demo/demo.vob"
    "$root/scripts/make_demo_video.sh" "$demo"
    set -- "$demo"
fi
exec "$build/src/app/cueboard" "$@"
