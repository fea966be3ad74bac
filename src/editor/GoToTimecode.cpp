#include "editor/MpegLibForm.h"

#include "chapters/Timecode.h"
#include "editor/GopWalk.h"
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

    // The timecode of the GOP found (raw and as shown) and its distance to the target in seconds.
    QString raw;
    QString text;
    double d = 0;
    auto measure = [&] {
        text = DisplayTimecode(raw);
        const std::optional<double> found = TimecodeSeconds(text);
        if (!found)
            return false;
        d = T * SecondsPerDay - *found;
        if (text == tc)
            d = 0; // the requested chapter itself
        return true;
    };
    auto look = [&](qint64 pos, SearchDirection direction) {
        raw = FindGop(pos, direction, true);
        return measure();
    };
    // One GOP further on. The forward time-code search takes the last GOP of 100000 bytes and
    // would step over GOPs that lie closer together; the walk must meet each one.
    auto next = [&] {
        const GopSearchResult found = FindNextGopHeader(SearchContext(), CurrentPos + GopWalkStep);
        if (!found.found)
            return false;
        CurrentPos = found.headerPos;
        raw = found.timecode;
        return measure();
    };

    // A proportional first guess, corrected in proportion to the remaining error. Guesses stay
    // inside the file: on a video whose bitrate falls towards its end a correction may point past
    // it, where nothing can be read.
    const auto inFile = [this](double pos) {
        return qBound<qint64>(0, TruncatePosition(pos), qMax<qint64>(0, FileLength - 1));
    };
    qint64 p = D > 0 ? inFile(double(FileLength) / (D / T)) : 0;
    MpegLib().CloseDecoder();
    if (!look(p, SearchDirection::Backward))
        return fail();
    for (int corrections = 0; std::fabs(d) >= GopTolerance && corrections < MaxGopCorrections;
         ++corrections) {
        if (g.DurationSeconds <= 0)
            break;
        p = inFile(double(p) + double(FileLength) * d / g.DurationSeconds);
        if (!look(p, SearchDirection::Backward))
            return fail();
    }

    if (d != 0) {
        // Walk GOP by GOP towards the target, then take the nearest of the GOP where the walk
        // began, the last one it passed and the one where it stopped (on a tie the one where it
        // stopped).
        struct Gop {
            qint64 pos;
            QString text;
            QString raw;
            double d;
        };
        const Gop start{CurrentPos, text, raw, d};
        Gop passed = start;
        const bool backward = d < 0;
        while (backward ? d < 0 : d > 0) {
            const qint64 before = CurrentPos;
            passed = {CurrentPos, text, raw, d};
            if (backward) {
                if (!look(CurrentPos - GopWalkStep, SearchDirection::Backward))
                    return fail();
            } else if (!next()) {
                break; // no GOP after this one: the end of the video
            }
            // At the start of the file the search stays where it is: stop there.
            if (CurrentPos == before)
                break;
        }
        Gop best{CurrentPos, text, raw, d};
        for (const Gop& other : {passed, start}) {
            if (std::fabs(other.d) < std::fabs(best.d))
                best = other;
        }
        CurrentPos = best.pos;
        text = best.text;
        raw = best.raw;
        // The last GOP is the nearest to any later time; a time past the end of the video is
        // still not there.
        const std::optional<double> first = TimecodeSeconds(DisplayTimecode(FirstGopTimecode));
        if (best.d > 0 && CurrentPos == g.LastGopPos && first &&
            T * SecondsPerDay > *first + g.DurationSeconds + PastTheEndSeconds)
            return fail();
    }
    FinalPositioning(CurrentPos, text, raw);
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
