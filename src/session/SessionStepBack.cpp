#include "session/EditorSession.h"

#include "chapters/Timecode.h"

#include <cmath>

namespace {

// Pictures stepped through since the last seek that a step back decodes again from the seek's
// GOP; after longer stretches (a playback) the step back starts from the GOP before the picture.
constexpr size_t ReplayLimit = 600;
// A GOP found before the picture that would need more pictures than this is not taken.
constexpr qint64 MaxGopPictures = 1000;
// How many GOPs back the search for the GOP before a picture goes.
constexpr int MaxGopsBack = 16;

} // namespace

void EditorSession::PreviousPictureStep() {
    if (ControlsHeld)
        return;
    if (steps_.empty() || steps_.size() > ReplayLimit) {
        StepBackIntoEarlierGop();
        return;
    }
    const StepState target = steps_.back();
    const size_t count = steps_.size() - 1;
    ReplaySteps(count);
    ShowSteppedBack(target);
}

// Decodes the seek's GOP again from its first picture and `count` pictures on, the way the
// picture steps went; the steps stay on record for the next step back.
void EditorSession::ReplaySteps(size_t count) {
    std::vector<StepState> kept(steps_.begin(), steps_.begin() + qsizetype(count));
    MpegLib.CloseDecoder();
    MpegLib.OpenDecoder(g.VideoFile);
    MpegLib.SeekAndRender(SeekTarget(ClipStartPos));
    qint64 pos = 0;
    for (size_t i = 0; i < count; ++i)
        MpegLib.RenderNextFrame(pos);
    steps_ = std::move(kept);
}

void EditorSession::ShowSteppedBack(const StepState& state) {
    CurrentPos = state.pos;
    CurrentTimecode = state.timecode;
    AtGopStart = state.atGopStart;
    emit pictureChanged();
    ShowTimecode();
    SetSlider();
    // Back on the GOP's first picture the saves are those of a GOP step, else those of a picture
    // step.
    EnableSaveButton(AtGopStart != FlagFalse || !Clips);
    UpdateSaveButton();
}

// The picture before the shown one lies in an earlier GOP, or too many pictures back to decode
// again from the last seek: the GOP before it is found by the timecodes and decoded up to it.
bool EditorSession::StepBackIntoEarlierGop() {
    const std::optional<double> shown = TimecodeSeconds(CurrentTimecode);
    if (!shown || !(g.FrameRate > 0.0f))
        return false;
    const double fps = double(g.FrameRate);
    qint64 from = (steps_.empty() ? ClipStartPos : CurrentPos) - GopWalkStep;
    for (int tries = 0; tries < MaxGopsBack && from > 0; ++tries) {
        const GopSearchResult gop =
            FindGopTimecode(SearchContext(), from, SearchDirection::Backward);
        const std::optional<double> start = TimecodeSeconds(gop.timecode);
        if (!gop.found || !start)
            return false;
        const qint64 pictures = std::llround((*shown - *start) * fps) - 1;
        if (pictures < 0) {
            from = gop.headerPos - GopWalkStep;
            continue;
        }
        if (pictures > MaxGopPictures)
            return false;
        MpegLib.CloseDecoder();
        CurrentPos = gop.headerPos;
        CurrentTimecode = gop.timecode;
        AtGopStart = FlagTrue;
        JumpToGop();
        for (qint64 i = 0; i < pictures; ++i) {
            ShownTimecode = DisplayTimecode(CurrentTimecode);
            if (!StepPicture())
                break;
            AtGopStart = FlagFalse;
        }
        ShowSteppedBack({CurrentPos, CurrentTimecode, AtGopStart});
        return true;
    }
    return false;
}
