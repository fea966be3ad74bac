#include "session/EditorSession.h"

#include "chapters/Timecode.h"
#include "export/CellTimes.h"
#include "shell/LangStrings.h"
#include "shell/MessageSeam.h"
#include "stream/ByteSearch.h"
#include "stream/FileAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {

constexpr int MaxCellTimesPath = 250;
constexpr qint32 HeaderBlock = 100000;
const QString ZeroTime = QStringLiteral("00:00:00.000");

// The first free name "test###<n>.t#t" in the folder.
QString WriteProbeName(const QString& folder) {
    for (int n = 1; n < 1000000; ++n) {
        const QString name = QDir(folder).filePath(QStringLiteral("test###%1.t#t").arg(n));
        if (!QFileInfo::exists(name))
            return name;
    }
    return QString();
}

// True when a new file can be made in the folder; the probe file is removed again.
bool CanWriteProbe(const QString& folder) {
    const QString name = WriteProbeName(folder);
    if (name.isEmpty())
        return false;
    QFile probe(name);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    probe.close();
    probe.remove();
    return true;
}

} // namespace

bool EditorSession::Start() {
    SaveCaption = LoadLangString(230);
    SaveAsCaption = LoadLangString(261, {QStringLiteral("|1"), ZeroTime});
    SaveAsTarget = ZeroTime;
    MpegLib.ScaleRgb = FlagTrue;
    // Options given on the command line.
    Crop = g.CropGiven != FlagFalse;
    if (g.MarkOnly != FlagFalse)
        SetChapterOnly(true);

    // The output folder, proven writable.
    FileLength = FileSizeOf(g.VideoFile);
    if (g.OutDir.isEmpty())
        g.OutDir = g.VideoFile.left(qMax<qsizetype>(0, g.VideoFile.lastIndexOf(u'/')));
    if (!CanWriteProbe(g.OutDir))
        g.OutDir = g.AppPath;

    // The header bytes an elementary stream needs before any later GOP.
    g.StreamHeader.clear();
    if (g.Muxed == 0) {
        QByteArray head;
        const qint32 got = ReadFileBlockAt(g.VideoFile, HeaderBlock, 0, head);
        const qsizetype gop =
            got > 0 ? FindFirst(QByteArrayView(head.constData(), got), Pattern(StartCode::Gop)) : 0;
        if (gop == 0) {
            ShowMessage(parent(), LoadLangString(208));
            EndProgram = true;
            return false;
        }
        g.StreamHeader = head.left(gop - 1);
    }

    BytesPerStep = double(FileLength) / double(SliderMaximum);
    SetCaption(g.VideoFile + QStringLiteral("   OutDir=") + g.OutDir);

    // The first GOP's time code; a stream that does not start at zero needs the offset.
    FirstGopTimecode = ReadFirstGopTimecode(g.VideoFile, g.FrameRate, g.DropFrame != FlagFalse);
    ShownTimecode = FirstGopTimecode;
    CurrentTimecode = FirstGopTimecode;
    SaveAllowed = FlagTrue;
    if (ShownTimecode != ZeroTime) {
        UseOffset = false;
        OffsetVisible = true;
        SaveAllowed = FlagFalse;
    }

    // The first picture.
    MpegLib.OpenDecoder(g.VideoFile);
    Render(0);
    CurrentPos = 0;
    ClipStartPos = 0;
    AtGopStart = FlagTrue;

    // The run's chapter file.
    CellTimesPath = CellTimesPathFor(g.OutDir, g.VideoFile);
    PathTooLong = ToFlag(CellTimesPath.size() > MaxCellTimesPath);
    if (PathTooLong != FlagFalse) {
        SaveAllowed = FlagFalse;
        if (g.AutoMode == FlagFalse)
            ShowMessage(parent(), QStringLiteral("Path/filename to long! Max. 235 characters."));
    }
    emit positionChanged();
    UpdateSaveButton();

    // The chapters of an earlier run, or the times given on the command line.
    if (g.AutoMode != FlagFalse) {
        if (!g.ChapterTimes.isEmpty())
            ImportChapterList();
    } else if (FileExists(CellTimesPath)) {
        if (const std::optional<QStringList> entries = ReadCellTimes(CellTimesPath)) {
            Chapters = *entries;
            std::sort(Chapters.begin(), Chapters.end());
        }
    } else {
        Chapters.clear();
        if (!g.ChapterTimes.isEmpty())
            ImportChapterList();
    }
    // Icons are built lazily once chapters came from a file.
    IconsBuilt = Chapters.isEmpty();
    emit chaptersChanged();

    if (g.ClipSeconds > 0 && g.ClipSeconds < 999) {
        ClipSecondsText = QString::number(g.ClipSeconds);
        SetClips(true);
    }
    emit optionsChanged();
    return true;
}

bool EditorSession::QueryUnload() {
    if (Playing != FlagFalse) {
        Playing = FlagFalse;
        emit playingChanged();
        return true;
    }
    if (!Chapters.isEmpty() && Chapters.first() != ZeroTime) {
        const QString lineBreak = QStringLiteral("\r\n");
        const QString question =
            LoadLangString(260, {QStringLiteral("|1"), lineBreak, QStringLiteral("|2"), lineBreak});
        if (ShowMessage(parent(), question, MessageIcon::Exclamation, MessageButtons::OkCancel) ==
            MessageResult::Cancel)
            return true;
    }
    return false;
}

void EditorSession::Unload() {
    playTimer_.stop();
    MpegLib.CloseDecoder();
}
