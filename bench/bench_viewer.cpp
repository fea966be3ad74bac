// Decoder speed: a jump (close, open, seek to a mid-file GOP, draw) as the editor does it for
// every step, and sequential next-picture steps with drawing into the picture box, against the
// ffmpeg command decoding the same file on one thread.
//
// Files come from CUEBOARD_BENCH_DIR: demo.vob (DVD-style), demo.mpg (program stream) and
// demo.m2v (elementary stream), all 60 s of 720x576 at 25 fps.

#include "BenchSupport.h"
#include "crop/PictureBox.h"
#include "stream/ByteSearch.h"
#include "stream/FileAccess.h"
#include "viewer/MpegLibModule.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <benchmark/benchmark.h>

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
