#include "editor/MpegLibForm.h"

#include "editor/ListEntries.h"

#include "chapters/ChapterPlan.h"
#include "chapters/Timecode.h"
#include "editor/BusyIndicator.h"
#include "editor/GopWalk.h"
#include "editor/Tag.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "shell/MessageSeam.h"
#include "stream/NumberText.h"
#include "viewer/MpegLibModule.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>
#include <optional>

namespace {

const QString ZeroTime = QStringLiteral("00:00:00.000");

// The timer tick that ends an automatic run.
constexpr int AutoCloseMs = 50;

// A GOP found for a chapter: its header position and its timecode as shown and as read.
struct ChapterGop {
    qint64 pos = 0;
    QString text;
    QString raw;
};

// A run makes every chapter anew: no icon stays, element 0 is hidden and unused.
void RemoveAllChapterIcons(MpegLibForm& form) {
    form.RemoveChapterIconsFromOne();
    form.Label8[0]->hide();
    SetTag(form.Label8[0], QString());
}

// The GOP for a chapter at `target` seconds, starting from the guess `probe`: the guess is
// corrected in proportion to the remaining error, then the search walks GOP by GOP to the last GOP
// at or before the target (when it found one after it) or to the first GOP at or after the target
// (when it found one before it). Empty when no usable GOP was found.
std::optional<ChapterGop> SearchChapterGop(MpegLibForm& form, double target, qint64 probe) {
    const double duration = GlobalVars().DurationSeconds;
    ChapterGop gop;
    double d = 0; // seconds from the GOP found to the target
    auto measure = [&] {
        gop.pos = form.CurrentPos;
        gop.text = form.DisplayTimecode(gop.raw);
        const std::optional<double> found = TimecodeSeconds(gop.text);
        if (!found)
            return false;
        // Timecodes carry milliseconds: a target that is a GOP's time is that GOP, whatever
        // the last bits of the arithmetic say.
        d = std::round((target - *found) * 1e6) / 1e6;
        return true;
    };
    auto lookBack = [&](qint64 pos) {
        gop.raw = form.FindGop(pos, SearchDirection::Backward, true);
        return measure();
    };

    qint64 p = probe;
    if (!lookBack(p))
        return std::nullopt;
    for (int corrections = 0; std::fabs(d) >= GopTolerance && corrections < MaxGopCorrections;
         ++corrections) {
        if (duration <= 0)
            break;
        // On a video whose bitrate falls towards its end a correction may point past it.
        p = qBound<qint64>(0, TruncatePosition(double(p) + double(form.FileLength) * d / duration),
                           qMax<qint64>(0, form.FileLength - 1));
        if (!lookBack(p))
            return std::nullopt;
    }

    if (d < 0) {
        while (d < 0) {
            const qint64 before = form.CurrentPos;
            if (!lookBack(form.CurrentPos - GopWalkStep))
                return std::nullopt;
            // The first GOP of the file: the search stays where it is.
            if (form.CurrentPos == before)
                break;
        }
    } else {
        // The walk ends on the first GOP at or after the target, and the chapter is that GOP:
        // its position with its own timecode, so that the image, the clip and the mark all
        // belong to the same GOP.
        while (d > 0) {
            // The forward time-code search takes the last GOP of a whole window and would step
            // over GOPs that lie closer together; this walk meets each one.
            const GopSearchResult next =
                FindNextGopHeader(form.SearchContext(), form.CurrentPos + GopWalkStep);
            if (!next.found) {
                // Beyond the last GOP of the file the walk ends on it; anywhere else a usable
                // GOP is missing where the stream should have one.
                if (form.CurrentPos < GlobalVars().LastGopPos)
                    return std::nullopt;
                break;
            }
            form.CurrentPos = next.headerPos;
            gop.raw = next.timecode;
            if (!measure())
                return std::nullopt;
        }
    }
    return gop;
}

} // namespace

void MpegLibForm::ConnectChapterCreation() {
    connect(Command_CreateChapters, &QPushButton::clicked, this,
            [this] { Command_CreateChapters_Click(); });
    connect(Command_CreateChapters2, &QPushButton::clicked, this,
            [this] { Command_CreateChapters2_Click(); });
    connect(Command_CreateChapters3, &QPushButton::clicked, this,
            [this] { Command_CreateChapters3_Click(); });
}

