#include "stream/MpegBytes.h"
#include "stream/MpegScanner.h"
#include "support/TestSupport.h"

#include <QVariant>
#include <gtest/gtest.h>

using namespace MpegBytes;

// clang-format off
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

using MpegScanner = TempFolderTest;
const QByteArray Gop0 = GopHeader(0, 0, 0, 0), Gop9 = GopHeader(0, 0, 9, 0);
const QByteArray Seq = SequenceHeader(720, 576, 2, 3), Seq352 = SequenceHeader(352, 288, 2, 3);
const QByteArray Head352 = Seq352 + Gop0 + Pictures(5);
const QByteArray Video = StartCode(0xE0), Audio = Packet(0xBD, StartCode(0).repeated(100)); // 409
const QByteArray Nav1 = StartCode(0xBF) + QByteArray::fromHex("03D4") + Filler(40);
const QByteArray Nav2 = StartCode(0xBF) + QByteArray::fromHex("03FA") + Filler(40);
const auto Vid = [](const QByteArray& payload) { return Packet(0xE0, payload); };
const auto Es = [](const QByteArray& b, qsizetype size = 20000) { return Layout({{0, b}}, size); };
const auto Rate = [](int code, bool drop, int pictures) {
    return Es(SequenceHeader(720, 480, 2, code) + GopHeader(0, 0, 0, 0, drop) + Pictures(pictures));
};
// Headers at 100 + |first| (352 wide) and 1000 + `second`, that many bytes after a video packet.
const auto InPackets = [](qsizetype first, qsizetype second) {
    return Layout({{0, PackHeader(0)}, {100, first < 0 ? QByteArray() : Video},
        {100 + qAbs(first), Seq352}, {1000, Video}, {1000 + second, Seq + Gop0 + Pictures(5)}},
        5000);
};
const auto Nav = [](const QByteArray& navs, bool pack = true) {
    return Es((pack ? PackHeader(0) : "") + navs + Video + Seq + Gop0 + Pictures(3), 4000);
};
// A wrong GOP header before the valid first GOP and after the valid last one.
const auto Around = [](const QByteArray& bad) {
    return Layout({{0, Seq + bad + Pictures(5) + GopHeader(0, 0, 1, 0) + Pictures(10)},
                   {150000, GopHeader(0, 0, 10, 0) + bad + Pictures(10)}}, 200000);
};
// The last GOP header at `at`, 9 s in, with 5 pictures 20 bytes after it.
const auto LastGop = [](qsizetype at, qsizetype size = 250000) {
    return Layout({{0, Seq + Gop0 + Pictures(5)}, {at, Gop9 + Filler(20) + Pictures(5)}}, size);
};
// Packs with the clocks `first` and `last`, `after` in the last `tail` bytes.
const auto Clock = [](qint64 first, qint64 last, qsizetype size, const QByteArray& after = {},
                      qsizetype tail = 500) {
    return Layout({{0, PackHeader(first) + Vid(Seq + Gop0 + Pictures(3))},
                   {size - 2000, PackHeader(last) + Vid(Picture())}, {size - tail, after}}, size);
};
const auto Forward = [](qsizetype packet, qsizetype at) {
    return Layout({{0, PackHeader(0)}, {packet, Video}, {at, Head352}}, 260000);
};
const auto At = [](qsizetype at, qsizetype size) { return Layout({{at, Head352}}, size); };
const auto Clear = [](QByteArray b, int at, int bits) { b[at] = char(b[at] & ~bits); return b; };
template <typename... T> QString Words(const T&... values) {
    return QStringList{QVariant(values).toString()...}.join(' ');
}
// Result, MpegType, VideoWidth, Muxed, MuxOK, DropFrame, DurationSeconds, LastGopPos, the SCR ones.
QString Summary(bool found, const StreamProperties& p) {
    return Words(int(found), p.MpegType, p.VideoWidth, p.Muxed, p.MuxOK, int(p.DropFrame != 0),
                 p.DurationSeconds, p.LastGopPos, p.ScrDurationSeconds,
                 p.ScrDurationText.isEmpty() ? "-" : p.ScrDurationText);
}

