#include "chapters/ChapterText.h"

#include <gtest/gtest.h>

namespace {

using Source = ChapterTextSource;

struct TextCase {
    const char* what;
    const char* text;
    Source source;
    bool accepted;
    QStringList entries;
};

TEST(ReadChapterText, TurnsTimesIntoTheFileChapterList) {
    const QStringList fiveTen = {"00:00:00.000", "00:05:00.000", "00:10:00.000"};
    const TextCase cases[] = {
        {"comma", "00:05:00.000,00:10:00.000", Source::Clipboard, true, fiveTen},
        {"CR LF", "00:05:00.000\r\n00:10:00.000", Source::Clipboard, true, fiveTen},
        {"trailing comma", "00:05:00.000,00:10:00.000,", Source::Clipboard, true, fiveTen},
        {"trailing CR LF", "00:05:00.000\r\n00:10:00.000\r\n", Source::Clipboard, true, fiveTen},
        {"trailing LF", "00:05:00.000\n00:10:00.000\n", Source::CommandLine, true, fiveTen},
        {"unsorted", "00:10:00.000,00:05:00.000", Source::CommandLine, true, fiveTen},
        // Blanks stay: the entry with one is not a time.
        {"blank after comma",
         "00:05:00.000, 00:10:00.000",
         Source::Clipboard,
         true,
         {"00:00:00.000", "00:05:00.000"}},
        {"single entry", "00:05:00.120", Source::Clipboard, true, {"00:00:00.000", "00:05:00.120"}},
        {"single entry with line break",
         "00:05:00.120\r\n",
         Source::Clipboard,
         true,
         {"00:00:00.000", "00:05:00.120"}},
        {"short forms",
         "5:00.12,0:10:00,1:02:03.4567",
         Source::Clipboard,
         true,
         {"00:00:00.000", "00:05:00.120", "00:10:00", "01:02:03.456"}},
        {"starts at zero",
         "00:00:00.000,00:05:00.000",
         Source::Clipboard,
         true,
         {"00:00:00.000", "00:05:00.000"}},
        {"starts at zero, short form",
         "0:0:0,00:05:00.000",
         Source::Clipboard,
         true,
         {"00:00:00", "00:05:00.000"}},
        {"short entries skipped",
         "1:,00:05:00.000,,:",
         Source::Clipboard,
         true,
         {"00:00:00.000", "00:05:00.000"}},
        {"repeated time kept twice",
         "00:05:00.000,00:05:00.000",
         Source::Clipboard,
         true,
         {"00:00:00.000", "00:05:00.000", "00:05:00.000"}},
        // Entries were found but none is a time: the list is empty, no zero is added.
        {"nothing normalises", "ab:cd,25:00:00,00:61:00", Source::Clipboard, true, {}},
        {"only short entries", "0:", Source::Clipboard, true, {"00:00:00.000"}},

        // Refused.
        {"no colon", "00.05.00", Source::Clipboard, false, {}},
        {"empty clipboard", "", Source::Clipboard, false, {}},
        {"no colon on the command line", "300", Source::CommandLine, false, {}},
        {"single entry not beginning with 0", "5:00.120", Source::Clipboard, false, {}},
        {"single entry of 13 characters", "00:05:00.1200", Source::Clipboard, false, {}},
        {"single entry with a blank", " 00:05:00", Source::CommandLine, false, {}},
    };
    for (const TextCase& c : cases) {
        const ChapterTextResult result = ReadChapterText(QString::fromLatin1(c.text), c.source);
        EXPECT_EQ(result.accepted, c.accepted) << c.what;
        if (c.accepted) {
            EXPECT_EQ(result.entries, c.entries) << c.what;
        }
    }
}

TEST(ReadChapterText, RefusesTextsLongerThanTheLimit) {
    QString text;
    while (text.size() + 13 <= MaxChapterTextLength)
        text += QStringLiteral("00:00:01.000,");
    text += QString(MaxChapterTextLength - text.size(), u',');
    ASSERT_EQ(text.size(), MaxChapterTextLength);
    for (Source source : {Source::Clipboard, Source::CommandLine, Source::File}) {
        const ChapterTextResult atLimit = ReadChapterText(text, source);
        EXPECT_TRUE(atLimit.accepted);
        EXPECT_EQ(atLimit.entries.first(), "00:00:00.000");
        EXPECT_EQ(atLimit.entries.size(), 1 + MaxChapterTextLength / 13);
        EXPECT_FALSE(ReadChapterText(text + u',', source).accepted);
    }
}

TEST(ChapterTextOfFile, TakesTheLinesThatHoldATime) {
    const struct {
        const char* what;
        QByteArray bytes;
        const char* text;
    } cases[] = {
        {"CR LF", "00:05:00.000\r\n00:10:00.000\r\n", "00:05:00.000,00:10:00.000,"},
        {"LF, no last line break", "00:05:00.000\n00:10:00.000", "00:05:00.000,00:10:00.000,"},
        {"lines without a colon are left out", "Chapters\r\n\r\n00:05:00\r\nend\r\n", "00:05:00,"},
        {"words around a time stay with it", "Chapter 2 00:05:00\r\n", "Chapter 2 00:05:00,"},
        {"byte-order mark",
         "\xEF\xBB\xBF"
         "00:05:00.000\r\n",
         "00:05:00.000,"},
        {"empty file", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChapterTextOfFile(c.bytes), QString::fromLatin1(c.text)) << c.what;
}

TEST(ChapterTextOfFile, AFileGivesWhatItsTimesGive) {
    const struct {
        const char* what;
        QByteArray bytes;
        bool accepted;
        QStringList entries;
    } cases[] = {
        {"two times",
         "00:05:00.000\r\n00:10:00.000\r\n",
         true,
         {"00:00:00.000", "00:05:00.000", "00:10:00.000"}},
        {"words around the times contribute nothing",
         "Chapter 1 00:01:00\r\n00:05:00.000\r\nChapter 3 00:10:00\r\n",
         true,
         {"00:00:00.000", "00:05:00.000"}},
        {"one time", "00:05:00.000\r\n", true, {"00:00:00.000", "00:05:00.000"}},
        {"one time in short form", "5:00.000\r\n", false, {}},
        {"no time", "no chapters here\r\n", false, {}},
    };
    for (const auto& c : cases) {
        const ChapterTextResult result =
            ReadChapterText(ChapterTextOfFile(c.bytes), ChapterTextSource::File);
        EXPECT_EQ(result.accepted, c.accepted) << c.what;
        if (c.accepted) {
            EXPECT_EQ(result.entries, c.entries) << c.what;
        }
    }
}

TEST(DefaultChapterFile, ReplacesTheVideosExtension) {
    const struct {
        const char* video;
        const char* expected;
    } cases[] = {
        {"/v/film.mpv", "/v/film.txt"},         {"/v/film.part1.mpg", "/v/film.part1.txt"},
        {"D:\\v\\film.mpv", "D:\\v\\film.txt"}, {"/v/film.", "/v/film.txt"},
        {"/v.d/film", "/v.d/film.txt"},         {"film", "film.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DefaultChapterFile(QString::fromLatin1(c.video)), QString::fromLatin1(c.expected))
            << c.video;
}

} // namespace
