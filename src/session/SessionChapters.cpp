#include "session/EditorSession.h"

#include "chapters/ChapterFileImport.h"
#include "chapters/ChapterPlan.h"
#include "chapters/ChapterText.h"
#include "chapters/Timecode.h"
#include "export/CellTimes.h"
#include "export/ChapterExport.h"
#include "export/SaveNames.h"
#include "shell/LangStrings.h"
#include "shell/MessageSeam.h"
#include "stream/FileAccess.h"
#include "stream/NumberText.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <optional>

namespace {

const QString ZeroTime = QStringLiteral("00:00:00.000");

} // namespace

// ---- The chapter list -----------------------------------------------------------------------

void EditorSession::SelectChapter(const QString& entry) {
    if (ListsLocked() || entry.isEmpty() || !NoChapter)
        return;
    // The caption ends in the 12-character timecode of the chapter the image or clip is saved as.
    SaveAsTarget = entry;
    SaveAsCaption = SaveAsCaption.chopped(qMin<qsizetype>(12, SaveAsCaption.size())) + entry;
    emit optionsChanged();
}

void EditorSession::VisitChapter(const QString& entry) {
    if (!ListsLocked() && !entry.isEmpty())
        GoToTimecode(entry);
}

void EditorSession::DeleteFileChapter(const QString& entry) {
    if (FileChapters.removeOne(entry))
        emit fileChaptersChanged();
}

void EditorSession::DeleteChapter(const QString& entry) {
    if (entry.isEmpty() || !Chapters.contains(entry))
        return;
    // The still image, the clip and a clip's index file of that chapter, named as Save current
    // names them; missing ones are fine.
    const auto saved = [this, &entry](const QString& suffix) {
        return RelocateName(ComposeSaveName(g.VideoFile, entry, false, suffix), g.OutDir);
    };
    const QString clip = saved(QStringLiteral(".vob"));
    for (const QString& file : {saved(QStringLiteral(".bmp")), clip, IndexFileFor(clip)})
        QFile::remove(file);
    std::erase_if(Marks, [&entry](const ChapterMark& mark) { return mark.timecode == entry; });
    Chapters.removeOne(entry);
    emit chaptersChanged();
    RewriteCellTimesAfterDelete(CellTimesPath, Chapters);
}

void EditorSession::BuildChapterIcons() {
    ReturnTimecode = ShownTimecode;
    Marks.clear();
    const QStringList entries = Chapters;
    for (const QString& entry : entries) {
        // A failed visit has shown its message; the icon goes where the slider stands.
        GoToTimecode(entry);
        Marks.push_back({entry, SliderValue});
    }
    IconsBuilt = true;
    emit chaptersChanged();
    GoToTimecode(ReturnTimecode);
}

// ---- Imports --------------------------------------------------------------------------------

void EditorSession::ShowFileChapters(const QStringList& times) {
    FileChapters = times;
    std::sort(FileChapters.begin(), FileChapters.end());
    FileChaptersShown = true;
    emit fileChaptersChanged();
}

void EditorSession::ImportChapterList() {
    const QString& times = g.ChapterTimes;
    const ChapterTextResult result = ReadChapterText(times, ChapterTextSource::CommandLine);
    if (!result.accepted) {
        ShowMessage(parent(), LoadLangString(206) + QStringLiteral("\r\n") + times);
        return;
    }
    ShowFileChapters(result.entries);
}

void EditorSession::ImportClipboardText(const QString& text) {
    const ChapterTextResult result = ReadChapterText(text, ChapterTextSource::Clipboard);
    if (!result.accepted) {
        ShowMessage(parent(), LoadLangString(206));
        return;
    }
    ShowFileChapters(result.entries);
}

