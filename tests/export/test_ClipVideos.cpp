// Clips of the generated videos: where they start, what they hold and that they decode.
#include "export/ClipExtract.h"

#include "stream/MpegBytes.h"
#include "stream/MpegScanner.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace MpegBytes;

QList<qsizetype> Offsets(const QByteArray& bytes, const QByteArray& code) {
    QList<qsizetype> found;
    for (qsizetype i = bytes.indexOf(code); i >= 0; i = bytes.indexOf(code, i + 1))
        found += i;
    return found;
}

// The pack header in front of the sequence header in front of the GOP at `gop`, found over the
// whole file.
qsizetype PackBeforeGop(const QByteArray& bytes, qsizetype gop) {
    const qsizetype sequence = bytes.lastIndexOf(SeqCode, gop - SeqCode.size());
    return sequence < 0 ? -1 : bytes.lastIndexOf(PackCode, sequence - PackCode.size());
}

// The system clock reference base of the pack header at `at`, bit by bit as ISO 13818-1 lays it
// out.
qint64 ScrAt(const QByteArray& bytes, qsizetype at) {
    const auto b = [&](int i) { return qint64(quint8(bytes[at + i])); };
    return ((b(4) >> 3) & 7) << 30 | (b(4) & 3) << 28 | b(5) << 20 | (b(6) >> 3) << 15 |
           (b(6) & 3) << 13 | b(7) << 5 | b(8) >> 3;
}

struct Probe {
    QString codec;
    qint64 frames = -1;
};

Probe FfprobeVideo(const QString& path) {
    QProcess ffprobe;
    ffprobe.start("ffprobe", {"-v", "error", "-count_frames", "-show_streams", path});
    Probe probe;
    if (!ffprobe.waitForFinished(120000))
        return probe;
    for (const QString& line : QString::fromUtf8(ffprobe.readAllStandardOutput()).split('\n')) {
        if (line.startsWith("codec_name=") && probe.codec.isEmpty())
            probe.codec = line.mid(11);
        if (line.startsWith("nb_read_frames=") && probe.frames < 0)
            probe.frames = line.mid(15).toLongLong();
    }
    return probe;
}

ClipSource ScannedSource(const QString& path, const QByteArray& header = {}) {
    StreamProperties props;
    EXPECT_TRUE(ScanMpegHeaders(path, props)) << path.toStdString();
    ClipSource source;
    source.path = path;
    source.streamHeader = header;
    source.muxed = props.Muxed;
    source.durationSeconds = props.DurationSeconds;
    source.scrDurationSeconds = props.ScrDurationSeconds;
    source.frameRate = props.FrameRate;
    return source;
}

// Checks a clip cut from `source` at `start` (after `header`): the source's own bytes in whole
// blocks (unless the file ended), decodable with at least `pictures` pictures (unless it ended).
void ExpectDecodableClip(const QString& clip, const QByteArray& source, qint64 start,
                         const QByteArray& header, qint32 pictures) {
    const QByteArray bytes = ReadAll(clip);
    ASSERT_TRUE(bytes.startsWith(header));
    const qint64 copied = bytes.size() - header.size();
    EXPECT_EQ(bytes.mid(header.size()), source.mid(start, copied));
    const bool toEnd = start + copied == source.size();
    EXPECT_TRUE(copied % Block == 0 || toEnd) << copied;
    const Probe probe = FfprobeVideo(clip);
    EXPECT_EQ(probe.codec, "mpeg2video");
    EXPECT_GE(probe.frames, toEnd ? 1 : pictures) << "clip from " << start;
}

