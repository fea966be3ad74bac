#include "support/DecoderSupport.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

using Decoder = TempFolderTest;
using Strings = std::vector<std::string>;

// ffmpeg's decoding: each picture's MD5 as top-down rows of `format`, studio range stretched.
Strings Ffmpeg(const char* name, const char* format = "bgr24", bool stretch = true,
               const char* scale = "flags=neighbor") {
    QProcess run;
    run.start("ffmpeg",
              {"-v", "error", "-i", TestVideo(name), "-an", "-fps_mode", "passthrough", "-vf",
               QStringLiteral("scale=%3:in_range=%1,format=%2")
                   .arg(stretch ? "limited" : "full", format, scale),
               "-f", "framemd5", "-"});
    run.waitForFinished(300000);
    Strings lines;
    for (const QByteArray& line : run.readAllStandardOutput().split('\n'))
        if (!line.isEmpty() && !line.startsWith('#'))
            lines.push_back(line.split(',').at(5).trimmed().toStdString());
    return lines;
}

// ffprobe's byte offset of the packet each picture comes from, in the order they are shown.
std::vector<qint64> PacketOffsets(const char* name) {
    QProcess run;
    run.start("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries", "frame=pkt_pos",
                          "-of", "csv=p=0", TestVideo(name)});
    run.waitForFinished(300000);
    std::vector<qint64> offsets;
    for (const QByteArray& line : run.readAllStandardOutput().split('\n'))
        if (!line.trimmed().isEmpty())
            offsets.push_back(line.split(',').at(0).toLongLong());
    return offsets;
}

// MD5 of a picture as top-down rows; 24-bit pictures come last row first.
std::string Md5(const uchar* bytes, const TVideoFrameInfo& size, int pixel = 3) {
    QCryptographicHash hash(QCryptographicHash::Md5);
    const qsizetype row = qsizetype(size.Width) * pixel;
    for (int y = 0; bytes && y < size.Height; ++y)
        hash.addData(QByteArrayView(bytes + (pixel == 4 ? y : size.Height - 1 - y) * row, row));
    return hash.result().toHex().toStdString();
}

qint64 PositionOf(const Mpeg2Decoder& decoder) {
    TVideoFileInfo info;
    decoder.GetMPEG2FileInfo(&info);
    return info.Position;
}

std::vector<qint64> GopOffsets(const QByteArray& bytes) {
    std::vector<qint64> gops;
    for (qsizetype i = -1; (i = bytes.indexOf(QByteArray::fromHex("000001B8"), i + 1)) >= 0;)
        gops.push_back(i);
    return gops;
}

// Closed, `kept` neither seeks nor decodes; reopened, from a seek on it shows what a new one shows
// (no position after the last picture, as a GOP step leaves it). With the range stretched (odd
// rounds) every picture is one of `known`: none is decoded in part.
void ExpectReopenedLikeNew(Mpeg2Decoder& kept, const QString& path, qint64 target, int round,
                           const Strings& known = {}) {
    kept.CloseMPEG2File();
    kept.MPEG2Seek(target);
    kept.GetMPEG2Frame();
    EXPECT_EQ(PositionOf(kept), 0);
    Mpeg2Decoder fresh;
    ASSERT_TRUE(OpenTestDecoder(kept, path, round % 2) && OpenTestDecoder(fresh, path, round % 2));
    Strings traces[2];
    for (Mpeg2Decoder* decoder : {&kept, &fresh}) {
        Strings& trace = traces[decoder == &fresh];
        for (int i = -1; i < 4; ++i) {
            TVideoFrameInfo info;
            if (i == -1)
                decoder->MPEG2Seek(target);
            const uchar* bytes = i >= 0 ? decoder->GetMPEG2Frame() : nullptr;
            decoder->GetMPEG2FrameInfo(&info);
            trace.insert(trace.end(), {i >= 0 ? Md5(bytes, info) : "",
                                       {decoder->LastPictureType()},
                                       i < 3 ? std::to_string(PositionOf(*decoder)) : ""});
            EXPECT_TRUE(i < 0 || round % 2 == 0 || known.empty() ||
                        std::count(known.begin(), known.end(), trace[trace.size() - 3]));
        }
    }
    EXPECT_EQ(traces[0], traces[1]) << path.toStdString() << " at " << target << " round " << round;
}

