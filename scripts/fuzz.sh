#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer, libFuzzer)
# into ./build-fuzz, seeds their corpora from the test videos and runs them.
#
#   scripts/fuzz.sh [-t SECONDS] [-j PARALLEL] [TARGET...]
#
# Each target runs for SECONDS (default 600); PARALLEL targets run at once (default 1). Without
# targets all run. Corpora grow in build-fuzz/corpus/TARGET, inputs that crash, hang or leak are
# kept in build-fuzz/artifacts/TARGET, and each run's log is build-fuzz/logs/TARGET.log. The
# summary lists runs, executions and findings per target.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
SECONDS_EACH=600
PARALLEL=1
while getopts "t:j:" opt; do
    case $opt in
        t) SECONDS_EACH=$OPTARG ;;
        j) PARALLEL=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
ALL=(fuzz_scanner fuzz_gop_search fuzz_timecode_text fuzz_command_line fuzz_cell_times
     fuzz_chapter_import fuzz_clip fuzz_decoder)
TARGETS=("$@")
((${#TARGETS[@]})) || TARGETS=("${ALL[@]}")

source scripts/packages.sh
install_missing cmake ninja-build clang libclang-rt-14-dev pkg-config qt6-base-dev \
    libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg

OUT=$ROOT/build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$OUT" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCUEBOARD_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$OUT" --target fuzzers -j "$(nproc)"

scripts/fuzz_seeds.sh "$OUT"

run_one() {
    local target=$1
    mkdir -p "$OUT/corpus/$target" "$OUT/artifacts/$target" "$OUT/logs" "$OUT/work/$target"
    # Relative paths in the inputs resolve in an empty folder.
    cd "$OUT/work/$target"
    # Hangs: 10 s per input; memory: 2 GiB; inputs up to 1 MiB (the scanner and the searches read
    # their files in blocks of 100000 bytes, the decoder needs a few GOPs).
    ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$OUT/fuzz/$target" "$OUT/corpus/$target" "$OUT/seeds/$target" \
        -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -max_len=1048576 \
        -print_final_stats=1 -artifact_prefix="$OUT/artifacts/$target/" \
        >"$OUT/logs/$target.log" 2>&1 || true
}

for target in "${TARGETS[@]}"; do
    while (($(jobs -rp | wc -l) >= PARALLEL)); do sleep 1; done
    echo "fuzzing $target for $SECONDS_EACH s"
    run_one "$target" &
done
wait

printf '%-22s %8s %12s %10s %s\n' target seconds executions corpus findings
status=0
for target in "${TARGETS[@]}"; do
    log=$OUT/logs/$target.log
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
    secs=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | awk '{print $5}' || true)
    corpus=$(find "$OUT/corpus/$target" -type f | wc -l)
    findings=$(find "$OUT/artifacts/$target" -type f | wc -l)
    printf '%-22s %8s %12s %10s %s\n' "$target" "${secs:-?}" "${runs:-0}" "$corpus" "$findings"
    ((findings == 0)) || status=1
done
exit $status
