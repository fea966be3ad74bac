#pragma once

#include "chapters/ChapterFormats.h"
#include "chapters/GopLocator.h"
#include "chapters/GopSearch.h"
#include "shell/GlobalVars.h"
#include "stream/Flag.h"
#include "viewer/MpegLibModule.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <vector>

// A chapter icon over the position slider: the chapter's timecode and the slider value where the
// chapter's GOP lies.
struct ChapterMark {
    QString timecode;
    int sliderValue = 0;
};

class SessionBusy;

// The editor's state and work, without a window: where the video stands, its timecode, the
// chapter lists, the save options, and every step, save and run the editor makes. The editor
// window shows what the session reports and hands it the user's actions; the unattended run
// drives it directly. Questions and messages go through the message seam.
class EditorSession : public QObject {
    Q_OBJECT
public:
    // The session works on `record`: the video, the scan result, the run options and the crop
    // margins, which the crop dialog changes while the session runs.
    explicit EditorSession(Global_var_module& record, QObject* parent = nullptr);
    ~EditorSession() override;

    static constexpr int SliderMaximum = 32000;

    // ---- Start and closing -----------------------------------------------------------------
    // The load step: output folder and write probe, GOP check, first GOP timecode, first picture,
    // the chapters of an earlier run or of the command line. False when the video cannot be
    // edited (the message was shown).
    bool Start();
    // Before the editor closes: true to keep it open (a playback is stopped first; chapters
    // that do not begin at the start of the video ask whether to go on).
    bool QueryUnload();
    void Unload();

    // ---- Where the video stands ------------------------------------------------------------
    qint64 CurrentPos = 0;   // byte position of the shown picture
    qint64 ClipStartPos = 0; // GOP position of the last jump
    QString CurrentTimecode = QStringLiteral("00:00:00.000");
    QString FirstGopTimecode = QStringLiteral("00:00:00.000");
    // The timecode as shown: CurrentTimecode with the offset applied, "???" when unknown.
    QString ShownTimecode = QStringLiteral("00:00:00.000");
    Flag AtGopStart = FlagTrue;
    Flag UsePreviewPos = FlagFalse;
    qint64 FileLength = 0;
    double BytesPerStep = 0; // FileLength / 32000
    int SliderValue = 0;
    QString PreviewTimecode; // the time under the thumb while a drag previews
    QString Caption;         // the window's caption
    // The shown picture, at the size it is shown.
    const QImage& Picture() const { return MpegLib.Picture; }
    // Pictures are shown whole within `area`, at their display aspect when asked; before this
    // (and in a run without a window) at the stream's size.
    void SetPictureArea(QSize area, bool displayAspect);
    const QString& VideoFile() const { return g.VideoFile; }
    MpegLibModule MpegLib;

    // ---- The chapter lists and the run's files ----------------------------------------------
    QStringList Chapters = {QStringLiteral("00:00:00.000")}; // sorted, each timecode once
    QStringList FileChapters;                                // read from a file or the clipboard
    bool FileChaptersShown = false;
    std::vector<ChapterMark> Marks;
    bool IconsBuilt = false;
    QString CellTimesPath;
    Flag SaveAllowed = FlagTrue;
    Flag PathTooLong = FlagFalse;
    QStringList SaveFailures;   // files neither OutDir nor AppPath took (exit code 2)
    bool AutoRunFailed = false; // an automatic run that could not start or stopped (exit code 3)
    bool EndProgram = false;    // the video has no GOP header
    QString ReturnTimecode;

    // ---- Save options ----------------------------------------------------------------------
    bool ChapterOnly = false; // "Mark only"
    bool NoChapter = false;   // "No Mark"
    bool SaveAsZero = false;
    bool SaveAsZeroEnabled = false;
    QString SaveAsTarget = QStringLiteral("00:00:00.000");
    QString SaveAsCaption;
    bool Clips = false; // clips instead of images
    bool KindsEnabled = true;
    QString ClipSecondsText = QStringLiteral("10");
    bool UseOffset = false;
    bool OffsetVisible = false;
    bool Crop = false;
    bool SaveButtonWanted = true;
    QString SaveCaption;
    bool SaveEnabled() const;
    bool ShownTimecodeKnown() const;
    // Chapter and file-chapter lists take no clicks while raw stream times are shown.
    bool ListsLocked() const { return OffsetVisible && !UseOffset; }
    bool CreateEnabled() const { return SaveAllowed != FlagFalse && !ControlsHeld; }

    void SetChapterOnly(bool on);
    void SetNoChapter(bool on);
    void SetSaveAsZero(bool on);
    void SetClips(bool clips);
    void SetUseOffset(bool on);
    void SetCrop(bool on);
    void SetSingleField(bool on);
    // The decoder's RGB scaling; the picture at the slider's value is shown anew with it.
    void SetScaleRgb(bool on, int sliderValue);
    void SetClipSecondsText(const QString& text);
    void UpdateSaveButton();
    void EnableSaveButton(bool enabled);
    QString DisplayTimecode(const QString& timecode);

