#include "session/EditorSession.h"

#include "chapters/Timecode.h"
#include "shell/LangStrings.h"
#include "shell/MessageSeam.h"

#include <cmath>

namespace {

// A program stream is entered this many bytes before a GOP header (when it lies beyond
// SeekBackLimit), so that the decoder meets the pack that carries the header.
constexpr qint64 SeekBack = 256;
constexpr qint64 SeekBackLimit = 300;

constexpr double SecondsPerDay = 86400.0;
// How far past the play time a time may lie and still go to the last GOP.
constexpr double PastTheEndSeconds = 1.0;

// A byte position computed from the slider: rounded to the 1/10000 byte that positions carry, then
// cut to whole bytes, so that a product a hair below a whole byte counts as that byte.
qint64 WholeBytes(double bytes) {
    return TruncatePosition(std::nearbyint(bytes * 10000.0) / 10000.0);
}

// A normalized time (NormalizeTimecode without the fraction kept) as a day fraction; 0 when the
// text does not normalize.
double TargetDays(const QString& tc) {
    QString normalized = NormalizeTimecode(tc, false);
    normalized.replace(u',', u'.');
    bool ok = false;
    const double value = normalized.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

} // namespace

// ---- Shared steps ---------------------------------------------------------------------------

void EditorSession::Render(qint64 target) {
    steps_.clear();
    MpegLib.SeekAndRender(target);
    emit pictureChanged();
}

void EditorSession::ShowTimecode() {
    ShownTimecode = DisplayTimecode(CurrentTimecode);
    emit positionChanged();
}

qint64 EditorSession::SeekTarget(qint64 pos) const {
    if (g.StreamHeader.isEmpty() && pos > SeekBackLimit)
        return pos - SeekBack;
    return pos;
}

void EditorSession::SetSlider() {
    int value = 0;
    if (BytesPerStep > 0) {
        const double steps = std::floor(double(CurrentPos) / BytesPerStep);
        value = int(qBound(0.0, steps, double(SliderMaximum)));
    }
    SliderValue = value;
    emit positionChanged();
}

void EditorSession::JumpToGop() {
    ClipStartPos = CurrentPos;
    const qint64 target = SeekTarget(CurrentPos);
    UsePreviewPos = FlagFalse;
    MpegLib.OpenDecoder(g.VideoFile);
    Render(target);
    SetSlider();
}

GopSearchContext EditorSession::SearchContext() const {
    GopSearchContext context;
    context.path = g.VideoFile;
    context.fileLength = FileLength;
    context.frameRate = g.FrameRate;
    context.dropFrame = g.DropFrame != FlagFalse;
    return context;
}

QString EditorSession::FindGop(qint64 pos, SearchDirection direction, bool move) {
    const GopSearchResult result = FindGopTimecode(SearchContext(), pos, direction);
    if (move && result.found)
        CurrentPos = result.headerPos;
    if (result.fallback == GopFallback::ShownText)
        return ShownTimecode;
    if (result.fallback == GopFallback::CurrentTimecode)
        return CurrentTimecode;
    return result.timecode;
}

// ---- Steps ----------------------------------------------------------------------------------

// Decodes the next picture and counts the timecode on; false at the end of the video, where the
// decoder's position stands still once the last picture is out.
bool EditorSession::StepPicture() {
    StepState before{CurrentPos, CurrentTimecode, AtGopStart};
    MpegLib.RenderNextFrame(CurrentPos);
    if (CurrentPos == before.pos)
        return false;
    steps_.push_back(std::move(before));
    CurrentTimecode = StepTimecode(CurrentTimecode, ShownTimecode, g.FrameRate);
    return true;
}

void EditorSession::NextPictureStep() {
    const bool stepped = StepPicture();
    emit pictureChanged();
    if (!stepped)
        return;
    ShowTimecode();
    SetSlider();
    // During playback the save button is left to playback.
    if (!ControlsHeld)
        EnableSaveButton(!Clips);
    AtGopStart = FlagFalse;
    UpdateSaveButton();
}

void EditorSession::NextGopStep() {
    if (CurrentPos + GopWalkStep < g.LastGopPos)
        GopStep(CurrentPos + GopWalkStep, SearchDirection::Forward);
}

void EditorSession::PreviousGopStep() {
    if (CurrentPos > GopWalkStep)
        GopStep(CurrentPos - GopWalkStep, SearchDirection::Backward);
}

// Steps off the GOP shown to `pos` and shows the GOP the search finds from there.
void EditorSession::GopStep(qint64 pos, SearchDirection direction) {
    MpegLib.CloseDecoder();
    CurrentPos = pos;
    CurrentTimecode = FindGop(CurrentPos, direction, true);
    ShowTimecode();
    JumpToGop();
    EnableSaveButton(true);
    AtGopStart = FlagTrue;
    UpdateSaveButton();
}

// ---- Slider ---------------------------------------------------------------------------------

void EditorSession::BeginDrag() {
    MpegLib.DecoderPos = CurrentPos;
}

void EditorSession::PreviewSliderPosition(int sliderValue) {
    MpegLib.CloseDecoder();
    CurrentPos = WholeBytes(sliderValue * BytesPerStep);
    const qint64 target = SeekTarget(CurrentPos);
    CurrentTimecode = FindGop(CurrentPos, SearchDirection::Backward, false);
    PreviewTimecode = DisplayTimecode(CurrentTimecode);
    emit previewChanged();
    UsePreviewPos = FlagTrue;
    MpegLib.OpenDecoder(g.VideoFile);
    Render(target);
}

void EditorSession::Slider1_Change(int sliderValue) {
    MpegLib.CloseDecoder();
    // After a preview the jump starts from where the decoder actually entered the stream.
    CurrentPos =
        UsePreviewPos != FlagFalse ? MpegLib.DecoderPos : WholeBytes(sliderValue * BytesPerStep);
    UsePreviewPos = FlagFalse;
    CurrentTimecode = FindGop(CurrentPos, SearchDirection::Backward, true);
    ShowTimecode();
    JumpToGop();
    AtGopStart = FlagTrue;
}

void EditorSession::GoToStart() {
    MpegLib.CloseDecoder();
    MpegLib.OpenDecoder(g.VideoFile);
    UsePreviewPos = FlagFalse;
    Render(0);
    CurrentPos = 0;
    ClipStartPos = 0;
    ShownTimecode = QStringLiteral("00:00:00.000");
    CurrentTimecode = FirstGopTimecode;
    AtGopStart = FlagTrue;
    SetSlider();
    UpdateSaveButton();
}

void EditorSession::GoToLastGop() {
    if (g.LastGopPos > 0)
        GopStep(FileLength, SearchDirection::Backward);
}

// ---- Moving to a time -----------------------------------------------------------------------

GopLocatorInput EditorSession::LocatorInput() {
    GopLocatorInput input;
    input.context = SearchContext();
    input.durationSeconds = g.DurationSeconds;
    input.lastGopPos = g.LastGopPos;
    input.display = [this](const QString& raw) { return DisplayTimecode(raw); };
    return input;
}

void EditorSession::TellTimeNotFound(const QString& time) {
    // The message ends a run: it must not stand under the run's busy indicator.
    while (busy_)
        busy_->End();
    ShowMessage(parent(), LoadLangString(204, {QStringLiteral("|1"), time}));
}

bool EditorSession::GoToTimecode(const QString& tc) {
    const double T = TargetDays(tc);
    const double D = g.DurationSeconds / SecondsPerDay;

    if (T == 0.0) {
        GoToStart();
        return true;
    }

    auto fail = [&] {
        TellTimeNotFound(tc);
        return false;
    };

    // A proportional first guess; the locator corrects it and walks to the nearest GOP.
    const double probe = D > 0 ? double(FileLength) / (D / T) : 0.0;
    MpegLib.CloseDecoder();
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

void EditorSession::FinalPositioning(qint64 pos, const QString& text, const QString& rawTimecode) {
    ShownTimecode = text;
    CurrentPos = pos;
    ClipStartPos = pos;
    // The next picture steps count on from the GOP's own time code.
    CurrentTimecode = rawTimecode;
    MpegLib.OpenDecoder(g.VideoFile);
    UsePreviewPos = FlagFalse;
    Render(SeekTarget(pos));
    AtGopStart = FlagTrue;
    SetSlider();
    UpdateSaveButton();
}
