// Header scan and GOP time-code lookup on a DVD-style program stream and on a sparse VOB of more
// than 4 GiB, with `ffprobe -show_format` on the same files as the anchor.
//
// Files come from CUEBOARD_BENCH_DIR: demo.vob (60 s, 720x576 25 fps) and big.vob (the demo's
// first and last megabytes at both ends of a 4.5 GiB sparse file).

#include "BenchFiles.h"
#include "chapters/GopSearch.h"
#include "stream/FileAccess.h"
#include "stream/MpegScanner.h"

#include <QDir>
#include <QProcess>
#include <benchmark/benchmark.h>

namespace {

void ScanHeaders(benchmark::State& state, const char* name) {
    const QString path = BenchFile(name);
    StreamProperties props;
    if (!ScanMpegHeaders(path, props)) {
        state.SkipWithError("scan failed: missing bench file?");
        return;
    }
    for (auto _ : state) {
        bool ok = ScanMpegHeaders(path, props);
        benchmark::DoNotOptimize(ok);
    }
    state.SetLabel(QStringLiteral("%1 MB, %2 s")
                       .arg(props.FileSizeMB)
                       .arg(props.DurationSeconds)
                       .toStdString());
}

// One lookup in the given direction at a position given as a fraction of the file (per mille),
// or, for a negative number, as that many bytes before the end.
void LookUpGop(benchmark::State& state, const char* name, qint64 where, SearchDirection direction) {
    GopSearchContext ctx;
    ctx.path = BenchFile(name);
    ctx.fileLength = FileSizeOf(ctx.path);
    if (ctx.fileLength == 0) {
        state.SkipWithError("missing bench file");
        return;
    }
    const qint64 pos = where < 0 ? ctx.fileLength + where : ctx.fileLength / 1000 * where;
    GopSearchResult result;
    for (auto _ : state) {
        result = FindGopTimecode(ctx, pos, direction);
        benchmark::DoNotOptimize(result.headerPos);
    }
    state.SetLabel(result.timecode.toStdString());
}

void Ffprobe(benchmark::State& state, const char* name) {
    const QString path = BenchFile(name);
    for (auto _ : state) {
        QProcess probe;
        probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"),
                                                QStringLiteral("-show_format"), path});
        if (!probe.waitForFinished(60000) || probe.exitCode() != 0) {
            state.SkipWithError("ffprobe failed");
            return;
        }
        benchmark::DoNotOptimize(probe.readAllStandardOutput());
    }
}

BENCHMARK_CAPTURE(ScanHeaders, demo_vob, "demo.vob")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScanHeaders, big_vob, "big.vob")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LookUpGop, demo_vob_mid_backward, "demo.vob", 500LL, SearchDirection::Backward)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LookUpGop, demo_vob_mid_forward, "demo.vob", 500LL, SearchDirection::Forward)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LookUpGop, big_vob_tail_backward, "big.vob", -1000000LL,
                  SearchDirection::Backward)
    ->Unit(benchmark::kMillisecond);
// In the hole of the sparse file no header is near: the search gives up after 21 windows, the
// slowest lookup there is.
BENCHMARK_CAPTURE(LookUpGop, big_vob_hole_worst_case, "big.vob", 500LL, SearchDirection::Backward)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ffprobe, demo_vob, "demo.vob")->Unit(benchmark::kMillisecond)->Iterations(20);
// ffprobe reads through the whole hole of the sparse file: 15 s and more per run.
BENCHMARK_CAPTURE(Ffprobe, big_vob, "big.vob")->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
