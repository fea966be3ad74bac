#include "stream/MpegBytes.h"
#include "stream/VideoPictureCounter.h"

#include <QList>
#include <gtest/gtest.h>
#include <vector>

using namespace MpegBytes;

namespace {

// Streams in parts: first byte in video payload (not at a pack), pictures, the last counted at
// `at` in part `part` (-1: none); the same however the stream is cut into pieces.
TEST(VideoPictureCounter, CountsPicturesOfVideoPacketsOnly) {
    const QByteArray code = StartCode(0), pack = PackHeader(90000), one = Packet(0xE0, Picture());
    const QByteArray mpeg1Pack = StartCode(0xBA) + QByteArray::fromHex("2100010001800001");
    const auto hex = [](const char* h) { return QByteArray::fromHex(h); };
    const auto bd = [](const QByteArray& payload) { return Packet(0xBD, payload); };
    const std::tuple<bool, std::vector<QByteArray>, qint64, size_t, qsizetype> rows[] = {
        // clang-format off
        {false, {pack, Packet(0xE0, Pictures(2)), bd(code.repeated(3)), Packet(0xC0, code),
            Packet(0xBF, code), Packet(0xBE, code), bd(one), StartCode(0xB9), pack, one}, 3, 9, 9},
        {false, {pack, Packet(0xE0, Filler(10) + hex("0000")), pack, bd(code),
            Packet(0xE0, hex("0100") + Filler(10) + hex("000001")), Packet(0xE0, hex("00"))},
            2, 4, 21},
        {false, {pack, Packet(0xE0, Filler(10), code + hex("FF")), one}, 1, 2, 9}, // in fields
        {false, {mpeg1Pack, StartCode(0xE0) + hex("0076FFFF40002100000100000100") + Picture(),
            mpeg1Pack, StartCode(0xE0) + hex("006B0F") + Picture(), mpeg1Pack,
            StartCode(0xE0) + hex("007431000000011100000001") + Picture()}, 3, 5, 16},
        {false, {pack, StartCode(0xE0) + hex("0000810000") + Pictures(2), pack, bd(code)},
            2, 1, 115}, // a video packet without length ends at the next pack
        {false, {pack, code + Filler(5) + Picture(), pack, one}, 1, 3, 9}, // lost up to a pack
        {false, {StartCode(0xBA), one}, 1, 1, 9}, {false, {Picture(), pack, one}, 1, 2, 9},
        {true, {Picture() + Filler(3) + hex("0000"), pack, bd(code),
            Packet(0xE0, hex("0100") + Filler(5))}, 2, 0, 109},
        {false, {pack, bd(code), pack}, 0, 0, -1},
        // clang-format on
    };
    for (const auto& [inPayload, parts, pictures, part, at] : rows) {
        QByteArray bytes;
        qint64 last = -1;
        for (size_t i = 0; i < parts.size(); bytes += parts[i++])
            last = i == part && at >= 0 ? bytes.size() + at : last;
        std::vector<std::vector<qsizetype>> cuts = {{}, {}}; // whole, then byte by byte
        for (qsizetype cut = 1; cut < bytes.size(); ++cut) {
            cuts[1].push_back(cut);
            cuts.push_back({cut});
        }
        for (const std::vector<qsizetype>& pieces : cuts) {
            VideoPictureCounter counter(inPayload ? VideoPictureCounter::Start::InVideoPayload
                                                  : VideoPictureCounter::Start::AtPacket);
            qsizetype from = 0;
            for (qsizetype cut : pieces) {
                counter.feed(QByteArrayView(bytes).sliced(from, cut - from));
                from = cut;
            }
            counter.feed(QByteArrayView(bytes).sliced(from));
            EXPECT_EQ(QList<qint64>({counter.pictures(), counter.lastPictureOffset()}),
                      QList<qint64>({pictures, last}))
                << bytes.toHex().constData() << ", " << pieces.size() << " cuts from "
                << (pieces.empty() ? 0 : pieces[0]);
        }
    }
}

} // namespace
