#include "editor/MpegLibForm.h"

#include "chapters/GopLocator.h"
#include "chapters/Timecode.h"
#include "editor/PositionSlider.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "shell/MessageSeam.h"
#include "stream/NumberText.h"
#include "viewer/MpegLibModule.h"

#include <QLineEdit>
#include <cmath>

namespace {

constexpr double SecondsPerDay = 86400.0;

// A normalized time (NormalizeTimecode without the fraction kept) as a day fraction; 0 when the
// text does not normalize.
double TargetDays(const QString& tc) {
    QString normalized = NormalizeTimecode(tc, false);
    normalized.replace(u',', u'.');
    bool ok = false;
    const double value = normalized.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

// How far past the play time a time may lie and still go to the last GOP.
constexpr double PastTheEndSeconds = 1.0;

} // namespace

bool MpegLibForm::GoToTimecode(const QString& tc) {
    const Global_var_module& g = GlobalVars();
    const double T = TargetDays(tc);
    const double D = g.DurationSeconds / SecondsPerDay;

    if (T == 0.0) {
        MpegLib().CloseDecoder();
        MpegLib().OpenDecoder(false);
        UsePreviewPos = FlagFalse;
        MpegLib().SeekAndRender(0);
        CurrentPos = 0;
        ClipStartPos = 0;
        Text1->setText(QStringLiteral("00:00:00.000"));
        CurrentTimecode = FirstGopTimecode;
        AtGopStart = FlagTrue;
        SetSlider();
        UpdateSaveButton();
        return true;
    }

    auto fail = [&] {
        ShowMessage(this, LoadLangString(204, {QStringLiteral("|1"), tc}));
        return false;
    };

    // A proportional first guess; the locator corrects it and walks to the nearest GOP.
    const double probe = D > 0 ? double(FileLength) / (D / T) : 0.0;
    MpegLib().CloseDecoder();
    const std::optional<LocatedGop> gop =
        LocateGop(LocatorInput(), T * SecondsPerDay, probe, GopChoice::Nearest, tc);
    if (!gop)
        return fail();
    // The last GOP is the nearest to any later time; a time past the end of the video is still
    // not there.
    const std::optional<double> first = TimecodeSeconds(DisplayTimecode(FirstGopTimecode));
    if (gop->d > 0 && gop->pos == g.LastGopPos && first &&
        T * SecondsPerDay > *first + g.DurationSeconds + PastTheEndSeconds)
        return fail();
    FinalPositioning(gop->pos, gop->text, gop->raw);
    return true;
}

GopSearchContext MpegLibForm::SearchContext() const {
    const Global_var_module& g = GlobalVars();
    GopSearchContext context;
    context.path = g.VideoFile;
    context.fileLength = FileLength;
    context.frameRate = g.FrameRate;
    context.dropFrame = g.DropFrame != FlagFalse;
    context.shownText = Text1->text();
    context.currentTimecode = CurrentTimecode;
    return context;
}

GopLocatorInput MpegLibForm::LocatorInput() {
    const Global_var_module& g = GlobalVars();
    GopLocatorInput input;
    input.context.path = g.VideoFile;
    input.context.fileLength = FileLength;
    input.context.frameRate = g.FrameRate;
    input.context.dropFrame = g.DropFrame != FlagFalse;
    input.durationSeconds = g.DurationSeconds;
    input.lastGopPos = g.LastGopPos;
    input.display = [this](const QString& raw) { return DisplayTimecode(raw); };
    return input;
}

void MpegLibForm::FinalPositioning(qint64 pos, const QString& text, const QString& rawTimecode) {
    Text1->setText(text);
    CurrentPos = pos;
    ClipStartPos = pos;
    // The next picture steps count on from the GOP's own time code.
    CurrentTimecode = rawTimecode;
    MpegLib().OpenDecoder(false);
    UsePreviewPos = FlagFalse;
    MpegLib().SeekAndRender(SeekTarget(pos));
    AtGopStart = FlagTrue;
    SetSlider();
    UpdateSaveButton();
}
