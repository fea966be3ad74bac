#include "session/EditorSession.h"

#include "export/CellTimes.h"
#include "export/ClipExtract.h"
#include "export/SaveImage.h"
#include "export/SaveNames.h"
#include "shell/LangStrings.h"
#include "shell/MessageSeam.h"
#include "shell/Startup.h"
#include "stream/NumberText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

void EditorSession::AddChapter(const QString& timecode) {
    Chapters.insert(std::lower_bound(Chapters.begin(), Chapters.end(), timecode), timecode);
    Marks.push_back({timecode, SliderValue});
    emit chaptersChanged();
}

void EditorSession::SaveCurrent() {
    const QString shown = ShownTimecode;
    // Nothing is saved for a position whose timecode is unknown: "???" would become a chapter
    // mark, a line of the cell-times file and a file name.
    if (!ShownTimecodeKnown())
        return;

    // 1: the chapter mark.
    const bool markCase = !NoChapter && SaveAllowed != FlagFalse && AtGopStart != FlagFalse;
    if (markCase) {
        if (Chapters.contains(shown)) {
            ShowMessage(parent(), LoadLangString(268), MessageIcon::Exclamation);
            return;
        }
        AddChapter(shown);
        if (WriteCellTimesOrFallback(
                CellTimesPath, QDir(g.AppPath).filePath(QStringLiteral("Celltimes.txt")), Chapters)
                .isEmpty())
            ReportSaveFailure(CellTimesPath);
    }

    // 2: "Mark only" saves nothing else.
    if (ChapterOnly)
        return;

    // The name of what is saved: the mark's, the "save as" chapter's, or a no-mark name.
    auto composeName = [&](const QString& suffix) {
        if (markCase)
            return ComposeSaveName(g.VideoFile, shown, false, suffix);
        if (SaveAsZero) {
            SaveAsZero = false;
            emit optionsChanged();
            return ComposeSaveName(g.VideoFile, SaveAsTarget, false, suffix);
        }
        return ComposeSaveName(g.VideoFile, shown, true, suffix);
    };

    // 3: a still image.
    if (!Clips) {
        const QString composed = composeName(QStringLiteral(".bmp"));
        const QString finalName = RelocateName(composed, g.OutDir);
        const QString fallbackName = RelocateName(composed, g.AppPath);
        QImage picture = MpegLib.StreamPicture();
        if (g.SingleField != FlagFalse)
            picture = LineDoubled(picture);
        if (Crop)
            picture = Cropped(picture, g.CropLeft, g.CropTop, g.CropRight, g.CropBottom);
        if (!WriteBitmap(picture, finalName) && !WriteBitmap(picture, fallbackName))
            ReportSaveFailure(finalName);
        return;
    }

    // 4: a clip, cut from the stream at the shown GOP.
    SaveClip(composeName(QStringLiteral(".vob")));
}

void EditorSession::SaveClip(const QString& composed) {
    SessionBusy busy(*this, LoadLangString(247));
    MpegLib.CloseDecoder();
    QString finalName = RelocateName(composed, g.OutDir);
    const double seconds = LeadingNumber(ClipSecondsText);
    const double pictures = std::floor(seconds * double(g.FrameRate)) + 20;
    const qint32 n = pictures > 2147483647.0 ? 2147483647 : qint32(pictures);
    qint64 start = 0;
    if (g.StreamHeader.isEmpty()) {
        const ClipStart found = FindClipStart(g.VideoFile, ClipStartPos, ShownTimecode);
        if (found.gopNotFound)
            ShowMessage(parent(), LoadLangString(205));
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
    MpegLib.OpenDecoder(g.VideoFile);
    Render(SeekTarget(CurrentPos));
    UsePreviewPos = FlagFalse;
    SetSlider();
}

void EditorSession::ReportSaveFailure(const QString& path) {
    SaveFailures << path;
    const QString text = LoadLangString(269, {QStringLiteral("|1"), path});
    if (g.AutoMode != FlagFalse)
        WriteMessageLine(text);
    else
        ShowMessage(parent(), text, MessageIcon::Exclamation);
}
