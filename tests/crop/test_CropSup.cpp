#include "crop/CropSettings.h"
#include "crop/CropSup.h"
#include "export/FileSizeLimit.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>
#include <tuple>

namespace {

// Height, top, bottom; opaque lines to and from. An entry: its header; lines 2 to H - 2, the top
// field's first, each 00 01 (opaque) or 00 00; two zero bytes; the control sequences (show,
// palette, contrast, fields, area 0-719 by 2 to H - 2; stop after 175 ticks) and a closing byte.
TEST(CropSup, UnitLayoutIsByteExact) {
    const QByteArray pal = "53500000000000000000049f0480000000000498010300000400f00600040242050002c"
                           "f00223eff00af049802ffff";
    const QByteArray ntsc = "5350000000000000000003df03c00000000003d8010300000400f006000401e2050002"
                            "cf0021deff00af03d802ffff";
    const std::tuple<int, int, int, int, int> rows[] = {
        {576, 8, 8, 8, 568},     {576, 0, 0, 1, 576},   {576, 2, 3, 2, 573}, {576, 0, 288, 1, 288},
        {576, 300, 300, 574, 2}, {576, -5, -5, 1, 576}, {480, 8, 8, 8, 472}, {480, 60, 0, 60, 480}};
    for (const auto& [height, top, bottom, lastTop, firstBottom] : rows) {
        const QByteArray body = CropSupBody(height, top, bottom),
                         entry = CropSupHeader(0, int(body.size())) + body;
        ASSERT_EQ(entry.size(), 14 + 2 * (height - 3) + 33);
        EXPECT_EQ(entry.left(14).toHex() + entry.right(33).toHex(), height == 576 ? pal : ntsc);
        for (int y = 2; y <= height - 2; ++y)
            ASSERT_EQ(entry.mid(14 + (y % 2 ? height - 5 + y : y - 2), 2).toHex(),
                      y <= lastTop || y >= firstBottom ? "0001" : "0000")
                << y << " " << top << "/" << bottom;
    }
    for (int height : {0, 479, 481, 575, 577})
        EXPECT_TRUE(CropSupBody(height, 8, 8).isEmpty() && !CropSupAvailable(height)) << height;
}

// Duration; entries: at 0, then each even second up to the duration, none past 47720 s (the last
// 32-bit 90 kHz time stamp). Each entry is the first but for its time stamp.
TEST(CropSup, OneEntryEveryTwoSeconds) {
    const std::pair<double, qint64> rows[] = {
        {7.5, 4}, {1.99, 1},         {2.0, 2},         {3.999, 2},       {-4.0, 1},
        {NAN, 1}, {47719.99, 23860}, {47720.0, 23861}, {47722.0, 23861}, {INFINITY, 23861}};
    for (const auto& [duration, entries] : rows)
        EXPECT_EQ(CropSupEntryCount(duration), entries) << duration;
    QTemporaryDir dir;
    ASSERT_TRUE(WriteCropSup(dir.filePath("f"), 576, 7.5, 8, 8));
    const QByteArray file = ReadAll(dir.filePath("f"));
    ASSERT_EQ(file.size(), 4 * 1193);
    for (qint64 i = 0; i < 4; ++i) {
        QByteArray time(4, 0);
        qToLittleEndian(quint32(i * 180000), time.data());
        EXPECT_EQ(file.mid(i * 1193, 1193), file.left(2) + time + file.mid(6, 1187)) << i;
    }
}

// Beside the video; whole or not at all: no layout, no path, a missing folder, a folder in the
// file's place or a write failing half way leave the old file as it was.
TEST(CropSup, FileLiesBesideTheVideoAndIsReplacedWhole) {
    EXPECT_EQ(CropSupPath("/f/T/Tip.mpv") + CropSupPath("/f.d/ab") + CropSupPath(""),
              "/f/T/Tip_crop.sup/f.d/ab_crop.sup");
    QTemporaryDir dir;
    const QString path = dir.filePath("f_crop.sup");
    ASSERT_TRUE(WriteAll(path, QByteArray(100000, 'x')) && WriteCropSup(path, 576, 3.0, 8, 8));
    const QByteArray old = ReadAll(path);
    EXPECT_TRUE(old.size() == 2 * 1193 && !old.contains('x') && QDir(dir.path()).mkdir("d"));
    for (const QString& other : {QString(), dir.filePath("missing/f"), dir.filePath("d")})
        EXPECT_FALSE(WriteCropSup(other, 576, 10.0, 8, 8)) << other.toStdString();
    EXPECT_FALSE(WriteCropSup(path, 720, 10.0, 8, 8) || WithFileSizeLimit(64 * 1024, [&] {
                     return WriteCropSup(path, 576, 3600.0, 8, 8);
                 }));
    EXPECT_TRUE(ReadAll(path) == old && FilesIn(dir.path()) == QStringList{"f_crop.sup"});
}

} // namespace
