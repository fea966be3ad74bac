#!/usr/bin/env bash
# Makes the demo video: a 60-second 720x576 25 fps DVD-style program stream (with navigation
# packs and an audio track) showing a moving test pattern. Usage: make_demo_video.sh OUTFILE
set -euo pipefail
out=$1
if [[ -s $out ]]; then exit 0; fi
mkdir -p "$(dirname "$out")"
tmp="$out.part"
ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=720x576:rate=25:duration=60" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=60" \
    -target pal-dvd -aspect 4:3 -g 12 -b:v 5000k \
    -fflags +bitexact -flags +bitexact -f dvd "$tmp"
mv -f "$tmp" "$out"
