// The next-GOP step as its button runs it: close and reopen the decoder, search the GOP header,
// seek, decode and draw the picture into the shown editor window. Each step is timed on its own;
// the median and the 95th percentile over 200 steps are reported as counters (in ms). At the last
// GOP the editor is sent back to the file start by a slider jump, outside the timing.
//
// The picture step back is timed the same way.
//
// Files come from CUEBOARD_BENCH_DIR: demo.vob (DVD-style) and demo.m2v (elementary stream), both
// 60 s of 720x576 at 25 fps.

#include "BenchSupport.h"
#include "editor/MpegLibForm.h"
#include "editor/PositionSlider.h"
#include "session/EditorSession.h"
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

// Runs `action` once per iteration, timing each run (not `prepare`, which runs before it);
// returns the times in ms, sorted.
template <class Prepare, class Action>
std::vector<double> TimeEach(benchmark::State& state, Prepare prepare, Action action) {
    std::vector<double> ms;
    for (auto _ : state) {
        prepare();
        QElapsedTimer clock;
        clock.start();
        action();
        const qint64 ns = clock.nsecsElapsed();
        state.SetIterationTime(double(ns) / 1e9);
        ms.push_back(double(ns) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

// At the last GOP the editor goes back to the start, outside the timing.
void BackToStartAtTheEnd(MpegLibForm& form) {
    if (form.Session->CurrentPos + 50 >= GlobalVars().LastGopPos)
        BackToStart(form);
}

void NextGopStep(benchmark::State& state, const char* name) {
    QTemporaryDir out;
    const std::unique_ptr<MpegLibForm> editor = OpenEditor(state, name, out);
    if (!editor)
        return;
    MpegLibForm& form = *editor;

    const std::vector<double> stepsMs = TimeEach(
        state, [&] { BackToStartAtTheEnd(form); }, [&] { form.Command_NextIFrame_Click(); });
    state.counters["median_ms"] = Percentile(stepsMs, 50);
    state.counters["p95_ms"] = Percentile(stepsMs, 95);
    state.counters["max_ms"] = stepsMs.empty() ? 0 : stepsMs.back();
    form.hide();
}

// One press of the save button saving the shown picture as an image (no mark, so every press
// writes the same file again): press to file written.
void SaveImage(benchmark::State& state, const char* name) {
    QTemporaryDir out;
    const std::unique_ptr<MpegLibForm> editor = OpenEditor(state, name, out);
    if (!editor)
        return;
    MpegLibForm& form = *editor;
    for (int i = 0; i < 20; ++i)
        form.Command_NextIFrame_Click();
    form.Check_NoChapter->setChecked(true);
    const std::vector<double> pressesMs = TimeEach(
        state, [] {}, [&] { form.Command_SavePic_Click(); });
    state.counters["median_ms"] = Percentile(pressesMs, 50);
    form.hide();
}

// One picture step back as the comma key runs it, drawn into the shown window: from the last
// picture of a 12-picture GOP (the GOP decoded again up to the picture before), and from a GOP's
// first picture (into the GOP before).
void PreviousPictureStep(benchmark::State& state, const char* name, int picturesIn) {
    QTemporaryDir out;
    const std::unique_ptr<MpegLibForm> editor = OpenEditor(state, name, out);
    if (!editor)
        return;
    MpegLibForm& form = *editor;
    const std::vector<double> stepsMs = TimeEach(
        state,
        [&] {
            BackToStartAtTheEnd(form);
            form.Command_NextIFrame_Click();
            for (int i = 0; i < picturesIn; ++i)
                form.Command_NextFrame_Click();
        },
        [&] { form.Session->PreviousPictureStep(); });
    state.counters["median_ms"] = Percentile(stepsMs, 50);
    state.counters["p95_ms"] = Percentile(stepsMs, 95);
    form.hide();
}

BENCHMARK_CAPTURE(PreviousPictureStep, vob_in_gop, "demo.vob", 11)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100)
    ->UseManualTime();
BENCHMARK_CAPTURE(PreviousPictureStep, vob_gop_start, "demo.vob", 0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100)
    ->UseManualTime();

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
    return RunWindowBenchmarks(argc, argv);
}
