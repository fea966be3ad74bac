#include "chapters/ChapterPlan.h"
#include "chapters/ChapterText.h"
#include "chapters/TextTable.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

using Source = ChapterTextSource;
constexpr Source Clip = Source::Clipboard, Line = Source::CommandLine, File = Source::File;

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

// Duration, by interval, value, tail; count, interval. The last chapter goes when less than the
// tail is left before the last second; chapters by count are a second apart at least.
TEST(ChapterPlan, SpacesChaptersAndDropsOneTooCloseToTheEnd) {
    const std::tuple<double, bool, int, double, int, double> rows[] = {
        {1800, true, 5, 1, 6, 300}, {1801, true, 5, 1, 6, 300},    {1802, true, 5, 1, 7, 300},
        {12, true, 1, 1, 1, 60},    {68, true, 1, 10, 1, 60},      {68, true, 1, 1, 2, 60},
        {71, true, 1, 10, 2, 60},   {12, false, 5, 1, 5, 2.4},     {12, false, 1, 1, 1, 12},
        {12, false, 6, 1, 6, 2},    {12, false, 12, 1, 11, 1},     {12, false, 4, 3, 3, 3},
        {12, false, 4, 0, 4, 3},    {12, false, 50, 1, 11, 1},     {0.8, false, 5, 1, 1, 0.8},
        {0, false, 5, 1, 1, 0},     {1e300, false, 5, 1, 5, 2e299}};
    for (const auto& [duration, byInterval, value, tail, count, interval] : rows) {
        const ChapterPlan plan = PlanChapters(duration, byInterval, value, tail);
        EXPECT_EQ(plan.count, count) << duration << " " << value << " " << tail;
        EXPECT_DOUBLE_EQ(plan.intervalSeconds, interval) << duration << " " << value;
    }
    EXPECT_DOUBLE_EQ(PlanChapters(12.5, false, 99, 1).intervalSeconds, 12.5 / 12);
    EXPECT_EQ(PlanChapters(1e300, true, 1, 1).count, 2147483647); // no overflow
    EXPECT_EQ(ChapterTimeText(2.4) + ChapterTimeText(2.5) + ChapterTimeText(86399.4) +
                  ChapterTimeText(-5),
              "00:00:0200:00:0323:59:5900:00:00");
}

// Text => source => the entries (" " between them) or "-" when it is refused. A blank stays in
// its entry; entries found but none a time give an empty list; a lone entry must begin with "0"
// and have at most 12 characters; only a file needs no ":"; a text over the limit is refused.
TEST(ChapterText, TurnsTimesIntoTheFileChapterList) {
    const QString fiveTen = "00:00:00.000 00:05:00.000 00:10:00.000";
    for (const QStringList& row : Rows(R"(
00:05:00.000,00:10:00.000 => clip => <510>
00:10:00.000\n00:05:00.000\n => line => <510>
00:05:00.000, 00:10:00.000, => clip => 00:00:00.000 00:05:00.000
5:00.12,0:10:00,1:02:03.4567 => clip => 00:00:00.000 00:05:00.120 00:10:00 01:02:03.456
0:0:0,00:05:00.000 => clip => 00:00:00 00:05:00.000
1:,00:05:00.000,,: => clip => 00:00:00.000 00:05:00.000
00:05:00.000,00:05:00.000 => clip => 00:00:00.000 00:05:00.000 00:05:00.000
ab:cd,25:00:00,00:61:00 => clip =>
0: => clip => 00:00:00.000
0ab => file =>
00:05:00.120\r\n => clip => 00:00:00.000 00:05:00.120
00.05.00 => clip => -
 => clip => -
300 => line => -
5:00.120 => clip => -
00:05:00.1200 => clip => -
 00:05:00 => line => -)")) {
        const ChapterTextResult got = ReadChapterText(row[0], row[1] == "clip"   ? Clip
                                                              : row[1] == "line" ? Line
                                                                                 : File);
        EXPECT_EQ(got.accepted ? got.entries.join(' ') : "-",
                  QString(row[2]).replace("<510>", fiveTen))
            << row[0].toStdString();
    }
    QString longest = QStringLiteral("00:00:01.000,").repeated(2520);
    longest += QString(32767 - longest.size(), u',');
    for (Source source : {Clip, Line, File}) {
        EXPECT_EQ(ReadChapterText(longest, source).entries.size(), 2521);
        EXPECT_FALSE(ReadChapterText(longest + u',', source).accepted);
    }
}

// The text of a chapter file's lines that hold ":" (CR LF or LF, a byte-order mark left out),
// what it gives, and the chapter file offered for a video.
TEST(ChapterText, ChapterFiles) {
    const std::tuple<QByteArray, const char*, bool> rows[] = {
        {"\xEF\xBB\xBF"
         "0:5:0\r\n\r\nend\r\n00:10:00.000",
         "0:5:0,00:10:00.000,", true},
        {"Chapter 1 00:01:00\n00:05:00\n", "Chapter 1 00:01:00,00:05:00,", true},
        {"5:00.000\r\n", "5:00.000,", false},
        {"no time\r\n", "", false}};
    for (const auto& [bytes, text, accepted] : rows) {
        EXPECT_EQ(ChapterTextOfFile(bytes), text) << text;
        EXPECT_EQ(ReadChapterText(text, File).accepted, accepted) << text;
    }
    const auto name = [](const char* video) { return DefaultChapterFile(video); };
    EXPECT_EQ(QStringList({name("/v/f.mpv"), name("/v/f.p1.mpg"), name("D:\\v\\f.mpv"),
                           name("/v/f."), name("/v.d/f"), name("D:\\v.d\\f"), name("f")})
                  .join(' '),
              "/v/f.txt /v/f.p1.txt D:\\v\\f.txt /v/f.txt /v.d/f.txt D:\\v.d\\f.txt f.txt");
}

} // namespace
