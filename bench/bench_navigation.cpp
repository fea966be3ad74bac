// The next-GOP step as its button runs it: close and reopen the decoder, search the GOP header,
// seek, decode and draw the picture into the shown editor window. Each step is timed on its own;
// the median and the 95th percentile over 200 steps are reported as counters (in ms). At the last
// GOP the editor is sent back to the file start by a slider jump, outside the timing.
//
// Files come from CUEBOARD_BENCH_DIR: demo.vob (DVD-style) and demo.m2v (elementary stream), both
// 60 s of 720x576 at 25 fps.

#include "editor/MpegLibForm.h"
#include "editor/PositionSlider.h"
#include "shell/GlobalVars.h"
#include "shell/MessageSeam.h"
#include "viewer/MpegLibModule.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

namespace {

QString BenchFile(const char* name) {
    return QDir(qEnvironmentVariable("CUEBOARD_BENCH_DIR", QStringLiteral(".")))
        .filePath(QString::fromLatin1(name));
}

// Nearest-rank percentile of sorted values.
double Percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty())
        return 0;
    const size_t rank = size_t(std::ceil(p / 100.0 * double(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

void BackToStart(MpegLibForm& form) {
    form.SliderBusy = FlagTrue;
    form.Slider1->setValue(0);
    form.SliderBusy = FlagFalse;
    form.Slider1_Change();
}

void NextGopStep(benchmark::State& state, const char* name) {
    QTemporaryDir out;
    Global_var_module& g = GlobalVars();
    g = Global_var_module{};
    g.VideoFile = BenchFile(name);
    g.OutDir = out.path();
    g.AppPath = out.path();
    if (!ScanMpegHeaders(g.VideoFile)) {
        state.SkipWithError("not an MPEG-2 video: missing bench file?");
        return;
    }
    MpegLibForm form;
    if (!form.Form_Load()) {
        state.SkipWithError("the editor did not load the video");
        return;
    }
    form.show();
    QApplication::processEvents();

    std::vector<double> stepsMs;
    for (auto _ : state) {
        if (form.CurrentPos + 50 >= g.LastGopPos)
            BackToStart(form);
        QElapsedTimer clock;
        clock.start();
        form.Command_NextIFrame_Click();
        const qint64 ns = clock.nsecsElapsed();
        state.SetIterationTime(double(ns) / 1e9);
        stepsMs.push_back(double(ns) / 1e6);
    }
    std::sort(stepsMs.begin(), stepsMs.end());
    state.counters["median_ms"] = Percentile(stepsMs, 50);
    state.counters["p95_ms"] = Percentile(stepsMs, 95);
    state.counters["max_ms"] = stepsMs.empty() ? 0 : stepsMs.back();
    form.hide();
    MpegLib().CloseDecoder();
}

// One press of the save button saving the shown picture as an image (no mark, so every press
// writes the same file again): press to file written.
void SaveImage(benchmark::State& state, const char* name) {
    QTemporaryDir out;
    Global_var_module& g = GlobalVars();
    g = Global_var_module{};
    g.VideoFile = BenchFile(name);
    g.OutDir = out.path();
    g.AppPath = out.path();
    if (!ScanMpegHeaders(g.VideoFile)) {
        state.SkipWithError("not an MPEG-2 video: missing bench file?");
        return;
    }
    MpegLibForm form;
    if (!form.Form_Load()) {
        state.SkipWithError("the editor did not load the video");
        return;
    }
    form.show();
    QApplication::processEvents();
    for (int i = 0; i < 20; ++i)
        form.Command_NextIFrame_Click();
    form.Check_NoChapter->setChecked(true);
    std::vector<double> pressesMs;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        form.Command_SavePic_Click();
        const qint64 ns = clock.nsecsElapsed();
        state.SetIterationTime(double(ns) / 1e9);
        pressesMs.push_back(double(ns) / 1e6);
    }
    std::sort(pressesMs.begin(), pressesMs.end());
    state.counters["median_ms"] = Percentile(pressesMs, 50);
    form.hide();
    MpegLib().CloseDecoder();
}

BENCHMARK_CAPTURE(SaveImage, vob, "demo.vob")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50)
    ->UseManualTime();

BENCHMARK_CAPTURE(NextGopStep, vob, "demo.vob")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200)
    ->UseManualTime();
BENCHMARK_CAPTURE(NextGopStep, m2v, "demo.m2v")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200)
    ->UseManualTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // No message box may wait for an answer during a run.
    SetMessageHandler([](const MessageRequest&) { return MessageResult::Ok; });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