// Each after a scan of the first, whose picture properties and play time a failed scan keeps.
TEST_F(MpegScanner, HandMadeStreams) {
    const QByteArray head = PackHeader(0) + Vid(Seq + Gop0 + Pictures(5)) + Audio;
    const QByteArray gop = PackHeader(9000) + Vid(Gop9 + Pictures(4)) + Audio;
    const QByteArray ps = Es(head + PackHeader(9000) + Vid(Pictures(7)) + Audio);
    const QByteArray last = gop + PackHeader(18000) + Vid(Pictures(3));
    const QByteArray psLast = Layout({{0, head}, {200000, last}}, 250000);
    const QByteArray psBefore = Layout({{0, head}, {120000, gop}, // a picture at 150002:
        {149000, PackHeader(18000) + Vid(Filler(979) + Picture()) + Audio},
        {200000, PackHeader(27000) + Vid(Pictures(2))}}, 250000);
    const QByteArray cut11 = PackHeader(180000).left(11), cut12 = PackHeader(180000).left(12);
    const QByteArray mpeg1 = SequenceHeader(352, 288, 2, 3, false), late = PackHeader(630000);
    const QByteArray broken = Clear(late, 6, 4), codes = PackHeader(0) + Video + StartCode(0xB5);
    const qint64 top = (qint64(1) << 33) - 1;
    const std::pair<QByteArray, const char*> rows[] = {
        {Es(Seq + Gop0 + Picture(3000).repeated(12), 50000),   "1 2 720 0 0 0 0.48 33096 0 -"},
        {Es(mpeg1 + Gop0 + Pictures(5)),                         "1 1 352 0 0 0 0.2 445 0 -"},
        {Es(Seq + Pictures(3)),                                  "1 2 720 0 0 0 0 19999 0 -"},
        {QByteArray(),                                           "0 1 720 0 0 0 0.48 -1 0 -"},
        {Filler(300000),                                         "0 1 720 0 0 0 0.48 299999 0 -"},
        {codes + Gop0 + Pictures(3),   "0 2 720 1 0 0 0.48 347 0 -"}, // the extension says MPEG-2
        // In a program stream a sequence header counts up to 100 bytes behind a video packet's.
        {InPackets(100, 20),                       "1 2 352 1 0 0 0.2 1474 0 00:00:00.00"},
        {InPackets(101, 20),                       "1 2 720 1 0 0 0.2 1474 0 00:00:00.00"},
        {InPackets(150, 150),                      "0 2 720 1 0 0 0.48 4999 0 -"},
        {Nav(Nav1 + Nav2),                         "1 2 720 1 1 0 0.12 352 0 00:00:00.00"},
        {Nav(Nav1),                                "1 2 720 1 0 0 0.12 306 0 00:00:00.00"},
        {Nav(Nav1 + Nav2, false),                  "1 2 720 0 0 0 0.12 338 0 -"},
        // A non-drop time code at 29.97 counts 30 pictures to a second that lasts 1.001 s.
        {Rate(4, false, 30),                       "1 2 720 0 0 0 1 3104 0 -"},
        {Rate(4, true, 30),                        "1 2 720 0 0 1 1.001 3104 0 -"},
        {Rate(5, false, 30),                       "1 2 720 0 0 0 1 3104 0 -"},
        {Around(GopHeader(23, 0, 20, 0, true)),    "1 2 720 0 0 1 0.4 150009 0 -"},
        {Around(GopHeader(24, 0, 20, 0, true)),    "1 2 720 0 0 0 9.4 150001 0 -"},
        {Around(GopHeader(23, 0, 20, 0, true, false)), "1 2 720 0 0 0 9.4 150001 0 -"},
        {Around(GopHeader(23, 0, 20, 0, true, true, 16)), "1 2 720 0 0 0 9.4 150001 0 -"},
        // From 100000 bytes on, up to 50 blocks from the end back, the i-th 10 * i into the last.
        {LastGop(560, 99999),                      "1 2 720 0 0 0 0.4 1013 0 -"},
        {LastGop(560, 100000),                     "1 2 720 0 0 0 9.2 561 0 -"},
        {LastGop(149998),                          "1 2 720 0 0 0 9.2 149999 0 -"},
        {LastGop(120000),                          "1 2 720 0 0 0 9.2 120001 0 -"},
        {LastGop(50000, 199990),                   "1 2 720 0 0 0 9.2 50001 0 -"},
        {LastGop(112250, 5100000),                 "1 2 720 0 0 0 9.2 112251 0 -"},
        {LastGop(112249, 5100000),                 "1 2 720 0 0 0 0.2 454 0 -"},
        // Only pictures in video packets count, those in the overlap of two blocks once.
        {ps,                                       "1 2 720 1 0 0 0.48 1651 0.1 00:00:00.10"},
        {psLast,                                   "1 2 720 1 0 0 9.28 200024 0.2 00:00:00.20"},
        {psBefore,                                 "1 2 720 1 0 0 9.28 120024 0.3 00:00:00.30"},
        {Clock(0, 270000, 20000),                  "1 2 720 1 0 0 0.16 18024 3 00:00:03.00"},
        {Clock(900000, 360000, 20000),             "1 2 720 1 0 0 0.16 18024 -6 ???"},
        {Clock(90000, 90000, 20000),               "1 2 720 1 0 0 0.16 18024 0 00:00:00.00"},
        {Clock(90000, 540000, 300000),             "1 2 720 1 0 0 0.16 45 5 00:00:05.00"},
        {Clock(top - 90000, top, 20000),           "1 2 720 1 0 0 0.16 18024 1 00:00:01.00"},
        {Clock(90000, 540000, 300000, broken),     "1 2 720 1 0 0 0.16 45 5 00:00:05.00"},
        {Clock(90000, 540000, 300000, Clear(late, 4, 0x44)), "1 2 720 1 0 0 0.16 45 5 00:00:05.00"},
        {Clock(90000, 540000, 300000, Clear(late, 4, 0x40)), "1 2 720 1 0 0 0.16 45 6 00:00:06.00"},
        // The last pack of a short file counts from 11 bytes before the end on.
        {Clock(0, 90000, 20000, cut11, 11),        "1 2 720 1 0 0 0.16 18024 0 00:00:00.00"},
        {Clock(0, 90000, 20000, cut12, 12),        "1 2 720 1 0 0 0.16 18024 2 00:00:02.00"},
        // Up to ten blocks on, the k-th 10 * k bytes into the one before; a video packet's start
        // code in the block, or for a header in its first 99 bytes in the 100 bytes before.
        {At(130000, 260000),                       "1 2 352 0 0 0 0.2 130022 0 -"},
        {Forward(99890, 100010),                   "1 2 352 1 0 0 0.2 100032 0 00:00:00.00"},
        {Forward(99889, 100010),                   "0 2 720 1 0 0 0.48 259999 0 -"},
        {Forward(99940, 100088),                   "1 2 352 1 0 0 0.2 100110 0 00:00:00.00"},
        {Forward(99940, 100089),                   "0 2 720 1 0 0 0.48 259999 0 -"},
        {At(1000000, 1200000),                     "1 2 352 0 0 0 0.2 1000022 0 -"},
        {At(1099950, 1200000),                     "0 1 720 0 0 0 0.48 1199999 0 -"},
        // clang-format on
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        StreamProperties p;
        ASSERT_TRUE(ScanMpegHeaders(Write("video.mpg", rows[0].first), p));
        const bool found = ScanMpegHeaders(Write("video.mpg", rows[i].first), p);
        EXPECT_EQ(Words(Summary(found, p), found || p.VideoHeight == 576, p.FileSizeBytes),
                  Words(rows[i].second, true, rows[i].first.size()))
            << "row " << i;
    }
    // Sparse program streams: offsets past 4 GiB, the size in MB rounded half to even.
    const QByteArray start = PackHeader(0) + Vid(Seq + Gop0 + Pictures(12));
    const QByteArray end = PackHeader(100 * 90000) + Vid(GopHeader(0, 1, 40, 0) + Pictures(12));
    const std::pair<qint64, int> large[] = {
        {qint64(5) << 30, 5120}, {(qint64(1) << 32) + 1572864, 4098}, {1572864, 2}, {2621440, 2}};
    for (const auto& [size, mb] : large) {
        ASSERT_TRUE(MakeSparseFile(dir.filePath("large.mpg"), size, start, end));
        StreamProperties p;
        const bool found = ScanMpegHeaders(dir.filePath("large.mpg"), p);
        EXPECT_EQ(Words(Summary(found, p), p.FileSizeBytes, p.FileSizeMB, p.DurationText),
                  Words("1 2 720 1 0 0 100.48", size - end.size() + 24, "100 00:01:40.00", size, mb,
                        "00:01:40.48"));
    }
}

} // namespace
