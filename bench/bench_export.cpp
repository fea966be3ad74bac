// Clip extraction against `dd` copying the same byte range, page cache warm: a 10-second clip of
// the demo VOB, and a 500 MB range of a long VOB. ExtractClip finishes with an fdatasync (the clip
// replaces an older one only once it is on disk), so dd is timed both plain and with
// conv=fdatasync.
//
// Files come from CUEBOARD_BENCH_DIR: demo.vob (60 s, 720x576 25 fps) and long.vob (demo.vob
// thirteen times over, about 540 MB). The copies are written to a temporary folder on the same
// file system as the bench data.

#include "export/ClipExtract.h"
#include "stream/ByteSearch.h"
#include "stream/FileAccess.h"
#include "stream/MpegScanner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr qint64 LongRangeBlocks = 5000; // 500,000,000 bytes

QString BenchDir() {
    return qEnvironmentVariable("CUEBOARD_BENCH_DIR", QStringLiteral("."));
}

QString BenchFile(const char* name) {
    return QDir(BenchDir()).filePath(QString::fromLatin1(name));
}

struct Range {
    ClipSource source;
    qint32 pictures = 0;
    qint64 start = 0;
    qint64 length = 0; // what ExtractClip copies from `start`
};

ClipSource SourceOf(const QString& path) {
    StreamProperties props;
    ClipSource source;
    if (!ScanMpegHeaders(path, props))
        return source;
    source.path = path;
    source.muxed = props.Muxed;
    source.durationSeconds = props.DurationSeconds;
    source.scrDurationSeconds = props.ScrDurationSeconds;
    source.frameRate = props.FrameRate;
    return source;
}

// The clip start for the first GOP header at or after `from`, as the editor would find it.
bool StartAtGop(Range& range, qint64 from) {
    const OpenFile file(range.source.path);
    QByteArray block;
    qsizetype gop = 0;
    // Blocks overlap by three bytes so that no start code is cut.
    for (qint32 got = ClipBlockSize; gop == 0 && got == ClipBlockSize; from += ClipBlockSize - 3) {
        got = file.readAt(from, ClipBlockSize, block);
        gop = FindFirst(QByteArrayView(block.constData(), got), Pattern(StartCode::Gop));
    }
    if (gop == 0)
        return false;
    from -= ClipBlockSize - 3;
    const ClipStart start =
        FindClipStart(range.source.path, from + gop, QStringLiteral("00:00:30.000"));
    range.start = start.offset;
    range.source.clipStartScr = start.clipStartScr.value_or(0);
    return !start.gopNotFound;
}

// A 10-second clip from the middle of the demo, as Save current would cut it.
Range TenSecondClip(const QString& dir) {
    Range range;
    range.source = SourceOf(BenchFile("demo.vob"));
    range.pictures = static_cast<qint32>(10 * range.source.frameRate) + 20;
    if (range.source.path.isEmpty() || !StartAtGop(range, FileSizeOf(range.source.path) / 2))
        return {};
    const QString probe = QDir(dir).filePath(QStringLiteral("probe.vob"));
    if (!ExtractClip(range.pictures, range.start, range.source, probe))
        return {};
    range.length = FileSizeOf(probe);
    QFile::remove(probe);
    return range;
}

// 5000 blocks from a GOP near the start of the long VOB: the picture count asked for is what
// those blocks hold, so the copy ends after exactly that many. The concatenated copies restart
// their pack clock, which would stretch the clip to the end of the file, so the clock is left out.
Range LongRange() {
    Range range;
    range.source = SourceOf(BenchFile("long.vob"));
    if (range.source.path.isEmpty() || !StartAtGop(range, 20 * 1000 * 1000))
        return {};
    range.source.muxed = 0;
    range.length = LongRangeBlocks * ClipBlockSize;
    if (range.start + range.length > FileSizeOf(range.source.path))
        return {};
    OpenFile file(range.source.path);
    QByteArray block;
    qint64 pictures = 0;
    for (qint64 b = 0; b < LongRangeBlocks; ++b) {
        const qint32 got = file.readAt(range.start + b * ClipBlockSize, ClipBlockSize, block);
        pictures += CountFrom(QByteArrayView(block.constData(), got), Pattern(StartCode::Picture));
    }
    range.pictures = static_cast<qint32>(pictures);
    return range;
}

void Report(benchmark::State& state, const Range& range) {
    state.SetBytesProcessed(state.iterations() * range.length);
    state.SetLabel(QStringLiteral("%1 bytes").arg(range.length).toStdString());
}

void Extract(benchmark::State& state, const Range& range, const QString& dir) {
    if (range.length == 0) {
        state.SkipWithError("missing bench file or no clip start");
        return;
    }
    const QString target = QDir(dir).filePath(QStringLiteral("clip.vob"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(target);
        state.ResumeTiming();
        if (!ExtractClip(range.pictures, range.start, range.source, target)) {
            state.SkipWithError("extraction failed");
            return;
        }
    }
    if (FileSizeOf(target) != range.length)
        state.SkipWithError("clip of an unexpected length");
    QFile::remove(target);
    Report(state, range);
}

void Dd(benchmark::State& state, const Range& range, const QString& dir, bool sync) {
    if (range.length == 0) {
        state.SkipWithError("missing bench file or no clip start");
        return;
    }
    const QString target = QDir(dir).filePath(QStringLiteral("dd.vob"));
    QStringList args{QStringLiteral("if=") + range.source.path,
                     QStringLiteral("of=") + target,
                     QStringLiteral("bs=%1").arg(ClipBlockSize),
                     QStringLiteral("iflag=skip_bytes,count_bytes"),
                     QStringLiteral("skip=%1").arg(range.start),
                     QStringLiteral("count=%1").arg(range.length),
                     QStringLiteral("status=none")};
    if (sync)
        args += QStringLiteral("conv=fdatasync");
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(target);
        state.ResumeTiming();
        QProcess dd;
        dd.start(QStringLiteral("dd"), args);
        if (!dd.waitForFinished(600000) || dd.exitCode() != 0) {
            state.SkipWithError("dd failed");
            return;
        }
    }
    QFile::remove(target);
    Report(state, range);
}

void RegisterAll(const QString& dir) {
    static const Range clip = TenSecondClip(dir);
    static const Range range = LongRange();
    const auto add = [&](const char* name, auto fn) {
        benchmark::RegisterBenchmark(name, fn)->Unit(benchmark::kMillisecond)->UseRealTime();
    };
    add("ExtractClip/demo_vob_10s", [dir](benchmark::State& s) { Extract(s, clip, dir); });
    add("Dd/demo_vob_10s", [dir](benchmark::State& s) { Dd(s, clip, dir, false); });
    add("DdFdatasync/demo_vob_10s", [dir](benchmark::State& s) { Dd(s, clip, dir, true); });
    add("ExtractClip/long_vob_500MB", [dir](benchmark::State& s) { Extract(s, range, dir); });
    add("Dd/long_vob_500MB", [dir](benchmark::State& s) { Dd(s, range, dir, false); });
    add("DdFdatasync/long_vob_500MB", [dir](benchmark::State& s) { Dd(s, range, dir, true); });
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // Targets beside the bench data, so that both copies write to the same file system.
    QTemporaryDir dir(QDir(BenchDir()).filePath(QStringLiteral("clips-XXXXXX")));
    if (!dir.isValid())
        return 1;
    RegisterAll(dir.path());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
