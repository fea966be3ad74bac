#pragma once

// What the window benchmarks share: an editor opened on one the way the
// program opens it, and a main() for benchmarks that need windows.

#include "BenchFiles.h"
#include "editor/MpegLibForm.h"
#include "editor/PositionSlider.h"
#include "shell/GlobalVars.h"
#include "shell/MessageSeam.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>
#include <vector>

// The editor on a benchmark video after its load step, shown; null (and the benchmark skipped)
// when the video cannot be opened. Outputs go to `out`.
inline std::unique_ptr<MpegLibForm> OpenEditor(benchmark::State& state, const char* name,
                                               const QTemporaryDir& out) {
    Global_var_module& g = GlobalVars();
    g = Global_var_module{};
    g.VideoFile = BenchFile(name);
    g.OutDir = out.path();
    g.AppPath = out.path();
    if (!ScanMpegHeaders(g.VideoFile)) {
        state.SkipWithError("not an MPEG-2 video: missing bench file?");
        return nullptr;
    }
    auto form = std::make_unique<MpegLibForm>();
    if (!form->Form_Load()) {
        state.SkipWithError("the editor did not load the video");
        return nullptr;
    }
    form->show();
    // A click would otherwise take the focus from the picture and repaint it once more.
    form->Command2->setFocus();
    QApplication::processEvents();
    return form;
}

// Nearest-rank percentile of sorted values.
inline double Percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty())
        return 0;
    const size_t rank = size_t(std::ceil(p / 100.0 * double(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

// Back to the file start through a slider jump.
inline void BackToStart(MpegLibForm& form) {
    form.SliderBusy = FlagTrue;
    form.Slider1->setValue(0);
    form.SliderBusy = FlagFalse;
    form.Slider1_Change();
}

// main() of a benchmark program with windows: an offscreen platform unless one is set, and no
// message box waiting for an answer.
inline int RunWindowBenchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetMessageHandler([](const MessageRequest&) { return MessageResult::Ok; });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
