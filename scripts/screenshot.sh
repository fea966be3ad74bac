#!/usr/bin/env bash
# Takes a screenshot of the real Cueboard window under a virtual X server (Xvfb), with the
# ffmpeg command's X11 grabber. Usage: screenshot.sh OUT.png [VIDEO [OPTIONS]]
# Without VIDEO the demo video is shown. Environment: LANGID=2000 for German texts.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "$1")
shift
build=${CUEBOARD_BUILD_DIR:-$root/build}
if ! command -v xvfb-run >/dev/null; then
    SUDO=()
    if [[ $(id -u) -ne 0 ]]; then SUDO=(sudo); fi
    "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq xvfb xauth >/dev/null
fi
if (($# == 0)); then
    "$root/scripts/make_demo_video.sh" "$build/demo/demo.vob"
    set -- "$build/demo/demo.vob"
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
if [[ -n ${LANGID:-} ]]; then printf '[Startup]\nLangID=%s\n' "$LANGID" >"$home/OrvelStudio.conf"; fi
export XDG_CONFIG_HOME=$home TMPDIR=$home
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1000x760x24" bash -c '
    "$0" "$@" &
    app=$!
    sleep "${SHOT_DELAY:-2}"
    ffmpeg -nostdin -v error -y -f x11grab -video_size 1000x760 -i "$DISPLAY" -frames:v 1 "'"$out"'"
    kill $app; wait $app 2>/dev/null || true
' "$build/src/app/cueboard" "$@"
echo "wrote $out"
