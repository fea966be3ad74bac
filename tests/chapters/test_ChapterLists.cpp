#include "chapters/ChapterPlan.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

// Text; chapters; duration; minutes: 1 to 99 chapters, 1 to 546 minutes giving 1 to 99 chapters.
TEST(ChapterPlan, CountAndIntervalTextsInRange) {
    const std::optional<int> no;
    const std::tuple<const char*, std::optional<int>, double, std::optional<int>> rows[] = {
        {"1", 1, 12, 1},          {"99", 99, 36000, 99},     {" 7 chapters", 7, 1800, 7},
        {"2.5", 2, 600, 2},       {"3.5", 4, 600, 4},        {"0.5", no, 12, no},
        {"99.5", no, 36000, 100}, {"98.5", 98, 36000, 98},   {"0", no, 12, no},
        {"100", no, 36000, 100},  {"-3", no, 12, no},        {"abc", no, 12, no},
        {"", no, 12, no},         {"1e400", no, 12, no},     {"546", no, 12, 546},
        {"547", no, 12, no},      {"1", 1, 98 * 60 + 59, 1}, {"1", 1, 99 * 60, no}};
    for (const auto& [text, count, duration, minutes] : rows) {
        EXPECT_EQ(ChapterCountFromText(text), count) << text;
        EXPECT_EQ(IntervalMinutesFromText(text, duration), minutes) << text << " over " << duration;
    }
}

} // namespace
