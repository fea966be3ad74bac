#include "chapters/TextTable.h"
#include "export/CellTimes.h"
#include "export/FileSizeLimit.h"
#include "export/SaveImage.h"
#include "export/SaveNames.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTime>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QStringList Marks(int count) {
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks += QTime(0, 0).addSecs(i).toString("hh:mm:ss.zzz");
    return marks;
}

TEST(SavedFiles, NamesOfTheFilesSavedForAVideo) {
    EXPECT_EQ(QStringList({CellTimesPathFor("/o", "/T/Chart_Tip.mpv"),
                           CellTimesPathFor("/o", "/v/a.b.mpv"), CellTimesPathFor("/o", "/v.d/f"),
                           CellTimesPathFor("/o", "/v/f."), CellTimesPathFor("/o", "f.mpv")}),
              QStringList({"/o/Chart_Tip_Celltimes.txt", "/o/a.b_Celltimes.txt",
                           "/o/f_Celltimes.txt", "/o/f._Celltimes.txt", "/o/f_Celltimes.txt"}));
    EXPECT_EQ(QStringList({ComposeSaveName("/v/a.b.mpg", "00:01:02.040", false, ".bmp"),
                           ComposeSaveName("/v.d/f", "00:00:01.000", true, ".vob"),
                           RelocateName("/v/f_1.bmp", "/o"), RelocateName("f_1.vob", "/o"),
                           IndexFileFor("/o/f_1.vob"), IndexFileFor("/o/f")}),
              QStringList({"/v/a.b_00_01_02.040.bmp", "/v.d/f_NC_00_00_01.000.vob", "/o/f_1.bmp",
                           "/o/f_1.vob", "/o/f_1.d2v", "/o/f.d2v"}));
}

// Each row of the picture twice (even rows), the margins cut (all of it when they leave nothing),
// a 24-bit bitmap written whole or not at all.
TEST(SavedFiles, StillImages) {
    QImage picture(3, 5, QImage::Format_RGB32);
    for (int y = 0; y < 5; ++y)
        picture.setPixel(1, y, qRgb(y * 50, 0, 0));
    const QImage doubled = LineDoubled(picture);
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(doubled.pixel(1, y), picture.pixel(1, y - y % 2)) << y;
    const QImage cropped = Cropped(picture, 1, 2, 1, 2);
    EXPECT_TRUE(cropped.size() == QSize(1, 1) && cropped.pixel(0, 0) == picture.pixel(1, 2));
    EXPECT_TRUE(Cropped(picture, 2, 0, 1, 0) == picture &&
                Cropped(picture, 0, 3, 0, 2) == picture &&
                Cropped(picture, -1, 0, 0, 0) == picture);
    QTemporaryDir dir;
    ASSERT_TRUE(WriteBitmap(picture, dir.filePath("a.bmp")));
    const QByteArray bmp = ReadAll(dir.filePath("a.bmp"));
    EXPECT_TRUE(bmp.startsWith("BM") && bmp[28] == 24 &&
                QImage::fromData(bmp).pixel(1, 4) == picture.pixel(1, 4));
    EXPECT_FALSE(WriteBitmap(QImage(), dir.filePath("b.bmp")) ||
                 WriteBitmap(picture, dir.filePath("no/c.bmp")));
    EXPECT_EQ(FilesIn(dir.path()), QStringList{"a.bmp"});
}

// The list as given, CR LF after each entry, replacing a longer old file whole; an entry that is
// empty or not printable ASCII writes nothing (a null row), here or in the fallback file.
TEST(SavedFiles, CellTimesHoldEveryEntryOnItsOwnLine) {
    const std::pair<QStringList, QByteArray> rows[] = {
        {{}, ""},
        {{"00:05:00.000", "00:01:00.000", "???"}, "00:05:00.000\r\n00:01:00.000\r\n???\r\n"},
        {{"~ "}, "~ \r\n"},
        {{"00:01:00.000", QString::fromUtf8("00:0\u00e4:00.000")}, {}},
        {{"00:01:00.000\r\n00:02:00.000"}, {}},
        {{"00:01:00.000", ""}, {}},
        {{"\x7f"}, {}}};
    QTemporaryDir dir;
    const QString path = dir.filePath("f.txt");
    for (const auto& [entries, bytes] : rows) {
        ASSERT_TRUE(WriteAll(path, QByteArray(500, ':')));
        EXPECT_EQ(WriteCellTimes(path, entries), !bytes.isNull())
            << entries.join('|').toStdString();
        EXPECT_EQ(ReadAll(path), bytes.isNull() ? QByteArray(500, ':') : bytes);
        EXPECT_EQ(WriteCellTimesOrFallback(path, dir.filePath("g"), entries),
                  bytes.isNull() ? "" : path);
        EXPECT_EQ(FilesIn(dir.path()), QStringList{"f.txt"});
    }
}

