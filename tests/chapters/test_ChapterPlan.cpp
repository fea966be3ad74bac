#include "chapters/ChapterPlan.h"

#include <gtest/gtest.h>

namespace {

TEST(ChapterCountFromText, AcceptsOneToNinetyNine) {
    const struct {
        const char* text;
        std::optional<int> expected;
    } cases[] = {
        {"1", 1},    {"99", 99},  {"10", 10},   {" 7 chapters", 7}, {"2.5", 2},    {"3.5", 4},
        {"0.5", {}}, {"1.5", 2},  {"99.5", {}}, {"98.5", 98},       {"0", {}},     {"100", {}},
        {"-3", {}},  {"abc", {}}, {"", {}},     {"1e1", 10},        {"1e400", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChapterCountFromText(QString::fromLatin1(c.text)), c.expected) << c.text;
}

TEST(IntervalMinutesFromText, AcceptsIntervalsThatGiveOneToNinetyNineChapters) {
    const struct {
        const char* text;
        double duration;
        std::optional<int> expected;
    } cases[] = {
        {"5", 1800, 5},     {"1", 12, 1},  // longer than the video: one chapter
        {"546", 12, 546},                  // the longest interval
        {"547", 12, {}},                   // its seconds would not fit
        {"600", 36000, {}}, {"0", 12, {}}, // no interval at all
        {"abc", 12, {}},    {"0.4", 12, {}}, {"-5", 12, {}}, {"1", 98 * 60 + 59, 1}, // 99 chapters
        {"1", 99 * 60, {}},                                                          // 100 chapters
        {"2.5", 600, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IntervalMinutesFromText(QString::fromLatin1(c.text), c.duration), c.expected)
            << c.text << " over " << c.duration;
}

TEST(PlanChapters, SpacesChaptersAndDropsOneTooCloseToTheEnd) {
    const struct {
        const char* what;
        double duration;
        bool byInterval;
        int value;
        double tail;
        int count;
        double interval;
    } cases[] = {
        // The worked example: 30 minutes every 5 minutes; the chapter at the very end goes.
        {"interval, images", 1800, true, 5, 1, 6, 300},
        // An image needs its second after the chapter and before the video's last second.
        {"interval, one second after the last chapter", 1801, true, 5, 1, 6, 300},
        {"interval, two seconds after the last chapter", 1802, true, 5, 1, 7, 300},
        {"interval longer than the video", 12, true, 1, 1, 1, 60},
        // Clips of 10 seconds: the last chapter 8 seconds before the end is dropped.
        {"interval, clip too long", 68, true, 1, 10, 1, 60},
        {"interval, image fits", 68, true, 1, 1, 2, 60},
        {"interval, clip fits", 71, true, 1, 10, 2, 60},
        {"count", 12, false, 5, 1, 5, 2.4},
        {"count 1", 12, false, 1, 1, 1, 12},
        {"count, last image a second before the end", 12, false, 6, 1, 6, 2},
        {"count, last image too close", 12, false, 12, 1, 11, 1},
        {"count, clip too long", 12, false, 4, 3, 3, 3},
        {"count, clip of no length", 12, false, 4, 0, 4, 3},
        // Less than a second apart: one chapter per whole second.
        {"count above the seconds", 12, false, 50, 1, 11, 1},
        {"count above the seconds, fraction", 12.5, false, 99, 1, 11, 12.5 / 12},
        {"shorter than a second", 0.8, false, 5, 1, 1, 0.8},
        {"no duration", 0, false, 5, 1, 1, 0},
        // Durations no video has (a damaged header) must not overflow the count.
        {"huge duration by count", 1e300, false, 5, 1, 5, 2e299},
        {"huge duration by interval", 1e300, true, 1, 1, 2147483647, 60},
    };
    for (const auto& c : cases) {
        const ChapterPlan plan = PlanChapters(c.duration, c.byInterval, c.value, c.tail);
        EXPECT_EQ(plan.count, c.count) << c.what;
        EXPECT_DOUBLE_EQ(plan.intervalSeconds, c.interval) << c.what;
    }
}

TEST(ChapterTimeText, WritesWholeSeconds) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0, "00:00:00"},   {2.4, "00:00:02"},    {2.5, "00:00:03"},
        {300, "00:05:00"}, {3723.4, "01:02:03"}, {86399.4, "23:59:59"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChapterTimeText(c.seconds), QString::fromLatin1(c.text)) << c.seconds;
}

} // namespace
