#include "chapters/ChapterPlan.h"

#include "stream/ClockText.h"
#include "stream/NumberText.h"

#include <cmath>
#include <limits>

namespace {

// The whole number a creation text stands for; NaN and infinities never fit a range check.
double WholeNumberOf(const QString& text) {
    return RoundHalfEven(LeadingNumber(text));
}

} // namespace

std::optional<int> ChapterCountFromText(const QString& text) {
    const double n = WholeNumberOf(text);
    if (!(n >= 1 && n <= MaxAutoChapters))
        return std::nullopt;
    return int(n);
}

std::optional<int> IntervalMinutesFromText(const QString& text, double durationSeconds) {
    const double m = WholeNumberOf(text);
    if (!(m >= 1 && m <= MaxIntervalMinutes))
        return std::nullopt;
    const double count = std::floor(durationSeconds / (m * 60.0)) + 1;
    if (!(count >= 1 && count <= MaxAutoChapters))
        return std::nullopt;
    return int(m);
}

ChapterPlan PlanChapters(double durationSeconds, bool byInterval, int value, double tailSeconds) {
    const double duration = durationSeconds;
    double interval = 0;
    double n = 0;
    if (byInterval) {
        interval = value * 60.0;
        n = std::floor(duration / interval) + 1;
    } else {
        n = value;
        interval = duration / n;
        if (!(interval >= 1.0)) {
            // Less than a second apart: one chapter per whole second, at least the first one.
            n = qMax(1.0, std::floor(duration));
            interval = duration / n;
        }
    }
    const double last = (n - 1) * interval;
    if (duration - 1.0 < last + tailSeconds)
        n -= 1;
    // Durations no video has (from a damaged header) must not overflow the count.
    return {int(qMin(qMax(1.0, n), double(std::numeric_limits<int>::max()))), interval};
}

QString ChapterTimeText(double seconds) {
    const qint64 whole = qint64(std::llround(qMax(0.0, seconds)));
    return ZeroPadded(whole / 3600 % 24, 2) + u':' + ZeroPadded(whole / 60 % 60, 2) + u':' +
           ZeroPadded(whole % 60, 2);
}
