#include "editor/MpegLibForm.h"

#include "editor/ListEntries.h"

#include "chapters/ChapterPlan.h"
#include "chapters/GopLocator.h"
#include "chapters/Timecode.h"
#include "editor/BusyIndicator.h"
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

// A run makes every chapter anew: no icon stays, element 0 is hidden and unused.
void RemoveAllChapterIcons(MpegLibForm& form) {
    form.RemoveChapterIconsFromOne();
    form.Label8[0]->hide();
    SetTag(form.Label8[0], QString());
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
    LocatedGop lastChapter{0, FirstGopTimecode, ZeroTime, 0};

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
            // The chapter is the GOP where the walk ends: its position with its own timecode, so
            // that the image, the clip and the mark all belong to the same GOP.
            const std::optional<LocatedGop> gop =
                LocateGop(LocatorInput(), target, double(probe), GopChoice::Chapter);
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
