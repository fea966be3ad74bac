#include "chapters/ChapterFileImport.h"
#include "chapters/ChapterFormats.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

const QStringList Marks = {u"01:02:05.500"_qs, u"00:00:10.080"_qs, u"01:00:00.000"_qs,
                           u"00:00:10.080"_qs, u"no time"_qs};
const QStringList Starts = {u"00:00:00.000"_qs, u"00:00:10.080"_qs, u"01:00:00.000"_qs,
                            u"01:02:05.500"_qs};

// Every format written from an unsorted list with a repeat, a mark past the hour and a name
// template with a control character, and read back by the chapter file reader.
TEST(ChapterFormats, EachFormatWritesTheMarksAndReadsThemBack) {
    ChapterExportOptions options;
    options.videoFile = u"/v/film.vob"_qs;
    options.durationSeconds = 3730.25;
    options.nameTemplate = u"Part %1\tx"_qs;
    options.videoFormat = u"pal"_qs;
    const QStringList siteStarts = {u"00:00:00.000"_qs, u"00:00:10.000"_qs, u"01:00:00.000"_qs,
                                    u"01:02:05.000"_qs};
    const struct {
        ChapterFormat format;
        QList<QByteArray> lines; // the whole text, or for the XML formats line ends it holds
        bool whole;
        QStringList readBack;
    } rows[] = {
        {ChapterFormat::DvdauthorMarkers,
         {"00:00:00.000,00:00:10.080,01:00:00.000,01:02:05.500"},
         true,
         Starts},
        {ChapterFormat::Ogm,
         {"CHAPTER01=00:00:00.000", "CHAPTER01NAME=Part 01 x", "CHAPTER02=00:00:10.080",
          "CHAPTER02NAME=Part 02 x", "CHAPTER03=01:00:00.000", "CHAPTER03NAME=Part 03 x",
          "CHAPTER04=01:02:05.500", "CHAPTER04NAME=Part 04 x"},
         true,
         Starts},
        {ChapterFormat::FfMetadata,
         {";FFMETADATA1",    "[CHAPTER]", "TIMEBASE=1/1000", "START=0",       "END=10080",
          "title=Part 01 x", "[CHAPTER]", "TIMEBASE=1/1000", "START=10080",   "END=3600000",
          "title=Part 02 x", "[CHAPTER]", "TIMEBASE=1/1000", "START=3600000", "END=3725500",
          "title=Part 03 x", "[CHAPTER]", "TIMEBASE=1/1000", "START=3725500", "END=3730250",
          "title=Part 04 x"},
         true,
         Starts},
        {ChapterFormat::VideoSite,
         {"0:00 Part 01 x", "0:10 Part 02 x", "1:00:00 Part 03 x", "1:02:05 Part 04 x"},
         true,
         siteStarts},
        {ChapterFormat::DvdauthorProject,
         {"<dvdauthor format=\"pal\">",
          "<vob file=\"/v/film.vob\" "
          "chapters=\"00:00:00.000,00:00:10.080,01:00:00.000,01:02:05.500\"/>"},
         false,
         Starts},
        {ChapterFormat::MatroskaXml,
         {"<ChapterTimeStart>01:00:00.000000000</ChapterTimeStart>",
          "<ChapterString>Part 04 x</ChapterString>"},
         false,
         Starts},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(InfoOf(row.format).name);
        const QByteArray bytes = ExportChapters(row.format, Marks, options);
        if (row.whole) {
            EXPECT_EQ(bytes, row.lines.join('\n') + '\n');
        } else {
            for (const QByteArray& line : row.lines)
                EXPECT_TRUE(bytes.contains(line + '\n')) << line.constData();
        }
        EXPECT_EQ(ReadChapterFile(bytes).entries, row.readBack);
    }
    // A time base that is no positive fraction is passed over: the default one stands.
    const QByteArray chapter = ";FFMETADATA1\n[CHAPTER]\nSTART=5000000000\n";
    for (const QByteArray base : {"1/0", "0/1", "-1/1000", "1/2/3", "x"})
        EXPECT_EQ(ReadChapterFile(chapter + "TIMEBASE=" + base + '\n').entries,
                  ReadChapterFile(chapter).entries)
            << base.constData();
}

} // namespace
