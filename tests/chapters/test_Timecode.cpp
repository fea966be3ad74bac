#include "chapters/Timecode.h"

#include <gtest/gtest.h>

namespace {

struct GopTextCase {
    int h, m, s, p;
    float fps;
    bool drop;
    const char* expected;
};

TEST(GopTimecodeToText, FormatsTimeCodesAtEveryFrameRate) {
    const GopTextCase cases[] = {
        {0, 0, 0, 0, 25.0f, false, "00:00:00.000"},
        {0, 0, 0, 24, 25.0f, false, "00:00:00.960"},
        {1, 2, 3, 12, 25.0f, false, "01:02:03.480"},
        {10, 0, 0, 0, 25.0f, false, "10:00:00.000"},
        {0, 0, 0, 29, 29.97f, true, "00:00:00.967"},
        {0, 1, 0, 2, 29.97f, true, "00:01:00.066"},
        // Non-drop time code at 29.97: thirty labels per time-code second run slower than real
        // time.
        {0, 1, 0, 0, 29.97f, false, "00:00:59.940"},
        {1, 0, 0, 0, 29.97f, false, "00:59:56.400"},
        {0, 0, 1, 15, 29.97f, false, "00:00:01.498"},
        {0, 0, 0, 23, 23.976f, false, "00:00:00.959"},
        {0, 0, 0, 23, 24.0f, false, "00:00:00.958"},
        {0, 0, 0, 49, 50.0f, false, "00:00:00.980"},
        {0, 0, 0, 59, 59.94f, false, "00:00:00.984"},
        {23, 59, 59, 24, 25.0f, false, "23:59:59.960"},
        // A damaged sequence header leaves the frame rate unknown: whole seconds only.
        {0, 0, 5, 12, 0.0f, false, "00:00:05.000"},
        {0, 0, 5, 12, -1.0f, false, "00:00:05.000"},
        {0, 0, 5, 12, 1e-30f, false, "00:00:05.000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GopTimecodeToText(c.h, c.m, c.s, c.p, c.fps, c.drop),
                  QString::fromLatin1(c.expected))
            << c.h << ":" << c.m << ":" << c.s << " pic " << c.p << " at " << c.fps;
}

TEST(FormatDayFraction, WritesMillisecondsOrHundredths) {
    const double day = 86400.0;
    EXPECT_EQ(FormatDayFraction(0.48 / day, 2, "."), "00:00:00.48");
    EXPECT_EQ(FormatDayFraction(3723.456 / day, 3, "."), "01:02:03.456");
    EXPECT_EQ(FormatDayFraction(3723.456 / day, 2, ","), "01:02:03,45");
    EXPECT_EQ(FormatDayFraction(0.0, 3, "."), "00:00:00.000");
    EXPECT_EQ(FormatDayFraction(86399.99 / day, 2, "."), "23:59:59.99");
}

struct StepCase {
    const char* from;
    float fps;
    const char* expected;
};

TEST(StepTimecode, AddsWholeMillisecondsOfOneFrame) {
    const StepCase cases[] = {
        {"00:00:59.990", 25.0f, "00:01:00.030"},   {"00:00:00.000", 25.0f, "00:00:00.040"},
        {"00:00:00.000", 29.97f, "00:00:00.033"},  {"00:00:00.000", 30.0f, "00:00:00.033"},
        {"00:00:00.000", 23.976f, "00:00:00.041"}, {"00:00:00.000", 24.0f, "00:00:00.041"},
        {"00:00:00.000", 50.0f, "00:00:00.020"},   {"00:00:00.000", 59.94f, "00:00:00.016"},
        {"00:00:00.000", 60.0f, "00:00:00.016"},   {"00:59:59.999", 25.0f, "01:00:00.039"},
        {"23:59:59.980", 25.0f, "00:00:00.020"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StepTimecode(c.from, c.from, c.fps), QString::fromLatin1(c.expected)) << c.from;
}

TEST(StepTimecode, LeavesUnknownOrUnreadableTimecodesAlone) {
    EXPECT_EQ(StepTimecode("00:00:10.000", "???", 25.0f), "00:00:10.000");
    EXPECT_EQ(StepTimecode("???", "00:00:10.000", 25.0f), "???");
    EXPECT_EQ(StepTimecode("garbage text", "00:00:10.000", 25.0f), "garbage text");
    EXPECT_EQ(StepTimecode("00:00:10.000", "00:00:10.000", 0.0f), "00:00:10.000");
    // Only the three millisecond digits count, however long the fraction is.
    EXPECT_EQ(StepTimecode("00:00:10.0009999999999999999999999999999999", "00:00:10.000", 25.0f),
              "00:00:10.040");
}

struct OffsetCase {
    const char* tc;
    const char* first;
    const char* expected;
    bool before;
};

TEST(ApplyTimeOffset, CountsFromTheFirstGop) {
    const OffsetCase cases[] = {
        {"10:00:00.000", "10:00:00.000", "00:00:00.000", false},
        {"10:01:02.500", "10:00:00.000", "00:01:02.500", false},
        {"10:00:01.200", "10:00:00.500", "00:00:00.700", false},
        {"11:00:00.000", "10:00:00.040", "00:59:59.960", false},
        {"09:59:59.960", "10:00:00.000", "???", true},
        {"10:00:00.000", "10:00:00.040", "???", true},
        {"00:00:05.000", "???", "???", false},
    };
    for (const auto& c : cases) {
        const OffsetTimecode r = ApplyTimeOffset(c.tc, c.first);
        EXPECT_EQ(r.text, QString::fromLatin1(c.expected)) << c.tc << " - " << c.first;
        EXPECT_EQ(r.beforeFirstGop, c.before) << c.tc;
    }
}

TEST(ApplyTimeOffset, LeavesAnUnknownTimecodeAlone) {
    EXPECT_EQ(ApplyTimeOffset("???", "10:00:00.000").text, "???");
    EXPECT_FALSE(ApplyTimeOffset("???", "10:00:00.000").beforeFirstGop);
}

TEST(SecondsOfMinute, TakesTheSecondsWithinTheMinute) {
    const struct {
        double seconds;
        int expected;
    } cases[] = {{0, 0}, {59, 59}, {61, 1}, {3599, 59}, {3600, 0}, {86399, 59}, {7384, 4}};
    for (const auto& c : cases)
        EXPECT_EQ(SecondsOfMinute(c.seconds / 86400.0), c.expected) << c.seconds;
}

struct NormalizeCase {
    const char* in;
    const char* expected;
};

TEST(NormalizeTimecode, KeepsTheFraction) {
    const NormalizeCase cases[] = {
        {"1:2:3", "01:02:03"},
        {"12:34.5", "00:12:34.500"},
        {"1:02:03:4567", "01:02:03.456"},
        {"10:20", "10:20:00"},
        {"1:2:3.45", "01:02:03.450"},
        {"00:05:00.120", "00:05:00.120"},
        {"23:59:59.999", "23:59:59.999"},
        {"1:2:3.", "01:02:03"},
        {"0:0:0:7", "00:00:00.700"},
        // Rejected texts.
        {"1:2:3a", ""},
        {"", ""},
        {"12", ""},
        {"1:2:3:4:5", ""},
        {"24:00:00", ""},
        {"1:60:00", ""},
        {"1:00:60", ""},
        {"12:", ""},
        {":30", ""},
        {"1:2:3!", ""},
        {" 1:2:3", ""},
        {"-1:2:3", ""},
        // A fraction that is not all digits would end up inside the timecode text.
        {"1:2:3:4.5", ""},
        {"1:2:3:!!", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NormalizeTimecode(QString::fromLatin1(c.in), true),
                  QString::fromLatin1(c.expected))
            << '"' << c.in << '"';
}

TEST(NormalizeTimecode, GivesADayFractionWithoutTheFlag) {
    EXPECT_DOUBLE_EQ(NormalizeTimecode("12:00:00", false).toDouble(), 0.5);
    EXPECT_NEAR(NormalizeTimecode("0:0:1", false).toDouble(), 1.0 / 86400, 1e-18);
    EXPECT_NEAR(NormalizeTimecode("00:01:30.250", false).toDouble(), 90.25 / 86400, 1e-15);
    EXPECT_EQ(NormalizeTimecode("1:2:3a", false), "");
}

TEST(IsTimecode, TakesOnlyAShownTimecode) {
    const struct {
        const char* text;
        bool timecode;
    } cases[] = {
        {"00:00:00.000", true},
        {"23:59:59.999", true},
        {"10:00:04.960", true},
        {"???", false},
        {"", false},
        {"00:00:00,000", false},
        {"00:00:00.00", false},
        {"00:00:00.0a0", false},
        {"00:61:00.000", false},
        {"0:00:00.0000", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsTimecode(QString::fromLatin1(c.text)), c.timecode) << c.text;
}

TEST(FramePeriodNs, FollowsTheRateAndFallsBackTo25) {
    const struct {
        float rate;
        qint64 ns;
    } cases[] = {
        {25.0F, 40000000},         {30000.0F / 1001.0F, 33366667},
        {24.0F, 41666667},         {60.0F, 16666667},
        {1.0F, 1000000000},        {0.99F, 40000000},
        {0.0F, 40000000},          {-1.0F, 40000000},
        {std::nanf(""), 40000000}, {INFINITY, 40000000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FramePeriodNs(c.rate), c.ns) << c.rate;
}

TEST(TruncatePosition, DropsTheFractionTowardZero) {
    EXPECT_EQ(TruncatePosition(1234.9999), 1234);
    EXPECT_EQ(TruncatePosition(0.5), 0);
    EXPECT_EQ(TruncatePosition(-0.5), 0);
    EXPECT_EQ(TruncatePosition(5000000000.75), 5000000000LL);
    EXPECT_EQ(TruncatePosition(std::nan("")), 0);
}

} // namespace
