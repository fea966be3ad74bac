// Times typed by users or read from files: normalising, reading back, stepping, offsets and the
// chapter plans built from typed numbers.
#include "FuzzFile.h"
#include "chapters/ChapterPlan.h"
#include "chapters/Timecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    const double duration = provider.ConsumeFloatingPoint<double>();
    const double tail = provider.ConsumeFloatingPoint<double>();
    const bool byInterval = provider.ConsumeBool();
    const int value = provider.ConsumeIntegral<int>();
    const float rate = provider.ConsumeFloatingPoint<float>();
    const QString other = QString::fromUtf8(provider.ConsumeRandomLengthString(40));
    const QString text = QString::fromUtf8(provider.ConsumeRemainingBytesAsString());

    const QString kept = NormalizeTimecode(text, true);
    if (!kept.isEmpty()) {
        // A normalised time is a time, and normalising it again changes nothing.
        FUZZ_CHECK(NormalizeTimecode(kept, true) == kept);
        FUZZ_CHECK(!NormalizeTimecode(kept, false).isEmpty());
        const std::optional<double> seconds = TimecodeSeconds(kept);
        FUZZ_CHECK(seconds && *seconds >= 0 && *seconds < 86400);
    }
    NormalizeTimecode(text, false);
    TimecodeSeconds(text);
    int daySeconds = 0;
    if (TimeOfDaySeconds(text, daySeconds))
        FUZZ_CHECK(daySeconds >= 0 && daySeconds < 86400);
    StepTimecode(text, other, rate);
    ApplyTimeOffset(text, other, true);
    ApplyTimeOffset(other, text, true);

    if (const std::optional<int> count = ChapterCountFromText(text))
        FUZZ_CHECK(*count >= 1 && *count <= MaxAutoChapters);
    if (const std::optional<int> minutes = IntervalMinutesFromText(text, duration))
        FUZZ_CHECK(*minutes >= 1 && *minutes <= MaxIntervalMinutes);
    const ChapterPlan plan = PlanChapters(duration, byInterval, value, tail);
    FUZZ_CHECK(plan.count >= 1);
    ChapterTimeText(duration);
    return 0;
}