void EditorSession::ImportChapterFile(const QString& path) {
    if (!FileExists(path)) {
        ShowMessage(parent(), LoadLangString(207));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // A file that holds no usable time is passed over without a message; the formats of other
    // chapter tools are told by their content.
    const ChapterTextResult result = ReadChapterFile(file);
    if (result.accepted)
        ShowFileChapters(result.entries);
}

QString EditorSession::ChapterExportPath(ChapterFormat format) const {
    return ChapterExportPathFor(QFileInfo(CellTimesPath).path(), g.VideoFile, format);
}

bool EditorSession::ExportChapterList(const QString& path, ChapterFormat format) {
    ChapterExportOptions options;
    options.videoFile = g.VideoFile;
    options.durationSeconds = g.DurationSeconds;
    options.videoFormat = DvdVideoFormatOf(g.FrameRate);
    options.nameTemplate = ChapterNameTemplate;
    if (WriteChapterExport(path, format, Chapters, options))
        return true;
    ShowMessage(parent(), LoadLangString(269, {QStringLiteral("|1"), path}),
                MessageIcon::Exclamation);
    return false;
}

// ---- Chapter runs ---------------------------------------------------------------------------

void EditorSession::Command_CreateChapters_Click(const QString& countText) {
    const std::optional<int> count = ChapterCountFromText(countText);
    if (!count) {
        ShowMessage(parent(), LoadLangString(202));
        return;
    }
    CreateChaptersAuto(false, *count);
}

void EditorSession::Command_CreateChapters2_Click(const QString& minutesText) {
    const std::optional<int> minutes = IntervalMinutesFromText(minutesText, g.DurationSeconds);
    if (!minutes) {
        ShowMessage(parent(), LoadLangString(202) + QStringLiteral("\r\n") + LoadLangString(203));
        return;
    }
    CreateChaptersAuto(true, *minutes);
}

void EditorSession::CreateChaptersAuto(bool byInterval, int value) {
    // A run makes every chapter anew.
    Chapters.clear();
    Marks.clear();
    emit chaptersChanged();
    ReturnTimecode = ShownTimecode;
    SessionBusy busy(*this, LoadLangString(229));
    SetNoChapter(false);

    // The first chapter is the start of the file.
    GoToTimecode(ZeroTime);
    SaveCurrent();
    LocatedGop lastChapter{0, FirstGopTimecode, ZeroTime, 0};

    // A clip needs its whole length inside the video, an image a second.
    const double tail = Clips ? std::floor(LeadingNumber(ClipSecondsText)) : 1.0;
    const ChapterPlan plan = PlanChapters(g.DurationSeconds, byInterval, value, tail);
    busy.Progress(1, plan.count);
    if (plan.count > 1) {
        // Bytes per interval: the first guess for each chapter's GOP.
        const double bytesPerInterval =
            RoundDecimals(double(FileLength) / (g.DurationSeconds / plan.intervalSeconds), 4);
        for (int i = 1; i < plan.count; ++i) {
            MpegLib.CloseDecoder();
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
                TellTimeNotFound(ChapterTimeText(target));
                // The run ends on the last chapter it made, with the decoder open again.
                FinalPositioning(lastChapter.pos, lastChapter.text, lastChapter.raw);
                return;
            }
            SaveCurrent();
            lastChapter = *gop;
            busy.Progress(i + 1, plan.count);
        }
    }
    GoToTimecode(ReturnTimecode);
}

void EditorSession::Command_CreateChapters3_Click() {
    if (FileChapters.isEmpty())
        return;
    ReturnTimecode = ShownTimecode;
    SessionBusy busy(*this, LoadLangString(229));
    Chapters.clear();
    Marks.clear();
    emit chaptersChanged();
    SetNoChapter(false);
    const QStringList times = FileChapters;
    for (qsizetype i = 0; i < times.size(); ++i) {
        if (!GoToTimecode(times[i])) {
            AutoRunFailed = true;
            break;
        }
        if (!ShownTimecodeKnown()) {
            TellTimeNotFound(times[i]);
            AutoRunFailed = true;
            break;
        }
        // Two times that lead to the same GOP make one chapter: a second press there would
        // only show "Chapter already defined!", which would stop an unattended run.
        if (!Chapters.contains(ShownTimecode))
            SaveCurrent();
        busy.Progress(i + 1, times.size());
    }
    GoToTimecode(ReturnTimecode);
}