    // ---- Steps -----------------------------------------------------------------------------
    void NextPictureStep();
    void NextGopStep();
    void PreviousGopStep();
    // One picture back: the GOP is decoded again from its first picture to the picture before the
    // shown one (from the GOP before it when a GOP's first picture is shown).
    void PreviousPictureStep();
    // The first picture of the video, and the last GOP.
    void GoToStart();
    void GoToLastGop();
    // A drag begins: a jump after a preview starts where the decoder entered the stream.
    void BeginDrag();
    void PreviewSliderPosition(int sliderValue);
    // The slider's value changed by the user: the GOP before it is shown.
    void Slider1_Change(int sliderValue);
    // Moves to the GOP nearest the time `tc`; false (after message 204) when none was found.
    bool GoToTimecode(const QString& tc);
    qint64 SeekTarget(qint64 pos) const;
    QString FindGop(qint64 pos, SearchDirection direction, bool move);
    GopSearchContext SearchContext() const;
    GopLocatorInput LocatorInput();

    // ---- Saving and the chapter lists -------------------------------------------------------
    void SaveCurrent();
    void ReportSaveFailure(const QString& path);
    // A click on a chapter: with "No Mark" the next save goes under that chapter's name.
    void SelectChapter(const QString& entry);
    void VisitChapter(const QString& entry);
    void DeleteChapter(const QString& entry);
    void DeleteFileChapter(const QString& entry);
    void BuildChapterIcons();
    // The chapter runs: a number of chapters, one every so many minutes, the file chapters.
    void Command_CreateChapters_Click(const QString& countText);
    void Command_CreateChapters2_Click(const QString& minutesText);
    void Command_CreateChapters3_Click();
    void ImportChapterList();
    void ImportClipboardText(const QString& text);
    void ImportChapterFile(const QString& path);
    // Writes the chapter list for another tool, the chapters named by ChapterNameTemplate; a file
    // that cannot be written is reported.
    bool ExportChapterList(const QString& path, ChapterFormat format);
    QString ChapterNameTemplate = QStringLiteral("Chapter %1"); // "%1": the chapter's number
    // The export file offered for `format`, beside the cell-times file.
    QString ChapterExportPath(ChapterFormat format) const;

    // ---- Playback --------------------------------------------------------------------------
    Flag Playing = FlagFalse;
    // From a playback start until Stop or Pause the step, run and list controls are held off.
    bool ControlsHeld = false;
    void StartPlayback();
    void RestorePlaybackControls();
    void Command2_Click(); // Play / Pause
    void Command3_Click(); // Stop

signals:
    void pictureChanged();
    void positionChanged();
    void previewChanged();
    void optionsChanged();
    void chaptersChanged();
    void fileChaptersChanged();
    void captionChanged();
    void playingChanged();
    void busyStarted(const QString& what);
    void busyProgress(qint64 done, qint64 total);
    void busyEnded();

private:
    // Where a picture step started: the pictures stepped through since the last seek, so that a
    // step back can decode them again from the seek's GOP.
    struct StepState {
        qint64 pos = 0;
        QString timecode;
        Flag atGopStart = FlagFalse;
    };
    std::vector<StepState> steps_;
    bool StepPicture();
    void ReplaySteps(size_t count);
    bool StepBackIntoEarlierGop();
    void ShowSteppedBack(const StepState& state);
    void ShowTimecode();
    void SetSlider();
    void JumpToGop();
    void GopStep(qint64 pos, SearchDirection direction);
    void FinalPositioning(qint64 pos, const QString& text, const QString& rawTimecode);
    void Render(qint64 target);
    void AddChapter(const QString& timecode);
    void ShowFileChapters(const QStringList& times);
    void CreateChaptersAuto(bool byInterval, int value);
    // "Cannot find time": ends every busy stretch first.
    void TellTimeNotFound(const QString& time);
    void SaveClip(const QString& composed);
    void PlaybackTick();
    void SetCaption(const QString& caption);

    Global_var_module& g;
    QTimer playTimer_;
    QElapsedTimer playClock_;
    qint64 nextFrameNs_ = 0;
    // The innermost busy stretch under way.
    SessionBusy* busy_ = nullptr;
    friend class SessionBusy;
};

// A busy stretch of the session (a chapter run, a clip): reported to the views while it lasts.
class SessionBusy {
public:
    SessionBusy(EditorSession& session, const QString& what);
    ~SessionBusy();
    SessionBusy(const SessionBusy&) = delete;
    SessionBusy& operator=(const SessionBusy&) = delete;
    void Progress(qint64 done, qint64 total);
    // Ends the stretch now, before the destructor would.
    void End();

private:
    EditorSession& session_;
    SessionBusy* outer_ = nullptr; // a stretch this one runs inside
    bool ended_ = false;
};
