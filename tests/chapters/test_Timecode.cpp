#include "chapters/Timecode.h"

#include <cmath>
#include <gtest/gtest.h>
#include <tuple>

namespace {

// One frame's whole milliseconds later; nothing to step from after a shown "????".
TEST(Timecode, StepAndOffset) {
    const std::tuple<const char*, float, const char*> steps[] = {
        {"01:00:00.000", 25, "01:00:00.040"},     {"00:00:00.959", 25, "00:00:00.999"},
        {"00:00:00.960", 25, "00:00:01.000"},     {"23:59:59.980", 25, "00:00:00.020"},
        {"00:00:00.000", 29.97f, "00:00:00.033"}, {"00:00:10.00099999", 25, "00:00:10.040"},
        {"garbage text", 25, "garbage text"},     {"00:00:10.0009", 0, "00:00:10.0009"}};
    for (const auto& [from, fps, to] : steps)
        EXPECT_EQ(StepTimecode(from, "x.x.x", fps), to) << from << " at " << fps;
    EXPECT_EQ(StepTimecode("00:00:10.000", "????", 25), "00:00:10.000");
    // Counted from the first GOP; " before" marks a timecode before it.
    const std::tuple<const char*, const char*, const char*> offsets[] = {
        {"10:00:00.000", "10:00:00.000", "00:00:00.000"},
        {"10:01:02.500", "10:00:00.000", "00:01:02.500"},
        {"10:00:01.200", "10:00:00.500", "00:00:00.700"},
        {"11:00:00.000", "10:00:00.040", "00:59:59.960"},
        {"09:59:59.960", "10:00:00.000", "??? before"},
        {"10:00:00.000", "10:00:00.040", "??? before"},
        {"00:00:05.000", "???", "???"},
        {"????", "10:00:00.000", "????"},
        {"?????", "10:00:00.000", "???"}};
    for (const auto& [tc, first, text] : offsets) {
        const OffsetTimecode got = ApplyTimeOffset(tc, first);
        EXPECT_EQ(got.text + (got.beforeFirstGop ? " before" : ""), text) << tc << " - " << first;
    }
    for (const auto& [in, out] :
         {std::pair{0, 0}, {59, 59}, {61, 1}, {3599, 59}, {3600, 0}, {86399, 59}})
        EXPECT_EQ(SecondsOfMinute(in / 86400.0), out) << in;
}

TEST(Timecode, NormalizeKeepsTheFractionOrGivesADayFraction) {
    const std::pair<const char*, const char*> rows[] = {
        {"1:2:3", "01:02:03"},  {"12:34.5", "00:12:34.500"},  {"1:02:03:4567", "01:02:03.456"},
        {"10:20", "10:20:00"},  {"1:2:3.45", "01:02:03.450"}, {"23:59:59.999", "23:59:59.999"},
        {"1:2:3.", "01:02:03"}, {"0:0:0:7", "00:00:00.700"}};
    for (const auto& [in, out] : rows)
        EXPECT_EQ(NormalizeTimecode(in, true), out) << in;
    for (const char* bad : {"1:2:3a", "", "12", "1:2:3:4:5", "24:00:00", "1:60:00", "1:00:60",
                            "12:", ":30", "1:2:3!", " 1:2:3", "1:2:3:4.5", "1:2:3:!!"})
        EXPECT_EQ(NormalizeTimecode(bad, true) + NormalizeTimecode(bad, false), "") << bad;
    EXPECT_EQ(NormalizeTimecode("12:00:00", false), "0.5");
    EXPECT_EQ(NormalizeTimecode("0:0:1", false), "1.15740740740741e-05");
    EXPECT_EQ(NormalizeTimecode("00:01:30.250", false), "0.00104456018518519");
}

TEST(Timecode, ShownTimecodesSecondsFramePeriodsAndPositions) {
    for (const char* text : {"00:00:00.000", "23:59:59.999", "10:00:04.960"})
        EXPECT_TRUE(IsTimecode(text)) << text;
    for (const char* text : {"???", "", "00:00:00,000", "00:00:00.00", "00:00:00.0a0",
                             "00:61:00.000", "0:00:00.0000", "24:00:00.000"})
        EXPECT_FALSE(IsTimecode(text)) << text;
    const std::pair<const char*, double> seconds[] = {
        {"01:02:03.500", 3723.5}, {"00:00:01", 1}, {"23:59:59.500", 86399.5}};
    for (const auto& [text, value] : seconds)
        EXPECT_EQ(TimecodeSeconds(text), value) << text;
    EXPECT_EQ(TimecodeSeconds("???"), std::nullopt);
    EXPECT_EQ(TimecodeSeconds("24:00:00.000"), std::nullopt);
    const std::pair<float, qint64> periods[] = {{25, 40000000},      {30000.0F / 1001, 33366667},
                                                {1, 1000000000},     {0.99F, 40000000},
                                                {-1, 40000000},      {NAN, 40000000},
                                                {INFINITY, 40000000}};
    for (const auto& [rate, ns] : periods)
        EXPECT_EQ(FramePeriodNs(rate), ns) << rate;
    const std::pair<double, qint64> cuts[] = {
        {1234.9999, 1234}, {-0.5, 0}, {-7.9, -7}, {5e9 + 0.75, 5000000000}, {NAN, 0}};
    for (const auto& [in, out] : cuts)
        EXPECT_EQ(TruncatePosition(in), out) << in;
}

} // namespace
