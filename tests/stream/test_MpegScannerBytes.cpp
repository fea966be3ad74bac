#include "stream/MpegBytes.h"
#include "stream/MpegScanner.h"
#include "stream/ScannerBytes.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace MpegBytes;

namespace {

TEST_F(MpegScannerBytes, SmallElementaryStreamWithOneGop) {
    QByteArray bytes = ElementaryHead() + GopHeader(0, 0, 0, 0) + Pictures(12, 3000);
    PadTo(bytes, 50000);
    bool found = false;
    const StreamProperties props = ScanBytes(bytes, &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(props.FileSizeBytes, 50000);
    EXPECT_EQ(props.FileSizeMB, 0);
    EXPECT_EQ(props.Muxed, 0);
    EXPECT_EQ(props.MuxOK, 0);
    EXPECT_EQ(props.MpegType, "2");
    EXPECT_EQ(props.VideoWidth, 720);
    EXPECT_EQ(props.VideoHeight, 576);
    EXPECT_EQ(props.FrameRate, 25.0f);
    EXPECT_DOUBLE_EQ(props.DurationSeconds, 0.48);
    EXPECT_EQ(props.DurationText, "00:00:00.48");
    EXPECT_EQ(props.ScrDurationSeconds, 0.0);
}

// In a program stream the sequence header must lie within 100 bytes after a video-packet start
// code. The first candidate is 352 wide, the second (20 bytes into its packet) 720 wide.
TEST_F(MpegScannerBytes, SequenceHeaderMustLieInAVideoPacket) {
    struct Case {
        const char* name;
        qsizetype firstDistance; // bytes from the first packet start code; -1: no packet before
        qsizetype secondDistance;
        int width; // 0: nothing accepted
    };
    const Case cases[] = {
        {"first 20 bytes in", 20, 20, 352},          {"first exactly 100 bytes in", 100, 20, 352},
        {"first 101 bytes in", 101, 20, 720},        {"first 150 bytes in", 150, 20, 720},
        {"no packet before the first", -1, 20, 720}, {"both too far", 150, 150, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = PackHeader(0);
        if (c.firstDistance < 0) {
            PlaceAt(bytes, 300, SequenceHeader(352, 288, 2, 3));
        } else {
            PlaceAt(bytes, 100, VideoPacketHeader());
            PlaceAt(bytes, 100 + c.firstDistance, SequenceHeader(352, 288, 2, 3));
        }
        PlaceAt(bytes, 1000, VideoPacketHeader());
        PlaceAt(bytes, 1000 + c.secondDistance,
                ElementaryHead(720, 576, 2, 3) + GopHeader(0, 0, 0, 0) + Pictures(5));
        PadTo(bytes, 5000);
        bool found = false;
        const StreamProperties props = ScanBytes(bytes, &found);
        EXPECT_EQ(found, c.width != 0);
        EXPECT_EQ(props.VideoWidth, c.width);
        EXPECT_EQ(props.Muxed, 1);
    }
}

TEST_F(MpegScannerBytes, NavigationPacketsOfBothKinds) {
    struct Case {
        const char* name;
        bool pack, nav1, nav2;
        qint16 muxOK;
    };
    const Case cases[] = {
        {"both", true, true, true, 1},
        {"only the first kind", true, true, false, 0},
        {"only the second kind", true, false, true, 0},
        {"none", true, false, false, 0},
        {"both, but no pack header", false, true, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = c.pack ? PackHeader(0) : QByteArray();
        if (c.nav1)
            bytes += NavPacket1();
        if (c.nav2)
            bytes += NavPacket2();
        bytes += VideoPacketHeader() + ElementaryHead() + GopHeader(0, 0, 0, 0) + Pictures(3);
        PadTo(bytes, 4000);
        const StreamProperties props = ScanBytes(bytes);
        EXPECT_EQ(props.Muxed, c.pack ? 1 : 0);
        EXPECT_EQ(props.MuxOK, c.muxOK);
    }
}

// A non-drop time code at 29.97 counts 30 pictures per time-code second: its seconds are longer
// than real ones by 1.001.
TEST_F(MpegScannerBytes, NonDropTimeCodeAt2997) {
    struct Case {
        int rateCode;
        bool dropFrame;
        int pictures;
        double seconds;
        const char* reportLine; // nullptr: none
    };
    const Case cases[] = {
        {4, false, 30, 30 / double(29.97f) / 1.001001001, "Timecode: NTSC non-drop frame"},
        {4, true, 30, 30 / double(29.97f), "Timecode: NTSC drop frame"},
        {5, false, 30, 1.0, nullptr},
        {1, false, 24, 24 / double(23.976f), nullptr},
        {7, true, 60, 60 / double(59.94f), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "rate code " << c.rateCode << " drop " << c.dropFrame);
        QByteArray bytes = ElementaryHead(720, 480, 2, c.rateCode) +
                           GopHeader(0, 0, 0, 0, c.dropFrame) + Pictures(c.pictures);
        PadTo(bytes, 20000);
        const StreamProperties props = ScanBytes(bytes);
        EXPECT_EQ(props.DropFrame, ToFlag(c.dropFrame));
        EXPECT_NEAR(props.DurationSeconds, c.seconds, 1e-4);
        const QStringList lines = FileReportLines(props, Label);
        EXPECT_EQ(lines.filter("Timecode: NTSC").size(), c.reportLine ? 1 : 0);
        if (c.reportLine) {
            EXPECT_TRUE(lines.contains(c.reportLine));
        }
    }
}

struct BadGop {
    const char* name;
    GopFields fields;
    bool valid;
};

QList<BadGop> BadGops() {
    const auto with = [](auto change) {
        GopFields f;
        f.dropFrame = true;
        f.seconds = 20;
        change(f);
        return f;
    };
    return {
        {"valid (control)", with([](GopFields&) {}), true},
        {"hours 24", with([](GopFields& f) { f.hours = 24; }), false},
        {"hours 31", with([](GopFields& f) { f.hours = 31; }), false},
        {"reserved bit 0", with([](GopFields& f) { f.reserved = 0x01; }), false},
        {"reserved bit 4", with([](GopFields& f) { f.reserved = 0x10; }), false},
        {"marker bit 0", with([](GopFields& f) { f.marker = false; }), false},
    };
}

// An invalid header before the first valid one must not start the count of pictures or set the
// drop-frame flag.
TEST_F(MpegScannerBytes, InvalidFirstGopHeadersAreSkipped) {
    for (const BadGop& bad : BadGops()) {
        SCOPED_TRACE(bad.name);
        QByteArray bytes = ElementaryHead() + GopHeader(bad.fields) + Pictures(5) +
                           GopHeader(0, 0, 1, 0) + Pictures(10);
        PadTo(bytes, 20000);
        const StreamProperties props = ScanBytes(bytes);
        EXPECT_EQ(props.DropFrame, ToFlag(bad.valid));
        EXPECT_NEAR(props.DurationSeconds, bad.valid ? 0.6 : 0.4, 1e-9);
    }
}

// The same in the last block: an invalid header after the last valid one gives no time code.
TEST_F(MpegScannerBytes, InvalidLastGopHeadersAreSkipped) {
    for (const BadGop& bad : BadGops()) {
        SCOPED_TRACE(bad.name);
        QByteArray bytes = ElementaryHead() + GopHeader(0, 0, 0, 0) + Pictures(10);
        PlaceAt(bytes, 150000, GopHeader(0, 0, 10, 0) + GopHeader(bad.fields) + Pictures(10));
        PadTo(bytes, 200000);
        const StreamProperties props = ScanBytes(bytes);
        EXPECT_NEAR(props.DurationSeconds, bad.valid ? 20.4 : 10.4, 1e-9);
        EXPECT_EQ(props.LastGopPos, bad.valid ? 150009 : 150001);
    }
}

TEST_F(MpegScannerBytes, FrameRateAndAspectCodes) {
    const float rates[16] = {25, 23.976f, 24, 25, 29.97f, 30, 50, 59.94f,
                             60, 25,      25, 25, 25,     25, 25, 25};
    const char* aspects[16] = {"4:3", "1:1", "4:3", "16:9", "2.21:1", "4:3", "4:3", "4:3",
                               "4:3", "4:3", "4:3", "4:3",  "4:3",    "4:3", "4:3", "4:3"};
    for (int code = 0; code < 16; ++code) {
        SCOPED_TRACE(code);
        const StreamProperties props =
            ScanBytes(ElementaryHead(704, 480, code, code) + GopHeader(0, 0, 0, 0) + Pictures(1));
        EXPECT_EQ(props.FrameRate, rates[code]);
        EXPECT_EQ(props.AspectRatioText, aspects[code]);
        EXPECT_EQ(props.VideoWidth, 704);
    }
}

// Sequence headers beyond the first block: the forward blocks start 10 bytes before the end of
// the one before (the first at 99990).
TEST_F(MpegScannerBytes, SequenceHeaderInAForwardBlock) {
    // Elementary stream: no extension in the first block either.
    QByteArray es = Filler(1000);
    PlaceAt(es, 130000, ElementaryHead(352, 288, 3, 3) + GopHeader(0, 0, 0, 0) + Pictures(5));
    PadTo(es, 260000);
    bool found = false;
    StreamProperties props = ScanBytes(es, &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(props.VideoWidth, 352);
    EXPECT_EQ(props.AspectRatioText, "16:9");
    EXPECT_EQ(props.MpegType, "2");

    // Program stream: the header 20 bytes into the second block, its packet start code in the
    // bytes before the block.
    struct Case {
        const char* name;
        qsizetype packet; // offset of the video-packet start code
        bool accepted;
    };
    const Case cases[] = {
        {"packet 50 bytes before the block", 99940, true},
        {"packet 100 bytes before the block", 99890, true},
        {"packet 101 bytes before the block", 99889, false},
        {"packet 190 bytes before the block", 99800, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray ps = PackHeader(0);
        PlaceAt(ps, c.packet, VideoPacketHeader());
        PlaceAt(ps, 100010, ElementaryHead(352, 288, 2, 3) + GopHeader(0, 0, 0, 0) + Pictures(5));
        PadTo(ps, 260000);
        props = ScanBytes(ps, &found);
        EXPECT_EQ(found, c.accepted);
        EXPECT_EQ(props.VideoWidth, c.accepted ? 352 : 0);
    }
}

} // namespace
