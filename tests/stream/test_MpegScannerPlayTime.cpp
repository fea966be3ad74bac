#include "stream/MpegBytes.h"
#include "stream/MpegScanner.h"
#include "stream/ScannerBytes.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace MpegBytes;

namespace {

// 250000-byte streams: the tail blocks are the last 100000 bytes, then the 100000 bytes that end
// 10 bytes into the first one.
TEST_F(MpegScannerBytes, LastGopPositionFromTheTail) {
    struct Case {
        const char* name;
        qsizetype lastGop; // 0-based offset
    };
    const Case cases[] = {
        {"well inside the last block", 230000},
        {"first byte of the last block", 150000},
        {"across the border of the last block", 149998},
        {"in the block before", 120000},
        {"near the end", 249000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = ElementaryHead() + GopHeader(0, 0, 0, 0) + Pictures(50);
        PlaceAt(bytes, 60000, GopHeader(0, 0, 4, 0) + Pictures(20));
        PlaceAt(bytes, c.lastGop, GopHeader(0, 0, 9, 0) + Filler(20) + Pictures(5));
        PadTo(bytes, 250000);
        const StreamProperties props = ScanBytes(bytes);
        EXPECT_EQ(props.LastGopPos, c.lastGop + 1);
        EXPECT_NEAR(props.DurationSeconds, 9.2, 1e-9);
    }
}

// Padding packets up to `size` bytes.
void PadWithPackets(QByteArray& bytes, qsizetype size) {
    while (bytes.size() < size)
        bytes += Packet(0xBE, Filler(qMin<qsizetype>(size - bytes.size(), 60000) - 9));
}

QByteArray AudioWithPictureCodes() {
    return Packet(0xBD, QByteArray::fromHex("00000100").repeated(100));
}

// In a program stream the pictures after a GOP header are counted in video packets only; the
// tail blocks overlap, and a picture in the overlap counts once.
TEST_F(MpegScannerBytes, ProgramStreamPicturesComeFromVideoPackets) {
    const QByteArray head = PackHeader(0) +
                            Packet(0xE0, ElementaryHead() + GopHeader(0, 0, 0, 0) + Pictures(5)) +
                            AudioWithPictureCodes();
    QByteArray small = head + PackHeader(9000) + Packet(0xE0, Pictures(7));
    const qsizetype lastSmall = small.size() - 106 + 1;
    small += AudioWithPictureCodes();
    PadWithPackets(small, 20000);

    // The last GOP in the block before the last, a picture 2 bytes into the last block.
    QByteArray border = head;
    PadWithPackets(border, 120000);
    border += PackHeader(9000) + Packet(0xE0, GopHeader(0, 0, 9, 0) + Pictures(4)) +
              AudioWithPictureCodes();
    PadWithPackets(border, 149000);
    border += PackHeader(18000) + Packet(0xE0, Filler(150002 - 149023) + Picture());
    border += AudioWithPictureCodes();
    PadWithPackets(border, 200000);
    border += PackHeader(27000) + Packet(0xE0, Pictures(2)) + AudioWithPictureCodes();
    PadWithPackets(border, 250000);

    QByteArray last = head;
    PadWithPackets(last, 200000);
    last += PackHeader(9000) + Packet(0xE0, GopHeader(0, 0, 9, 0) + Pictures(4)) +
            AudioWithPictureCodes() + PackHeader(18000) + Packet(0xE0, Pictures(3));
    PadWithPackets(last, 250000);

    const struct {
        const char* name;
        QByteArray bytes;
        double seconds;
        qint64 lastGopPos;
    } cases[] = {
        {"one block", small, 12 / 25.0, lastSmall},
        {"last GOP in the last block", last, 9 + 7 / 25.0, 200000 + 14 + 9 + 1},
        {"last GOP in the block before", border, 9 + 7 / 25.0, 120000 + 14 + 9 + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const StreamProperties props = ScanBytes(c.bytes);
        EXPECT_EQ(props.Muxed, 1);
        EXPECT_NEAR(props.DurationSeconds, c.seconds, 1e-9);
        EXPECT_EQ(props.LastGopPos, c.lastGopPos);
    }
}

TEST(MpegScannerPackClock, DecodesThe33BitClockReference) {
    const qint64 top = (qint64(1) << 33) - 1;
    for (qint64 scr :
         {qint64(1), qint64(90000), qint64(0x7FFFFFFF), qint64(1) << 31, (qint64(1) << 31) + 12345,
          (qint64(1) << 32) + 5, qint64(0x1AAAAAAAA), qint64(0x155555555), top}) {
        SCOPED_TRACE(scr);
        const QByteArray block = Filler(5) + PackHeader(scr) + Filler(5);
        EXPECT_EQ(DecodePackScr(block, 6), scr);
        EXPECT_EQ(DecodePackScr(PackHeader(scr), 1), scr);
    }
}

TEST(MpegScannerPackClock, WrongMarkerBitsGiveZero) {
    struct Case {
        const char* name;
        int byte; // 0-based after the start code
        quint8 clear;
    };
    const Case cases[] = {
        {"marker in the third byte", 2, 0x04},
        {"both bits tested in the first byte", 0, 0x44},
        {"marker in the fifth byte", 4, 0x04},
        {"marker in the sixth byte", 5, 0x01},
    };
    const qint64 scr = (qint64(1) << 32) + 90000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray pack = PackHeader(scr);
        pack[4 + c.byte] = char(quint8(pack[4 + c.byte]) & ~c.clear);
        EXPECT_EQ(DecodePackScr(pack, 1), 0);
    }
    // Either of the two bits of the first byte is enough.
    QByteArray pack = PackHeader(scr);
    pack[4] = char(quint8(pack[4]) & ~0x40);
    EXPECT_EQ(DecodePackScr(pack, 1), scr);
    // Header bytes beyond the block read as zero.
    EXPECT_EQ(DecodePackScr(PackHeader(scr).left(9), 1), 0);
}

// Program streams with a first and a last pack: the clock span, through the 33rd bit, and the
// last clock taken from the last pack with good marker bits.
TEST_F(MpegScannerBytes, PackClockPlayTime) {
    const qint64 high = qint64(1) << 32;
    struct Case {
        const char* name;
        qint64 first, last;
        qsizetype size;
        bool badLastPack;
        double seconds;
        const char* text;
    };
    const Case cases[] = {
        {"from zero", 0, 3 * 90000, 20000, false, 3.0, "00:00:03.00"},
        {"above 2^32", high, high + 3 * 90000 + 900, 20000, false, 3.01, "00:00:03.01"},
        {"up to the top", high * 2 - 90000 - 1, high * 2 - 1, 20000, false, 1.0, "00:00:01.00"},
        {"clock going back", 10 * 90000, 4 * 90000, 20000, false, -6.0, "???"},
        {"tail, good last pack", 90000, 6 * 90000, 300000, false, 5.0, "00:00:05.00"},
        {"tail, bad last pack", 90000, 6 * 90000, 300000, true, 5.0, "00:00:05.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = PackHeader(c.first) + VideoPacketHeader() + ElementaryHead() +
                           GopHeader(0, 0, 0, 0) + Pictures(3);
        PlaceAt(bytes, c.size - 2000, PackHeader(c.last) + VideoPacketHeader() + Pictures(1));
        if (c.badLastPack) {
            QByteArray bad = PackHeader(c.last + 90000);
            bad[6] = char(quint8(bad[6]) & ~0x04);
            PlaceAt(bytes, c.size - 500, bad);
        }
        PadTo(bytes, c.size);
        const StreamProperties props = ScanBytes(bytes);
        EXPECT_DOUBLE_EQ(props.ScrDurationSeconds, c.seconds);
        EXPECT_EQ(props.ScrDurationText, c.text);
    }
}

// Offsets past 4 GiB in the tail: a sparse program stream of 5 GiB with its headers at both ends.
TEST_F(MpegScannerBytes, FileLargerThanFourGiB) {
    const qint64 size = qint64(5) << 30;
    const QByteArray head = PackHeader(0) + VideoPacketHeader() + ElementaryHead() +
                            GopHeader(0, 0, 0, 0) + Pictures(12);
    QByteArray tail = PackHeader(100 * 90000) + VideoPacketHeader();
    const qsizetype gopInTail = tail.size();
    tail += GopHeader(0, 1, 40, 0) + Pictures(12);
    const QString path = dir_.filePath("large.mpg");
    ASSERT_TRUE(MakeSparseFile(path, size, head, tail));

    bool found = false;
    const StreamProperties props = Scan(path, &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(props.FileSizeBytes, size);
    EXPECT_EQ(props.FileSizeMB, 5120);
    EXPECT_EQ(props.LastGopPos, size - tail.size() + gopInTail + 1);
    EXPECT_DOUBLE_EQ(props.DurationSeconds, 100.48);
    EXPECT_DOUBLE_EQ(props.ScrDurationSeconds, 100.0);
    EXPECT_EQ(props.ScrDurationText, "00:01:40.00");
}

} // namespace
