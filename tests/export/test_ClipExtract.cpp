#include "export/ClipExtract.h"
#include "export/FileSizeLimit.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <limits>
#include <tuple>

namespace {

constexpr qint64 Block = ClipBlockSize, Hour = 90000LL * 3600;
constexpr qint64 Min = std::numeric_limits<qint64>::min(), Max = std::numeric_limits<qint64>::max();

QByteArray Code(int code) {
    return QByteArray("\0\0\1", 3) + char(code);
}
const QByteArray Seq = Code(0xB3), PackCode = Code(0xBA), Filler(100, char(0xAA));

// A pack header: "01", the 33-bit clock in three parts, each with a marker bit, and the rest.
QByteArray Pack(qint64 scr) {
    const quint64 s = quint64(scr) & 0x1FFFFFFFF;
    const quint64 bits = 1ULL << 46 | (s >> 30) << 43 | 1ULL << 42 | (s >> 15 & 0x7FFF) << 27 |
                         1ULL << 26 | (s & 0x7FFF) << 11 | 1ULL << 10 | 1;
    QByteArray bytes = PackCode;
    for (int shift = 40; shift >= 0; shift -= 8)
        bytes += char(bits >> shift);
    return bytes + QByteArray::fromHex("0189C3F8");
}

// `bytes` padded with filler (never 00 00 01) to `size`.
QByteArray Filled(const QByteArray& bytes, qsizetype size) {
    return bytes + QByteArray(qMax<qsizetype>(0, size - bytes.size()), char(0xAA));
}

// Blocks, picture codes a block, bytes kept (0: all), header, start, pictures; the bytes copied:
// whole blocks until enough pictures are counted or the file ends.
TEST(ExtractClip, CopiesWholeBlocksUntilEnoughPicturesOrTheEnd) {
    const std::tuple<int, int, qint64, QByteArray, qint64, qint32, qint64> rows[] = {
        {25, 28, 0, "", 0, 270, 10 * Block},     {25, 30, 0, "", 0, 270, 9 * Block},
        {25, 30, 0, "", 5000, 270, 9 * Block},   {25, 30, 0, "", 0, 0, Block},
        {1, 30, 60000, "HDR", 1000, 270, 59000}, {6, 30, 500500, "", 0, 999, 500500},
        {3, 30, 0, "", 0, 999, 3 * Block},       {3, 30, 0, "HDR", 7, 999, 3 * Block - 7},
        {3, 30, 0, "HDR", 0, 1, Block}};
    QTemporaryDir dir;
    for (const auto& [blocks, perBlock, kept, header, start, pictures, length] : rows) {
        QByteArray bytes;
        for (int b = 1; b <= blocks; ++b)
            bytes = Filled(bytes + (Code(0) + Filler).repeated(perBlock), b * Block);
        bytes = bytes.left(kept ? kept : bytes.size());
        const ClipSource source{dir.filePath("source.m2v"), header};
        QList<qint64> progress;
        ASSERT_TRUE(WriteAll(source.path, bytes) &&
                    ExtractClip(pictures, start, source, dir.filePath("clip"),
                                [&](qint64 done) { progress += done; }));
        const QByteArray expected = (start != 0 ? header : QByteArray()) + bytes.mid(start, length);
        EXPECT_EQ(ReadAll(dir.filePath("clip")), expected) << blocks << " " << perBlock;
        EXPECT_EQ(progress.size(), (length + Block - 1) / Block);
        EXPECT_EQ(progress.value(progress.size() - 1), expected.size());
    }
}

// Ticks a pack, audio codes, muxed, clock duration (against 10 s of time codes), frame rate, start
// clock; the blocks a clip of 270 pictures takes. The stream has 40 blocks of 50 packs of 2000
// bytes, the clock from an hour on; the first 30 packs of a block carry a picture, the others
// audio full of picture codes when asked. 270 pictures need 9 blocks, and at 25 a second 10.8 s
// of a usable clock, which at 900 ticks a pack (0.5 s a block) the 22nd block reaches.
TEST(ExtractClip, ExtendsTheClipWhileAUsablePackClockLags) {
    const std::tuple<qint64, bool, qint16, double, float, qint64, int> rows[] = {
        {900, false, 1, 10.5, 25, Hour, 22},   {900, false, 1, 11.0, 25, Hour, 9},
        {900, false, 1, 10.999, 25, Hour, 22}, {900, false, 0, 10.0, 25, Hour, 9},
        {900, false, 1, 10.0, 0, Hour, 9},     {3600, false, 1, 10.0, 25, Hour, 9},
        {3600, true, 1, 10.0, 25, Hour, 9},    {900, false, 1, 10.0, 25, Min, 9},
        {900, false, 1, 10.0, 25, Max, 40}};
    const QByteArray video = Code(0xE0) + QByteArray::fromHex("006B810000") + Code(0) + Filler;
    const QByteArray audio = Code(0xBD) + QByteArray::fromHex("0193810000") + Code(0).repeated(100);
    QTemporaryDir dir;
    for (const auto& [ticks, audioCodes, muxed, scrDuration, rate, startScr, blocks] : rows) {
        QByteArray bytes;
        const QByteArray other = audioCodes ? audio : QByteArray();
        for (int k = 0; k < 2000; ++k)
            bytes = Filled(bytes + Pack(Hour + k * ticks) + (k % 50 < 30 ? video : other),
                           (k + 1) * 2000);
        const ClipSource source{dir.filePath("s"), {}, muxed, 10.0, scrDuration, rate, startScr};
        ASSERT_TRUE(WriteAll(source.path, bytes) &&
                    ExtractClip(270, 0, source, dir.filePath("clip")));
        EXPECT_EQ(ReadAll(dir.filePath("clip")).size(), blocks * Block)
            << ticks << " " << scrDuration << " " << startScr;
    }
}

// Failures (no source, nothing at the start, a source cut while copying, a full disk, a target
// that cannot be made) leave the old clip as it was and nothing beside it.
TEST(ExtractClip, ReplacesTheTargetWholeOrLeavesItAlone) {
    QTemporaryDir dir;
    const QByteArray bytes = Filled((Code(0) + Filler).repeated(4000), 5 * Block),
                     old(3 << 20, 'o');
    const ClipSource source{dir.filePath("s"), {}}, missing{dir.filePath("n"), "H"},
        cut{dir.filePath("c"), {}};
    const QString clip = dir.filePath("out/clip.vob");
    ASSERT_TRUE(WriteAll(source.path, bytes) && WriteAll(cut.path, bytes) &&
                QDir(dir.path()).mkdir("out"));
    ASSERT_TRUE(WriteAll(clip, old) && ExtractClip(1, 0, source, clip) &&
                ReadAll(clip) == bytes.left(Block));
    ASSERT_TRUE(WriteAll(clip, old));
    EXPECT_FALSE(ExtractClip(1, 10, missing, clip) || ExtractClip(1, bytes.size(), source, clip) ||
                 ExtractClip(1, -1, source, clip));
    EXPECT_FALSE(ExtractClip(99999, 0, cut, clip, [&](qint64 done) {
        QFile::resize(cut.path, done == 2 * Block ? 2 * Block + 10 : bytes.size());
    }));
    EXPECT_FALSE(WithFileSizeLimit(150000, [&] {
        return ExtractClip(99999, 0, source, clip) || ExtractClip(99999, 0, source, clip + "2");
    }));
    EXPECT_TRUE(ReadAll(clip) == old && FilesIn(dir.filePath("out")) == QStringList{"clip.vob"});
    for (const QString& target :
         {QString("/proc/cueboard/clip"), source.path + "/clip", dir.filePath("no/clip")})
        EXPECT_FALSE(ExtractClip(1, 0, source, target) || QFileInfo::exists(target))
            << target.toStdString();
}

// pal.mpg beyond 4 GiB clipped at the pack before the sequence header before a GOP; oneseq.m2v
// (one sequence header) clipped after its stream header: the bytes, decoding (ffprobe) to the
// pictures asked but an open GOP's first two B-pictures and one cut at the block end.
TEST(ClipVideos, ClipsStartAtTheirGopAndDecode) {
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.vob"), big = dir.filePath("big.vob");
    const QByteArray pal = ReadAll(TestVideo("pal.mpg")), one = ReadAll(TestVideo("oneseq.m2v"));
    const qint64 base = (qint64(1) << 32) + 777777, gop = pal.indexOf(Code(0xB8), 1000000);
    const qint64 start = pal.lastIndexOf(PackCode, pal.lastIndexOf(Seq, gop));
    ASSERT_TRUE(MakeSparseFile(big, base + pal.size(), {}, pal));
    const ClipStart found = FindClipStart(big, base + gop + 1, "00:00:05.000");
    ASSERT_EQ(found.offset, base + start);
    ASSERT_TRUE(
        ExtractClip(100, found.offset, {big, {}, 1, 12, 99, 25, *found.clipStartScr}, clip));
    const QByteArray fromBig = ReadAll(clip);
    EXPECT_TRUE(fromBig == pal.mid(start, fromBig.size()) && fromBig.size() % Block == 0);
    EXPECT_GE(DecodedPictures(clip), 97);
    const QByteArray header = one.left(one.indexOf(Code(0xB8)));
    const qint64 middle = one.indexOf(Code(0xB8), one.size() / 2);
    ASSERT_TRUE(ExtractClip(100, middle, {TestVideo("oneseq.m2v"), header}, clip));
    EXPECT_EQ(ReadAll(clip), header + one.mid(middle, ReadAll(clip).size() - header.size()));
    EXPECT_GE(DecodedPictures(clip), 97);
}

} // namespace
