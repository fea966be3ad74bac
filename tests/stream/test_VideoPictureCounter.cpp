#include "stream/MpegBytes.h"
#include "stream/VideoPictureCounter.h"

#include <gtest/gtest.h>

#include <vector>

using namespace MpegBytes;

namespace {

using Start = VideoPictureCounter::Start;

const QByteArray Code = QByteArray::fromHex("00000100");

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

struct Case {
    const char* name;
    Start start;
    std::vector<QByteArray> parts; // the stream, in parts to point into
    qint64 pictures;
    size_t lastPart;      // where the last picture start code counted begins:
    qsizetype lastInPart; // in this part, at this offset (-1: none counted)
};

std::vector<Case> Cases() {
    const QByteArray pack = PackHeader(90000);
    const QByteArray mpeg1Pack = StartCode(0xBA) + Hex("2100010001800001");
    return {
        {"only video packets count",
         Start::AtPacket,
         {pack, Packet(0xE0, Picture() + Picture()), Packet(0xBD, Code.repeated(3)),
          Packet(0xC0, Code), Packet(0xBF, Code), Packet(0xBE, Code),
          Packet(0xBD, Packet(0xE0, Picture())), StartCode(0xB9), pack, Packet(0xE0, Picture())},
         3,
         9,
         9},
        {"codes split across video packets count once",
         Start::AtPacket,
         {pack, Packet(0xE0, Filler(10) + Hex("0000")), pack, Packet(0xBD, Code),
          Packet(0xE0, Hex("0100") + Filler(10) + Hex("000001")), Packet(0xE0, Hex("00"))},
         2,
         4,
         9 + 12},
        {"optional header fields do not count",
         Start::AtPacket,
         {pack, Packet(0xE0, Filler(10), Code + Hex("FF")), Packet(0xE0, Picture())},
         1,
         2,
         9},
        {"MPEG-1 packs and packets",
         Start::AtPacket,
         {mpeg1Pack, StartCode(0xE0) + Hex("0076FFFF40002100000100000100") + Picture(), mpeg1Pack,
          StartCode(0xE0) + Hex("006B0F") + Picture()},
         2,
         3,
         7},
        {"a video packet without length runs up to the next pack",
         Start::AtPacket,
         {pack, StartCode(0xE0) + Hex("0000810000") + Picture() + Picture(), pack,
          Packet(0xBD, Code)},
         2,
         1,
         9 + 106},
        {"no pack or packet where one should start: nothing counts up to the next",
         Start::AtPacket,
         {pack, Code + Filler(5) + Picture(), pack, Packet(0xE0, Picture())},
         1,
         3,
         9},
        {"a packet start code inside a broken pack header",
         Start::AtPacket,
         {StartCode(0xBA), Packet(0xE0, Picture())},
         1,
         1,
         9},
        {"bytes before the first pack are skipped",
         Start::AtPacket,
         {Picture(), pack, Packet(0xE0, Picture())},
         1,
         2,
         9},
        {"from inside video payload",
         Start::InVideoPayload,
         {Picture() + Filler(3) + Hex("0000"), pack, Packet(0xBD, Code),
          Packet(0xE0, Hex("0100") + Filler(5))},
         2,
         0,
         109},
        {"audio only", Start::AtPacket, {pack, Packet(0xBD, Code), pack}, 0, 0, -1},
    };
}

// The same stream gives the same count however it is cut into pieces.
TEST(VideoPictureCounter, CountsPicturesOfVideoPacketsOnly) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        QByteArray bytes;
        qint64 last = -1;
        for (size_t i = 0; i < c.parts.size(); ++i) {
            if (i == c.lastPart && c.lastInPart >= 0)
                last = bytes.size() + c.lastInPart;
            bytes += c.parts[i];
        }
        const auto check = [&](const std::vector<qsizetype>& cuts, const char* how) {
            VideoPictureCounter counter(c.start);
            qsizetype from = 0;
            for (const qsizetype cut : cuts) {
                counter.feed(QByteArrayView(bytes).sliced(from, cut - from));
                from = cut;
            }
            counter.feed(QByteArrayView(bytes).sliced(from));
            EXPECT_EQ(counter.pictures(), c.pictures) << how << " " << cuts.size();
            EXPECT_EQ(counter.lastPictureOffset(), last) << how << " " << cuts.size();
        };
        check({}, "whole");
        std::vector<qsizetype> everyByte;
        for (qsizetype cut = 1; cut < bytes.size(); ++cut) {
            everyByte.push_back(cut);
            check({cut}, "cut at");
        }
        check(everyByte, "byte by byte");
    }
}

} // namespace