// Every picture as ffmpeg decodes it, the position growing before each, at the picture's own
// packet or beyond after it and standing still after the last; a seek to a GOP header (in a program
// stream also 256 bytes before it) gives its I-picture, the position in that GOP; a reopen and a
// seek anywhere show what a new decoder shows.
TEST_F(Decoder, EveryVideoAsFfmpegDecodesIt) {
    QRandomGenerator random(4711);
    const char* const names[] = {"pal.m2v",     "pal.m2v",   "pal.mpg",   "pal_dvd.vob",
                                 "ntsc_df.mpg", "wide.mpg",  "ponly.vob", "film.m2v",
                                 "oneseq.m2v",  "mpeg1.mpg", "pal422.m2v"};
    for (int row = 0; row < int(std::size(names)); ++row) {
        const char* name = names[row];
        const bool stretch = row > 0; // pal.m2v first without
        const Strings ref = Ffmpeg(name, "bgr24", stretch);
        const std::vector<qint64> packets = PacketOffsets(name);
        std::string types; // the decoder's picture types: I and P only in ponly.vob
        Mpeg2Decoder decoder;
        TVideoFrameInfo info;
        ASSERT_TRUE(ref.size() > 20 && OpenTestDecoder(decoder, TestVideo(name), stretch)) << name;
        decoder.GetMPEG2FrameInfo(&info);
        decoder.MPEG2Seek(0);
        qint64 position = -1;
        for (size_t i = 0; i < ref.size(); ++i) {
            ASSERT_GT(PositionOf(decoder), position) << name << i;
            position = PositionOf(decoder);
            ASSERT_EQ(Md5(decoder.GetMPEG2Frame(), info), ref[i]) << name << i << stretch;
            types += decoder.LastPictureType();
            // After a picture the position stands at its own packet or beyond.
            EXPECT_GE(PositionOf(decoder), packets.at(i)) << name << i;
        }
        EXPECT_EQ(types.find('B') == std::string::npos, row == 6) << name;
        EXPECT_EQ(Md5(decoder.GetMPEG2Frame(), info) + std::to_string(PositionOf(decoder)),
                  ref.back() + std::to_string(position));
        const std::vector<qint64> gops = GopOffsets(ReadAll(TestVideo(name)));
        const qint64 size = QFile(TestVideo(name)).size(), half = gops[gops.size() / 2];
        EXPECT_EQ(std::count(types.begin(), types.end(), 'I'), qsizetype(gops.size())) << name;
        for (size_t i = 0, g = 0; i < ref.size() && stretch; ++i) {
            if (types[i] != 'I')
                continue;
            const qint64 gop = gops.at(g++), next = g < gops.size() ? gops[g] : size;
            for (qint64 target :
                 {gop, gop - (QByteArray(name).endsWith(".m2v") || g == 1 ? 0 : 256)}) {
                decoder.CloseMPEG2File();
                ASSERT_TRUE(OpenTestDecoder(decoder, TestVideo(name)));
                decoder.MPEG2Seek(target);
                const qint64 after = PositionOf(decoder);
                EXPECT_EQ(Md5(decoder.GetMPEG2Frame(), info), ref[i]) << name << " at " << target;
                EXPECT_TRUE(after >= gop && after <= next) << name << " at " << target;
            }
        }
        const qint64 targets[] = {half,       size + 1000, gops[1],       0, gops.back() + 100,
                                  half - 256, size - 1,    gops[2] + 3000};
        for (int round = 0; round < 20 && stretch; ++round)
            ExpectReopenedLikeNew(decoder, TestVideo(name),
                                  round < 8 ? targets[round] : qint64(random.bounded(double(size))),
                                  round, ref);
    }
}

} // namespace
