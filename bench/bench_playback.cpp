// Playback in the shown editor window.
//
// Pacing: Play on the stream's 25 frames/s for 10 s, Stop from a timer. The counters are the mean
// and the largest interval between two pictures drawn (ms), the pictures drawn, and the share of
// one core the process used meanwhile (the waits between pictures should cost next to nothing).
//
// StepRate: the next-picture step with drawing, run back to back from the first picture to the
// last (step_fps), and the same with the events handled after each step as the play loop does
// when decoding cannot keep up (loop_fps). Against them, `ffmpeg -threads 1 -i VIDEO -map 0:v -f
// null -` decoding the same file (ffmpeg_fps); `ratio` and `loop_ratio` are the rates over
// ffmpeg's.
//
// Files come from CUEBOARD_BENCH_DIR: demo.vob, 60 s of 720x576 at 25 fps, DVD-style, and
// demo_hd.m2v, 20 s of 1920x1080, which the editor shows scaled down to its picture area.

#include "BenchSupport.h"
#include "crop/PictureBox.h"
#include "editor/MpegLibForm.h"
#include "editor/PositionSlider.h"
#include "session/EditorSession.h"
#include "shell/GlobalVars.h"
#include "shell/MessageSeam.h"
#include "viewer/MpegLibModule.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>
#include <numeric>
#include <vector>

#include <sys/resource.h>

namespace {

// Processor time of the whole process so far, in seconds.
double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Times at which Picture1 was painted, in ns.
class PaintClock : public QObject {
public:
    PaintClock(QWidget* widget, const QElapsedTimer& clock) : clock_(clock) {
        widget->installEventFilter(this);
    }
    std::vector<qint64> times;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            times.push_back(clock_.nsecsElapsed());
        return false;
    }

private:
    const QElapsedTimer& clock_;
};

void Pacing(benchmark::State& state, const char* name) {
    QTemporaryDir out;
    const std::unique_ptr<MpegLibForm> form = OpenEditor(state, name, out);
    if (!form)
        return;
    constexpr int PlayMs = 10000;
    std::vector<double> intervalsMs;
    double cpuShare = 0;
    for (auto _ : state) {
        BackToStart(*form);
        QApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        PaintClock paints(form->Picture1, clock);
        QTimer stop;
        stop.setSingleShot(true);
        QObject::connect(&stop, &QTimer::timeout, [&] { form->Command3_Click(); });
        stop.start(PlayMs);
        const double cpuBefore = ProcessCpuSeconds();
        form->Command2->click();
        cpuShare = (ProcessCpuSeconds() - cpuBefore) / (double(clock.nsecsElapsed()) / 1e9);
        for (size_t i = 1; i < paints.times.size(); ++i)
            intervalsMs.push_back(double(paints.times[i] - paints.times[i - 1]) / 1e6);
    }
    if (intervalsMs.empty()) {
        state.SkipWithError("no pictures shown");
        return;
    }
    state.counters["mean_ms"] =
        std::accumulate(intervalsMs.begin(), intervalsMs.end(), 0.0) / double(intervalsMs.size());
    state.counters["max_ms"] = *std::max_element(intervalsMs.begin(), intervalsMs.end());
    state.counters["min_ms"] = *std::min_element(intervalsMs.begin(), intervalsMs.end());
    state.counters["pictures"] = double(intervalsMs.size() + 1);
    state.counters["cpu_share"] = cpuShare;
    form->hide();
}

// Frames ffmpeg decoded and the seconds it took; 0 frames when it failed.
std::pair<qint64, double> FfmpegDecode(const QString& video) {
    QProcess ffmpeg;
    QElapsedTimer clock;
    clock.start();
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-nostdin"), QStringLiteral("-threads"), QStringLiteral("1"),
                  QStringLiteral("-i"), video, QStringLiteral("-map"), QStringLiteral("0:v"),
                  QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
    if (!ffmpeg.waitForFinished(300000) || ffmpeg.exitCode() != 0)
        return {0, 0};
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    // The last progress report holds the frame count.
    const QString log = QString::fromLocal8Bit(ffmpeg.readAllStandardError());
    qint64 frames = 0;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("frame=\\s*(\\d+)")).globalMatch(log);
    while (it.hasNext())
        frames = it.next().captured(1).toLongLong();
    return {frames, seconds};
}

// Pictures per second of next-picture steps from the first picture to the last; with `events`
// the events are handled after each step, as in the play loop.
double StepsPerSecond(MpegLibForm& form, bool events) {
    BackToStart(form);
    QApplication::processEvents();
    qint64 steps = 0;
    QElapsedTimer clock;
    clock.start();
    for (qint64 previous = -1; form.Session->CurrentPos != previous; ++steps) {
        previous = form.Session->CurrentPos;
        form.Session->NextPictureStep();
        if (events)
            QApplication::processEvents();
    }
    return double(steps) / (double(clock.nsecsElapsed()) / 1e9);
}

void StepRate(benchmark::State& state, const char* name) {
    QTemporaryDir out;
    const std::unique_ptr<MpegLibForm> form = OpenEditor(state, name, out);
    if (!form)
        return;
    double stepFps = 0, loopFps = 0, ffmpegFps = 0;
    for (auto _ : state) {
        const auto [frames, seconds] = FfmpegDecode(GlobalVars().VideoFile);
        if (frames == 0) {
            state.SkipWithError("ffmpeg failed");
            return;
        }
        ffmpegFps = double(frames) / seconds;
        stepFps = StepsPerSecond(*form, false);
        loopFps = StepsPerSecond(*form, true);
    }
    state.counters["ffmpeg_fps"] = ffmpegFps;
    state.counters["step_fps"] = stepFps;
    state.counters["loop_fps"] = loopFps;
    state.counters["ratio"] = ffmpegFps > 0 ? stepFps / ffmpegFps : 0;
    state.counters["loop_ratio"] = ffmpegFps > 0 ? loopFps / ffmpegFps : 0;
    form->hide();
}

BENCHMARK_CAPTURE(Pacing, vob, "demo.vob")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK_CAPTURE(StepRate, vob, "demo.vob")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK_CAPTURE(StepRate, hd, "demo_hd.m2v")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