void MpegLibForm::Command_CreateChapters_Click() {
    if (!ChapterCountFromText(Text_NumChap->text())) {
        ShowMessage(this, LoadLangString(202));
        return;
    }
    List1->clear();
    CreateChaptersAuto(false);
}

void MpegLibForm::Command_CreateChapters2_Click() {
    if (!IntervalMinutesFromText(Text_ChapTime->text(), GlobalVars().DurationSeconds)) {
        ShowMessage(this, LoadLangString(202) + QStringLiteral("\r\n") + LoadLangString(203));
        return;
    }
    List1->clear();
    CreateChaptersAuto(true);
}

void MpegLibForm::CreateChaptersAuto(bool byInterval) {
    const Global_var_module& g = GlobalVars();
    const std::optional<int> value =
        byInterval ? IntervalMinutesFromText(Text_ChapTime->text(), g.DurationSeconds)
                   : ChapterCountFromText(Text_NumChap->text());
    if (!value)
        return;
    ReturnTimecode = Text1->text();
    std::optional<BusyIndicator> busy(std::in_place, this, LoadLangString(229));

    RemoveAllChapterIcons(*this);
    Check_NoChapter->setChecked(false);

    // The first chapter is the start of the file.
    GoToTimecode(ZeroTime);
    Command_SavePic_Click();
    ChapterGop lastChapter{0, ZeroTime, FirstGopTimecode};

    // A clip needs its whole length inside the video, an image a second.
    const double tail =
        Option_Clips->isChecked() ? std::floor(LeadingNumber(Text_Sec->text())) : 1.0;
    const ChapterPlan plan = PlanChapters(g.DurationSeconds, byInterval, *value, tail);
    busy->Progress(1, plan.count);
    if (plan.count > 1) {
        // Bytes per interval: the first guess for each chapter's GOP.
        const double bytesPerInterval =
            RoundDecimals(double(FileLength) / (g.DurationSeconds / plan.intervalSeconds), 4);
        for (int i = 1; i < plan.count; ++i) {
            MpegLib().CloseDecoder();
            const double target = i * plan.intervalSeconds;
            const qint64 probe = TruncatePosition(RoundDecimals(i * bytesPerInterval, 4));
            const std::optional<ChapterGop> gop = SearchChapterGop(*this, target, probe);
            if (gop)
                FinalPositioning(gop->pos, gop->text, gop->raw);
            // A GOP whose timecode is unknown ("???") can no more be a chapter than a time that
            // cannot be found.
            if (!gop || !ShownTimecodeKnown()) {
                busy.reset();
                ShowMessage(this,
                            LoadLangString(204, {QStringLiteral("|1"), ChapterTimeText(target)}));
                // The run ends on the last chapter it made, with the decoder open again.
                FinalPositioning(lastChapter.pos, lastChapter.text, lastChapter.raw);
                return;
            }
            Command_SavePic_Click();
            lastChapter = *gop;
            busy->Progress(i + 1, plan.count);
        }
    }
    GoToTimecode(ReturnTimecode);
}

void MpegLibForm::Command_CreateChapters3_Click() {
    if (List2->count() == 0)
        return;
    ReturnTimecode = Text1->text();
    {
        BusyIndicator busy(this, LoadLangString(229));
        List1->clear();
        RemoveAllChapterIcons(*this);
        Check_NoChapter->setChecked(false);
        const QStringList times = EntriesOf(List2);
        for (qsizetype i = 0; i < times.size(); ++i) {
            if (!GoToTimecode(times[i])) {
                AutoRunFailed = true;
                break;
            }
            if (!ShownTimecodeKnown()) {
                ShowMessage(this, LoadLangString(204, {QStringLiteral("|1"), times[i]}));
                AutoRunFailed = true;
                break;
            }
            // Two times that lead to the same GOP make one chapter: a second press there would
            // only show "Chapter already defined!", which would stop an unattended run.
            if (List1->findItems(Text1->text(), Qt::MatchExactly | Qt::MatchCaseSensitive)
                    .isEmpty())
                Command_SavePic_Click();
            busy.Progress(i + 1, times.size());
        }
        GoToTimecode(ReturnTimecode);
    }
    if (GlobalVars().AutoMode != FlagFalse) {
        Timer1->setInterval(AutoCloseMs);
        Timer1->start();
    }
}
