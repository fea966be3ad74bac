#include "export/CellTimes.h"
#include "export/FileSizeLimit.h"
#include "export/SaveImage.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTime>
#include <gtest/gtest.h>

namespace {

QStringList Marks(int count) {
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks += QTime(0, 0).addSecs(i).toString("hh:mm:ss.zzz");
    return marks;
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

} // namespace
