// Decoder speed: a jump (close, open, seek to a mid-file GOP, draw) as the editor does it for
// every step; the decoder alone doing that step at every GOP in turn, against decoding the same
// I-picture on its own; sequential next-picture steps with drawing into the picture box, against
// the ffmpeg command decoding the same file on one thread.
//
// Files come from CUEBOARD_BENCH_DIR: demo.vob (DVD-style), demo.mpg (program stream) and
// demo.m2v (elementary stream), all 60 s of 720x576 at 25 fps.

#include "BenchSupport.h"
#include "crop/PictureBox.h"
#include "stream/ByteSearch.h"
#include "stream/FileAccess.h"
#include "viewer/IPictureDecode.h"
#include "viewer/Mpeg2Decoder.h"
#include "viewer/MpegLibModule.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <vector>

namespace {

// The GOP header nearest the middle of the file.
qint64 MidGop(const QString& path) {
    const qint64 size = FileSizeOf(path);
    QByteArray block;
    const qint32 got = ReadFileBlockAt(path, 2000000, size / 2, block);
    const qsizetype k = FindFirst(QByteArrayView(block.constData(), got), Pattern(StartCode::Gop));
    return k ? size / 2 + k - 1 : size / 2;
}

void Jump(benchmark::State& state, const char* name, bool programStream) {
    const QString video = BenchFile(name);
    MpegLibModule source;
    PictureBox box;
    const qint64 gop = MidGop(video);
    const qint64 target = programStream && gop > 300 ? gop - 256 : gop;
    source.OpenDecoder(video);
    for (auto _ : state) {
        source.CloseDecoder();
        source.OpenDecoder(video);
        source.SeekAndRender(target);
        box.setPicture(source.Picture);
        box.repaint();
    }
    if (box.picture().isNull())
        state.SkipWithError("nothing decoded: missing bench file?");
}

// Offsets of every GOP header of a file.
std::vector<qint64> GopHeaders(const QString& path) {
    std::vector<qint64> gops;
    const qint64 size = FileSizeOf(path);
    constexpr qint32 Block = 4 * 1024 * 1024;
    QByteArray block;
    // Blocks overlap by three bytes, so that no header is cut in two.
    for (qint64 at = 0; at < size; at += Block - 3) {
        const QByteArrayView bytes(block.constData(), ReadFileBlockAt(path, Block, at, block));
        for (qsizetype k = FindFirst(bytes, Pattern(StartCode::Gop)); k != 0;
             k = FindFirst(bytes, Pattern(StartCode::Gop), k + 1))
            if (gops.empty() || at + k - 1 > gops.back())
                gops.push_back(at + k - 1);
    }
    return gops;
}

// The decoder's part of a GOP step (close, open the same file, seek to the GOP header, take the
// picture), one GOP after the other; each step is timed, and so is decoding the same I-picture on
// its own with an open decoder. Counters in ms: median and 95th percentile of the steps, median
// of the lone decodes, and the ratio of the medians.
void GopOpenSeekPicture(benchmark::State& state, const char* name) {
    const QString path = BenchFile(name);
    const std::vector<qint64> gops = GopHeaders(path);
    const QByteArray file = QFile::encodeName(path);
    Mpeg2Decoder decoder;
    IPictureDecode alone;
    if (gops.empty() || decoder.OpenMPEG2File(file.constData(), 0, -10000) != 0 ||
        !alone.open(path)) {
        state.SkipWithError("nothing to decode: missing bench file?");
        return;
    }
    decoder.SetMPEG2PixelFormat(1);
    decoder.SetRGBScaleFlag(1);
    std::vector<double> stepMs, aloneMs;
    size_t next = 0;
    for (auto _ : state) {
        const qint64 gop = gops[next++ % gops.size()];
        QElapsedTimer clock;
        clock.start();
        decoder.CloseMPEG2File();
        decoder.OpenMPEG2File(file.constData(), 0, -10000);
        decoder.SetMPEG2PixelFormat(1);
        decoder.SetRGBScaleFlag(1);
        decoder.MPEG2Seek(gop);
        const bool shown = decoder.GetMPEG2Frame() && decoder.LastPictureType() == 'I';
        const qint64 ns = clock.nsecsElapsed();
        state.SetIterationTime(double(ns) / 1e9);
        stepMs.push_back(double(ns) / 1e6);
        if (!shown || !alone.load(gop)) {
            state.SkipWithError("no I-picture at a GOP");
            return;
        }
        clock.start();
        const bool decoded = alone.decode();
        aloneMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (!decoded) {
            state.SkipWithError("the I-picture did not decode on its own");
            return;
        }
    }
    std::sort(stepMs.begin(), stepMs.end());
    std::sort(aloneMs.begin(), aloneMs.end());
    state.counters["median_ms"] = Percentile(stepMs, 50);
    state.counters["p95_ms"] = Percentile(stepMs, 95);
    state.counters["i_picture_ms"] = Percentile(aloneMs, 50);
    state.counters["ratio"] = Percentile(stepMs, 50) / Percentile(aloneMs, 50);
}

void Sequential(benchmark::State& state, const char* name) {
    const QString video = BenchFile(name);
    MpegLibModule source;
    PictureBox box;
    box.resize(720, 576);
    box.show();
    qint64 pictures = 0;
    for (auto _ : state) {
        source.CloseDecoder();
        source.OpenDecoder(video);
        source.SeekAndRender(0);
        qint64 pos = 0, previous = -1;
        ++pictures;
        while (pos != previous) {
            previous = pos;
            source.RenderNextFrame(pos);
            box.setPicture(source.Picture);
            box.repaint();
            ++pictures;
        }
    }
    state.counters["fps"] = benchmark::Counter(double(pictures), benchmark::Counter::kIsRate);
}

void FfmpegDecode(benchmark::State& state, const char* name) {
    qint64 frames = 0;
    for (auto _ : state) {
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-threads"),
                      QStringLiteral("1"), QStringLiteral("-i"), BenchFile(name),
                      QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-f"),
                      QStringLiteral("null"), QStringLiteral("-")});
        if (!ffmpeg.waitForFinished(300000) || ffmpeg.exitCode() != 0) {
            state.SkipWithError("ffmpeg failed");
            return;
        }
        frames += 1500;
    }
    state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(Jump, vob, "demo.vob", true)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK_CAPTURE(Jump, mpg, "demo.mpg", true)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK_CAPTURE(Jump, m2v, "demo.m2v", false)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK_CAPTURE(GopOpenSeekPicture, vob, "demo.vob")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(500)
    ->UseManualTime();
BENCHMARK_CAPTURE(Sequential, vob, "demo.vob")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK_CAPTURE(FfmpegDecode, vob, "demo.vob")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
