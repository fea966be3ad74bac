#!/usr/bin/env bash
# Builds the benchmarks, prepares their videos (the 60 s demo VOB and a 4.5 GiB sparse VOB with
# real video at both ends) and runs them with repetitions; the medians are the figures to read.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-build.sh"
build=${CUEBOARD_BUILD_DIR:-$root/build}
dir="$build/bench-data"
mkdir -p "$dir"
"$root/scripts/make_demo_video.sh" "$dir/demo.vob"
# The same video as a plain program stream and as an elementary stream.
[[ -s $dir/demo.mpg ]] || ffmpeg -nostdin -v error -i "$dir/demo.vob" -map 0:v -c copy -f vob "$dir/demo.mpg"
[[ -s $dir/demo.m2v ]] || ffmpeg -nostdin -v error -i "$dir/demo.vob" -map 0:v -c copy -f mpeg2video "$dir/demo.m2v"
# 1920x1080, shown scaled in the editor.
[[ -s $dir/demo_hd.m2v ]] || ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=20 \
    -c:v mpeg2video -b:v 15000k -g 12 -aspect 16:9 -f mpeg2video "$dir/demo_hd.m2v"
if [[ ! -s $dir/big.vob ]]; then
    # 3 MB of the demo at the start, 3 MB at the end, a hole of zeros between.
    size=$((4 * 1024 * 1024 * 1024 + 512 * 1024 * 1024))
    demo_size=$(stat -c %s "$dir/demo.vob")
    head -c 3000000 "$dir/demo.vob" >"$dir/big.vob.part"
    truncate -s $((size - 3000000)) "$dir/big.vob.part"
    tail -c 3000000 "$dir/demo.vob" >>"$dir/big.vob.part"
    mv "$dir/big.vob.part" "$dir/big.vob"
    echo "big.vob: $size bytes (sparse; demo is $demo_size bytes)"
fi
if [[ ! -s $dir/long.vob ]]; then
    # demo.vob thirteen times over (about 540 MB): the 500 MB range of bench_export.
    for _ in $(seq 13); do cat "$dir/demo.vob"; done >"$dir/long.vob.part"
    mv "$dir/long.vob.part" "$dir/long.vob"
fi
# Warm the page cache.
cat "$dir/demo.vob" >/dev/null
cat "$dir/demo.mpg" "$dir/demo.m2v" "$dir/demo_hd.m2v" "$dir/long.vob" >/dev/null
for bench in bench_stream bench_viewer bench_export bench_navigation bench_playback; do
    CUEBOARD_BENCH_DIR=$dir "$build/bench/$bench" --benchmark_repetitions=${REPS:-5} \
        --benchmark_report_aggregates_only=true "$@"
done
