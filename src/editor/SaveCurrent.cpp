#include "editor/MpegLibForm.h"

#include "editor/ListEntries.h"

#include "editor/BusyIndicator.h"
#include "editor/EventWatch.h"
#include "editor/PositionSlider.h"
#include "editor/Tag.h"
#include "export/CellTimes.h"
#include "export/ClipExtract.h"
#include "export/SaveImage.h"
#include "export/SaveNames.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "shell/MessageSeam.h"
#include "shell/Startup.h"
#include "stream/NumberText.h"
#include "viewer/MpegLibModule.h"
#include "viewer/PictureBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryFile>
#include <cmath>

void MpegLibForm::ConnectSaveCurrent() {
    connect(Command_SavePic, &QPushButton::clicked, this, [this] { Command_SavePic_Click(); });
    // Key presses on the save button hand the focus to the picture: the arrow keys keep stepping.
    new EventWatch(Command_SavePic, QEvent::KeyPress,
                   [this](int key) { Command_SavePic_KeyDown(key); });
}

void MpegLibForm::Command_SavePic_KeyDown(int) {
    Picture1->setFocus();
}

void MpegLibForm::Command_SavePic_Click() {
    Global_var_module& g = GlobalVars();
    const QString shown = Text1->text();
    // Nothing is saved for a position whose timecode is unknown: "???" would become a chapter
    // mark, a line of the cell-times file and a file name.
    if (!ShownTimecodeKnown())
        return;

    // 1: the chapter mark.
    const bool markCase =
        !Check_NoChapter->isChecked() && SaveAllowed != FlagFalse && AtGopStart != FlagFalse;
    if (markCase) {
        if (!List1->findItems(shown, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty()) {
            ShowMessage(this, LoadLangString(268), MessageIcon::Exclamation);
            return;
        }
        List1->addItem(shown);
        AddChapterIconFor(shown);
        if (WriteCellTimesOrFallback(CellTimesPath,
                                     QDir(g.AppPath).filePath(QStringLiteral("Celltimes.txt")),
                                     EntriesOf(List1))
                .isEmpty())
            ReportSaveFailure(CellTimesPath);
    }

    // 2: "Mark only" saves nothing else.
    if (Check_ChapterOnly->isChecked())
        return;

    // The name of what is saved: the mark's, the "save as" chapter's, or a no-mark name.
    auto composeName = [&](const QString& suffix) {
        if (markCase)
            return ComposeSaveName(g.VideoFile, shown, false, suffix);
        if (Check_SaveAsZero->isChecked()) {
            const QString target = Tag(Check_SaveAsZero);
            Check_SaveAsZero->setChecked(false);
            return ComposeSaveName(g.VideoFile, target, false, suffix);
        }
        return ComposeSaveName(g.VideoFile, shown, true, suffix);
    };

    // 3: a still image.
    if (Option_Pics->isChecked()) {
        const QString composed = composeName(QStringLiteral(".bmp"));
        const QString finalName = RelocateName(composed, g.OutDir);
        const QString fallbackName = RelocateName(composed, g.AppPath);
        const QImage frame = Picture1->picture();
        QImage picture = frame;
        if (g.SingleField != FlagFalse) {
            picture = LineDoubled(frame);
            Picture3->setPicture(picture);
        }
        if (Check_Crop->isChecked()) {
            picture = Cropped(picture, g.CropLeft, g.CropTop, g.CropRight, g.CropBottom);
            Picture2->resize(picture.size());
            Picture2->setPicture(picture);
        }
        if (!WriteBitmap(picture, finalName) && !WriteBitmap(picture, fallbackName))
            ReportSaveFailure(finalName);
        return;
    }

    // 4: a clip, cut from the stream at the shown GOP.
    if (!Option_Clips->isChecked())
        return;
    BusyIndicator busy(this, LoadLangString(247));
    MpegLib().CloseDecoder();
    const QString composed = composeName(QStringLiteral(".vob"));
    QString finalName = RelocateName(composed, g.OutDir);
    const double seconds = LeadingNumber(Text_Sec->text());
    const double pictures = std::floor(seconds * double(g.FrameRate)) + 20;
    const qint32 n = pictures > 2147483647.0 ? 2147483647 : qint32(pictures);
    qint64 start = 0;
    if (g.StreamHeader.isEmpty()) {
        const ClipStart found = FindClipStart(g.VideoFile, ClipStartPos, shown);
        if (found.gopNotFound)
            ShowMessage(this, LoadLangString(205));
        if (found.clipStartScr)
            g.ClipStartScr = *found.clipStartScr;
        start = found.offset;
    } else {
        start = ClipStartPos > 0 ? ClipStartPos - 1 : 0;
    }
    if (!CanCreateFilesIn(QFileInfo(finalName).absolutePath()))
        finalName = RelocateName(composed, g.AppPath);
    QFile::remove(IndexFileFor(finalName));
    ClipSource source;
    source.path = g.VideoFile;
    source.streamHeader = g.StreamHeader;
    source.muxed = g.Muxed;
    source.durationSeconds = g.DurationSeconds;
    source.scrDurationSeconds = g.ScrDurationSeconds;
    source.frameRate = g.FrameRate;
    source.clipStartScr = g.ClipStartScr;
    // Progress by blocks against the bytes of n pictures at the video's average rate.
    const double bytesPerPicture =
        g.DurationSeconds > 0 && g.FrameRate > 0
            ? double(FileLength) / (g.DurationSeconds * double(g.FrameRate))
            : double(FileLength);
    const qint64 planned = qMax<qint64>(1, qint64(bytesPerPicture * n));
    if (!ExtractClip(n, start, source, finalName,
                     [&](qint64 done) { busy.Progress(qMin(done, planned), planned); }))
        ReportSaveFailure(finalName);

    // Back to the picture that was shown.
    MpegLib().OpenDecoder(false);
    MpegLib().SeekAndRender(SeekTarget(CurrentPos));
    UsePreviewPos = FlagFalse;
    SetSlider();
}

void MpegLibForm::ReportSaveFailure(const QString& path) {
    SaveFailures << path;
    const QString text = LoadLangString(269, {QStringLiteral("|1"), path});
    if (GlobalVars().AutoMode != FlagFalse)
        WriteMessageLine(text);
    else
        ShowMessage(this, text, MessageIcon::Exclamation);
}