// The fallback only when the primary cannot be written; after a deletion the primary is rewritten
// or, with no entry left, deleted, the fallback never touched; a full disk keeps the old list.
TEST(SavedFiles, CellTimesFallbackRewriteAndFullDisk) {
    QTemporaryDir dir;
    const QString plain = dir.filePath("plain"), fallback = dir.filePath("C"),
                  path = dir.filePath("f");
    ASSERT_TRUE(WriteAll(plain, "x"));
    const QByteArray two = "00:00:00.000\r\n00:00:01.000\r\n";
    for (const QString& primary :
         {QString("/proc/cueboard/x.txt"), plain + "/f.txt", dir.filePath("no/f.txt")}) {
        QFile::remove(fallback);
        EXPECT_EQ(WriteCellTimesOrFallback(primary, fallback, Marks(2)), fallback)
            << primary.toStdString();
        RewriteCellTimesAfterDelete(primary, Marks(1));
        RewriteCellTimesAfterDelete(primary, {});
        EXPECT_EQ(ReadAll(fallback), two);
    }
    EXPECT_EQ(WriteCellTimesOrFallback("/proc/x/a.txt", plain + "/b.txt", Marks(2)), "");
    EXPECT_EQ(WriteCellTimesOrFallback(path, fallback, Marks(2)), path);
    EXPECT_FALSE(WithFileSizeLimit(4096, [&] {
        RewriteCellTimesAfterDelete(path, Marks(998));
        return WriteCellTimes(path, Marks(1000)) ||
               !WriteCellTimesOrFallback(path, plain + "x", Marks(999)).isEmpty();
    }));
    EXPECT_EQ(ReadAll(path), two);
    RewriteCellTimesAfterDelete(path, Marks(1));
    EXPECT_EQ(ReadAll(path), "00:00:00.000\r\n");
    RewriteCellTimesAfterDelete(path, {});
    RewriteCellTimesAfterDelete(path, {});
    EXPECT_EQ(FilesIn(dir.path()), QStringList({"C", "plain"}));
}

// Lines ("|" between them) => the marks: lines with ":" count, split at commas and line breaks; a
// lone time counts at 3 to 14 characters; entries but none usable give an empty list.
TEST(SavedFiles, CellTimesAreTheTimesOfLinesWithAColon) {
    const auto joined = [](const std::optional<QStringList>& marks) {
        return marks ? marks->join(' ') : "-";
    };
    for (const QStringList& row : Rows(R"(
Chapters||00:01:00.000,00:02:00.000 => 00:01:00.000 00:02:00.000
00:00:00.00000 => 00:00:00.000
00:00:00.000000 => -
00:00:00.000000|1:2 => 00:00:00.000 01:02:00
1:2 => 01:02:00
1: => -
no colon|12.5 => -
 => -
abc: =>
0:1,junk:,1:2:3a,12:34.5 => 00:01:00 00:12:34.500
0:1\r\n0:2|0:3\n0:4\r0:5 => 00:01:00 00:02:00 00:03:00 00:04:00 00:05:00
0:5|0:1|0:5 => 00:05:00 00:01:00 00:05:00
 00:01:00.000|1:02:03:4567 => 01:02:03.456)"))
        EXPECT_EQ(joined(ParseCellTimes(row[0].split('|'))), row[1]) << row[0].toStdString();
    // Files: read up to the last whole line within the limit; only regular files (a pipe blocks).
    const qint64 limit = CellTimesReadLimit;
    const QByteArray first = "00:01:00.000\r\n";
    const std::pair<QByteArray, const char*> files[] = {
        {"00:00:10.000\n00:02:31.240", "00:00:10.000 00:02:31.240"},
        {"", "-"},
        {QByteArray("00:01:00.000\xff\r\n00:02:00.000\0\r\n", 30), ""},
        {first + QByteArray(limit - 23, 'x') + "\r\n00:05:00.000\r\n", "00:01:00.000"},
        {first + QByteArray(limit - 28, 'x') + "\r\n00:05:00.000", "00:01:00.000 00:05:00.000"},
        {QByteArray(limit + 100, 'x') + "\n00:01:00.000\n", "-"}};
    QTemporaryDir dir;
    const QString path = dir.filePath("f.txt");
    for (const auto& [bytes, marks] : files) {
        ASSERT_TRUE(WriteAll(path, bytes));
        EXPECT_EQ(joined(ReadCellTimes(path)), marks) << bytes.left(40).toStdString();
    }
    ASSERT_TRUE(WriteCellTimes(path, Marks(3)));
    EXPECT_EQ(ReadCellTimes(path), Marks(3));
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    for (const QString& other : {dir.filePath("fifo"), dir.path(), dir.filePath("missing")})
        EXPECT_EQ(ReadCellTimes(other), std::nullopt) << other.toStdString();
}

} // namespace
