#!/usr/bin/env bash
# Seed corpora for the fuzz targets, into OUT/seeds/TARGET: pieces of the test videos, small
# videos made with ffmpeg for the decoder, and typical texts for the text readers.
#
#   scripts/fuzz_seeds.sh OUT
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=$1
SEEDS=$OUT/seeds
VIDEOS=$OUT/testvideos
bash tests/fixtures/make_test_videos.sh "$VIDEOS" >/dev/null
mkdir -p "$SEEDS"

videos=(pal.m2v pal.mpg pal_dvd.vob tones.vob ntsc_df.mpg ntsc_ndf.mpg film.m2v wide.mpg
        tc10h.m2v tc10h.vob oneseq.m2v mpeg1.mpg notmpeg.bin)
for target in fuzz_scanner fuzz_gop_search fuzz_clip; do
    mkdir -p "$SEEDS/$target"
    for video in "${videos[@]}"; do
        head -c 300000 "$VIDEOS/$video" >"$SEEDS/$target/head_$video"
        # The end of a video: the scanner reads the last blocks of a file.
        tail -c 200000 "$VIDEOS/$video" >"$SEEDS/$target/tail_$video"
    done
done

# Small pictures decode fast; a few GOPs of each kind of stream.
mkdir -p "$SEEDS/fuzz_decoder"
make_small() {
    local name=$1
    shift
    [[ -s $SEEDS/fuzz_decoder/$name ]] && return 0
    ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=96x64:rate=25 -frames:v 16 \
        -g 4 -bf 2 "$@" "$SEEDS/fuzz_decoder/.tmp_$name"
    mv "$SEEDS/fuzz_decoder/.tmp_$name" "$SEEDS/fuzz_decoder/$name"
}
make_small small.m2v -c:v mpeg2video -f mpeg2video
make_small small.mpg -c:v mpeg2video -f vob
make_small small_closed.m2v -c:v mpeg2video -flags +cgop -sc_threshold 1000000000 -f mpeg2video
make_small small_mpeg1.mpg -c:v mpeg1video -f mpeg
make_small small_interlaced.m2v -c:v mpeg2video -flags +ildct+ilme -f mpeg2video
head -c 250000 "$VIDEOS/pal.m2v" >"$SEEDS/fuzz_decoder/head_pal.m2v"
head -c 250000 "$VIDEOS/pal_dvd.vob" >"$SEEDS/fuzz_decoder/head_pal_dvd.vob"

seed() {
    mkdir -p "$SEEDS/$1"
    printf '%b' "$3" >"$SEEDS/$1/$2"
}
seed fuzz_timecode_text full '00000000000000000000000000001:02:03.456'
seed fuzz_timecode_text short '0000000000000000000000000001:2:3'
seed fuzz_timecode_text number '000000000000000000000000000012'
seed fuzz_timecode_text day '0000000000000000000000000000023:59:59.999'
seed fuzz_command_line quoted '"/videos/film.mpg" /outdir="/tmp/out dir" /chapters="00:00:00.000,00:01:00.000" /clips="5" /crop="8,8,-8,-8" /markonly /auto'
seed fuzz_command_line argv '/videos/my film.vob\0/outdir=/tmp/out\0/chapters=00:00:00.000,00:05:00\0/clips=3\0/auto'
seed fuzz_command_line plain 'film.m2v /crop=0,0,-16,-16 /markonly'
seed fuzz_cell_times list '00:00:00.000\r\n00:05:00.000\r\n00:10:00.040\r\n'
seed fuzz_cell_times commas '00:00:00.000, 00:01:00.000,00:02:00\n00:03:00.5\n'
seed fuzz_chapter_import file '\xef\xbb\xbf00:00:00.000\r\n00:10:00\r\nChapter 3 00:20:00.500\r\n'
seed fuzz_chapter_import clipboard '0:0:0,0:5:0,0:10:0'
seed fuzz_chapter_import single '00:01:00'