TEST(FindClipStart, FindsThePackBeforeTheSequenceHeaderOfRealGops) {
    QTemporaryDir dir;
    // tones.vob: its audio holds more picture-code bytes than its video has pictures; with the
    // pack clock left out the picture count alone decides the length. A clip of 3 s is asked as
    // Save current asks it (20 pictures more) and must decode to at least 3 s.
    const struct {
        const char* name;
        qint32 pictures;
        qint32 decoded;
        bool clock;
    } videos[] = {{"pal.mpg", 270, 270, true},
                  {"pal_dvd.vob", 270, 270, true},
                  {"tones.vob", 3 * 25 + 20, 3 * 25, false}};
    for (const auto& [name, pictures, decoded, clock] : videos) {
        const QString path = TestVideo(name);
        const QByteArray bytes = ReadAll(path);
        const QList<qsizetype> gops = Offsets(bytes, GopCode);
        ASSERT_GT(gops.size(), 3) << name;
        const qsizetype firstFar =
            *std::find_if(gops.begin(), gops.end(), [](qsizetype g) { return g + 1 > Block; });
        for (const qsizetype gop : {gops.first(), firstFar, gops[gops.size() / 2], gops.last()}) {
            SCOPED_TRACE(QString("%1 GOP at %2").arg(name).arg(gop).toStdString());
            const ClipStart found = FindClipStart(path, gop + 1, "00:00:05.000");
            ASSERT_FALSE(found.gopNotFound);
            ASSERT_EQ(found.offset, PackBeforeGop(bytes, gop));
            EXPECT_EQ(found.clipStartScr, ScrAt(bytes, found.offset));

            ClipSource source = ScannedSource(path);
            source.clipStartScr = found.clipStartScr.value_or(0);
            if (!clock)
                source.scrDurationSeconds = source.durationSeconds + 1;
            const QString clip = dir.filePath("clip.vob");
            ASSERT_TRUE(ExtractClip(pictures, found.offset, source, clip));
            EXPECT_TRUE(ReadAll(clip).startsWith(PackCode));
            ExpectDecodableClip(clip, bytes, found.offset, {}, decoded);
        }
    }
}

TEST(ExtractClip, ElementaryClipsStartWithTheStreamHeaderUnlessAtByteZero) {
    QTemporaryDir dir;
    // oneseq.m2v has its only sequence header at the start: a later clip decodes only with it.
    for (const char* name : {"pal.m2v", "oneseq.m2v"}) {
        const QString path = TestVideo(name);
        const QByteArray bytes = ReadAll(path);
        const QByteArray header = bytes.left(bytes.indexOf(GopCode));
        const qsizetype middleGop = Offsets(bytes, GopCode)[10];
        for (const qsizetype start : {qsizetype(0), middleGop}) {
            SCOPED_TRACE(QString("%1 from %2").arg(name).arg(start).toStdString());
            const QString clip = dir.filePath("clip.vob");
            ASSERT_TRUE(ExtractClip(270, start, ScannedSource(path, header), clip));
            ExpectDecodableClip(clip, bytes, start, start == 0 ? QByteArray() : header, 270);
        }
    }
}

TEST(ClipExtraction, WorksOnVideoAbove4GiB) {
    QTemporaryDir dir;
    const QByteArray video = ReadAll(TestVideo("pal.mpg"));
    const qint64 size = (qint64(1) << 32) + 777777 + video.size();
    const qint64 videoAt = size - video.size();
    const QString path = dir.filePath("big.vob");
    ASSERT_TRUE(MakeSparseFile(path, size, {}, video));

    const qsizetype gop = Offsets(video, GopCode)[1];
    const ClipStart found = FindClipStart(path, videoAt + gop + 1, "00:00:05.000");
    ASSERT_FALSE(found.gopNotFound);
    const qsizetype pack = PackBeforeGop(video, gop);
    EXPECT_EQ(found.offset, videoAt + pack);
    EXPECT_EQ(found.clipStartScr, ScrAt(video, pack));

    ClipSource source = ScannedSource(TestVideo("pal.mpg"));
    source.path = path;
    source.clipStartScr = found.clipStartScr.value_or(0);
    const QString clip = dir.filePath("clip.vob");
    ASSERT_TRUE(ExtractClip(270, found.offset, source, clip));
    const QByteArray bytes = ReadAll(clip);
    ASSERT_GE(bytes.size(), Block);
    EXPECT_EQ(bytes, video.mid(pack, bytes.size()));
    EXPECT_TRUE(bytes.count(StartCode(0x00)) >= 270 || pack + bytes.size() == video.size());
}

} // namespace
