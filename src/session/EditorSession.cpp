#include "session/EditorSession.h"

#include "chapters/Timecode.h"
#include "session/ShownSize.h"
#include "shell/LangStrings.h"

EditorSession::EditorSession(Global_var_module& record, QObject* parent)
    : QObject(parent), g(record) {
    playTimer_.setSingleShot(true);
    playTimer_.setTimerType(Qt::PreciseTimer);
    connect(&playTimer_, &QTimer::timeout, this, &EditorSession::PlaybackTick);
}

EditorSession::~EditorSession() {
    MpegLib.CloseDecoder();
}

void EditorSession::SetCaption(const QString& caption) {
    Caption = caption;
    emit captionChanged();
}

// ---- Save options ---------------------------------------------------------------------------

bool EditorSession::ShownTimecodeKnown() const {
    return IsTimecode(ShownTimecode);
}

bool EditorSession::SaveEnabled() const {
    // "???" must never become a chapter mark or a file name.
    return SaveButtonWanted && ShownTimecodeKnown();
}

void EditorSession::EnableSaveButton(bool enabled) {
    SaveButtonWanted = enabled;
    emit optionsChanged();
}

void EditorSession::UpdateSaveButton() {
    if (PathTooLong != FlagFalse) {
        EnableSaveButton(false);
        return;
    }
    const bool markAllowed = SaveAllowed != FlagFalse && AtGopStart != FlagFalse;
    if (ChapterOnly) {
        SaveCaption = LoadLangString(265);
        EnableSaveButton(markAllowed);
        return;
    }
    if (NoChapter) {
        SaveAsZeroEnabled = true;
        SaveCaption = LoadLangString(Clips ? 247 : 246);
    } else {
        SaveAsZeroEnabled = false;
        SaveAsZero = false;
        SaveCaption = LoadLangString(Clips ? (markAllowed ? 245 : 247) : (markAllowed ? 244 : 246));
    }
    emit optionsChanged();
}

void EditorSession::SetClips(bool clips) {
    Clips = clips;
    // A clip can start only at a GOP start.
    EnableSaveButton(!clips || AtGopStart != FlagFalse);
    UpdateSaveButton();
}

void EditorSession::SetChapterOnly(bool on) {
    ChapterOnly = on;
    // "Mark only" and "No Mark" are never both checked, and a mark needs no choice of kind.
    if (on)
        NoChapter = false;
    KindsEnabled = !on;
    UpdateSaveButton();
}

void EditorSession::SetNoChapter(bool on) {
    NoChapter = on;
    if (on)
        ChapterOnly = false;
    KindsEnabled = !ChapterOnly;
    UpdateSaveButton();
}

void EditorSession::SetSaveAsZero(bool on) {
    SaveAsZero = on;
    emit optionsChanged();
}

void EditorSession::SetUseOffset(bool on) {
    UseOffset = on;
    // With the chapter file's path too long nothing may be saved either way.
    if (PathTooLong != FlagFalse) {
        emit optionsChanged();
        return;
    }
    ShownTimecode = on ? DisplayTimecode(CurrentTimecode) : CurrentTimecode;
    SaveAllowed = ToFlag(on);
    emit positionChanged();
    UpdateSaveButton();
}

void EditorSession::SetCrop(bool on) {
    Crop = on;
    emit optionsChanged();
}

void EditorSession::SetSingleField(bool on) {
    g.SingleField = ToFlag(on);
    emit optionsChanged();
}

void EditorSession::SetScaleRgb(bool on, int sliderValue) {
    MpegLib.ScaleRgb = ToFlag(on);
    // Reopening through the slider's jump hands the new flag to the decoder and redraws.
    Slider1_Change(sliderValue);
}

void EditorSession::SetClipSecondsText(const QString& text) {
    ClipSecondsText = text;
}

QString EditorSession::DisplayTimecode(const QString& timecode) {
    if (!UseOffset || !OffsetVisible)
        return timecode;
    const OffsetTimecode shifted = ApplyTimeOffset(timecode, FirstGopTimecode);
    if (shifted.beforeFirstGop)
        SetCaption(g.VideoFile + QStringLiteral("  Wrong timecode found!!!"));
    return shifted.text;
}

// ---- Busy stretches -------------------------------------------------------------------------

SessionBusy::SessionBusy(EditorSession& session, const QString& what) : session_(session) {
    outer_ = session_.busy_;
    session_.busy_ = this;
    emit session_.busyStarted(what);
}

SessionBusy::~SessionBusy() {
    End();
}

void SessionBusy::End() {
    if (ended_)
        return;
    ended_ = true;
    if (session_.busy_ == this)
        session_.busy_ = outer_;
    emit session_.busyEnded();
}

void SessionBusy::Progress(qint64 done, qint64 total) {
    if (!ended_)
        emit session_.busyProgress(done, total);
}

void EditorSession::SetPictureArea(QSize area, bool displayAspect) {
    MpegLib.ShownSizeOf = [this, area, displayAspect](QSize stream) {
        return ShownPictureSize(stream, g.AspectRatioText, displayAspect, area);
    };
    if (Picture().isNull())
        return;
    MpegLib.Redraw();
    emit pictureChanged();
}
