#include "support/DecoderSupport.h"
#include "support/TestSupport.h"
#include "viewer/Mpeg2Decoder.h"

#include <QFile>
#include <QHashFunctions>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace {

struct Picture {
    quint64 hash = 0;
    char type = '?';
    qint64 positionBefore = 0;
};

quint64 HashOf(const uchar* bytes, const TVideoFrameInfo& info) {
    return qHashBits(bytes, size_t(info.Width) * size_t(info.Height) * 3, 0);
}

qint64 PositionOf(const Mpeg2Decoder& decoder) {
    TVideoFileInfo info;
    decoder.GetMPEG2FileInfo(&info);
    return info.Position;
}

// Every picture of the file in order, from a seek to byte 0 until the position stops changing.
std::vector<Picture> DecodeAll(const QString& path) {
    Mpeg2Decoder decoder;
    std::vector<Picture> pictures;
    if (!OpenTestDecoder(decoder, path))
        return pictures;
    decoder.MPEG2Seek(0);
    TVideoFrameInfo info;
    decoder.GetMPEG2FrameInfo(&info);
    qint64 previous = -1;
    for (int guard = 0; guard < 100000; ++guard) {
        const qint64 pos = PositionOf(decoder);
        const uchar* bytes = decoder.GetMPEG2Frame();
        if (!bytes || pos == previous)
            break;
        pictures.push_back({HashOf(bytes, info), decoder.LastPictureType(), pos});
        previous = pos;
    }
    return pictures;
}

// 0-based offsets of every GOP header of the file.
std::vector<qint64> GopHeaders(const QByteArray& file) {
    std::vector<qint64> offsets;
    for (qsizetype i = file.indexOf(QByteArray::fromHex("000001B8")); i >= 0;
         i = file.indexOf(QByteArray::fromHex("000001B8"), i + 1))
        offsets.push_back(i);
    return offsets;
}

// What a decoder shows from a seek on: the position (asked before the seek too when `askFirst`),
// the picture type before any picture, then each of four pictures with its size and type and the
// position after it (not after the last one, as a GOP step leaves it).
std::vector<qint64> SeekTrace(Mpeg2Decoder& decoder, qint64 target, bool askFirst) {
    std::vector<qint64> trace;
    if (askFirst)
        trace.push_back(PositionOf(decoder));
    decoder.MPEG2Seek(target);
    trace.insert(trace.end(), {PositionOf(decoder), decoder.LastPictureType()});
    TVideoFrameInfo info;
    for (int i = 0; i < 4; ++i) {
        const uchar* bytes = decoder.GetMPEG2Frame();
        decoder.GetMPEG2FrameInfo(&info);
        trace.insert(trace.end(), {bytes ? qint64(HashOf(bytes, info)) : -1, info.Width,
                                   info.Height, decoder.LastPictureType()});
        if (i < 3)
            trace.push_back(PositionOf(decoder));
    }
    return trace;
}

// Closes `kept`, reopens it on `path` and seeks: it must show what a new decoder shows for the
// same calls. Odd rounds turn the range stretch off.
void ExpectReopenedLikeNew(Mpeg2Decoder& kept, const QString& path, qint64 target, int round) {
    const int scale = round % 2;
    kept.CloseMPEG2File();
    // Closed, it neither seeks nor decodes.
    kept.MPEG2Seek(target);
    kept.GetMPEG2Frame();
    EXPECT_EQ(PositionOf(kept), 0);
    ASSERT_TRUE(OpenTestDecoder(kept, path, scale));
    Mpeg2Decoder fresh;
    ASSERT_TRUE(OpenTestDecoder(fresh, path, scale));
    EXPECT_EQ(SeekTrace(kept, target, round % 3 == 0), SeekTrace(fresh, target, round % 3 == 0))
        << path.toStdString() << " seek to " << target << " round " << round;
}

struct VideoCase {
    const char* name;
    int width;
    int height;
    bool programStream;
};

// Test names and failure messages show the video's name.
void PrintTo(const VideoCase& v, std::ostream* os) {
    *os << v.name;
}

class DecoderVideos : public ::testing::TestWithParam<VideoCase> {};

TEST_P(DecoderVideos, SeekingToEveryGopGivesItsIPicture) {
    const VideoCase& v = GetParam();
    const QString path = TestVideo(QString::fromLatin1(v.name));
    const std::vector<Picture> sequence = DecodeAll(path);
    ASSERT_GT(sequence.size(), 20u) << v.name;
    std::vector<quint64> iPictures;
    for (const Picture& p : sequence)
        if (p.type == 'I')
            iPictures.push_back(p.hash);
    const std::vector<qint64> gops = GopHeaders(ReadAll(path));
    ASSERT_EQ(gops.size(), iPictures.size()) << "one I-picture per GOP";

    Mpeg2Decoder decoder;
    ASSERT_TRUE(OpenTestDecoder(decoder, path));
    TVideoFrameInfo info;
    decoder.GetMPEG2FrameInfo(&info);
    EXPECT_EQ(info.Width, v.width);
    EXPECT_EQ(info.Height, v.height);
    for (size_t g = 0; g < gops.size(); ++g) {
        std::vector<qint64> targets{gops[g]};
        if (v.programStream && gops[g] > 300)
            targets.push_back(gops[g] - 256);
        for (qint64 target : targets) {
            decoder.CloseMPEG2File();
            ASSERT_TRUE(OpenTestDecoder(decoder, path));
            decoder.MPEG2Seek(target);
            const qint64 after = PositionOf(decoder);
            const uchar* bytes = decoder.GetMPEG2Frame();
            ASSERT_NE(bytes, nullptr);
            EXPECT_EQ(HashOf(bytes, info), iPictures[g])
                << v.name << " GOP " << g << " at " << target;
            // The position after the seek already lies in that GOP.
            EXPECT_GE(after, gops[g]) << v.name << " GOP " << g;
            if (g + 1 < gops.size()) {
                EXPECT_LT(after, gops[g + 1]) << v.name << " GOP " << g;
            }
        }
    }
}

TEST_P(DecoderVideos, PositionsGrowPerPictureAndStopAtTheEnd) {
    const VideoCase& v = GetParam();
    const std::vector<Picture> sequence = DecodeAll(TestVideo(QString::fromLatin1(v.name)));
    ASSERT_GT(sequence.size(), 20u);
    for (size_t i = 1; i < sequence.size(); ++i)
        ASSERT_GT(sequence[i].positionBefore, sequence[i - 1].positionBefore) << i;

    Mpeg2Decoder decoder;
    ASSERT_TRUE(OpenTestDecoder(decoder, TestVideo(QString::fromLatin1(v.name))));
    decoder.MPEG2Seek(0);
    for (size_t i = 0; i < sequence.size(); ++i)
        decoder.GetMPEG2Frame();
    const qint64 end1 = PositionOf(decoder);
    const uchar* last1 = decoder.GetMPEG2Frame();
    const qint64 end2 = PositionOf(decoder);
    const uchar* last2 = decoder.GetMPEG2Frame();
    EXPECT_EQ(end1, end2);
    TVideoFrameInfo info;
    decoder.GetMPEG2FrameInfo(&info);
    ASSERT_TRUE(last1 && last2);
    EXPECT_EQ(HashOf(last2, info), sequence.back().hash);
}

// The decoder keeps the open file over a close: whatever it did before, a reopen and a seek show
// what a new decoder shows (the end of the stream reached, the range setting changed between).
TEST_P(DecoderVideos, ReopenedDecoderShowsWhatANewOneShows) {
    const QString path = TestVideo(QString::fromLatin1(GetParam().name));
    const std::vector<qint64> gops = GopHeaders(ReadAll(path));
    ASSERT_GT(gops.size(), 3u);
    const qint64 size = QFile(path).size();
    Mpeg2Decoder kept;
    int round = 0;
    for (qint64 target : {gops[gops.size() / 2], size + 1000, gops[1], qint64(0), gops.back() + 100,
                          gops[gops.size() / 3] - 256, size - 1, gops[2] + 3000})
        ExpectReopenedLikeNew(kept, path, target, round++);
}

TEST_P(DecoderVideos, RandomSeeksNeverGiveABrokenPicture) {
    const VideoCase& v = GetParam();
    const QString path = TestVideo(QString::fromLatin1(v.name));
    const std::vector<Picture> sequence = DecodeAll(path);
    std::set<quint64> known;
    for (const Picture& p : sequence)
        known.insert(p.hash);
    const qint64 size = QFile(path).size();
    QRandomGenerator random(4711);
    Mpeg2Decoder decoder;
    TVideoFrameInfo info;
    for (int i = 0; i < 40; ++i) {
        const qint64 target = qint64(random.bounded(double(size) + 1000.0));
        decoder.CloseMPEG2File();
        ASSERT_TRUE(OpenTestDecoder(decoder, path));
        decoder.GetMPEG2FrameInfo(&info);
        decoder.MPEG2Seek(target);
        for (int step = 0; step < 3; ++step) {
            const uchar* bytes = decoder.GetMPEG2Frame();
            ASSERT_NE(bytes, nullptr);
            EXPECT_TRUE(known.count(HashOf(bytes, info)))
                << v.name << " seek to " << target << " picture " << step;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, DecoderVideos,
                         ::testing::Values(VideoCase{"pal.m2v", 720, 576, false},
                                           VideoCase{"pal.mpg", 720, 576, true},
                                           VideoCase{"pal_dvd.vob", 720, 576, true},
                                           VideoCase{"ntsc_df.mpg", 720, 480, true},
                                           VideoCase{"wide.mpg", 720, 576, true},
                                           VideoCase{"ponly.vob", 720, 576, true},
                                           VideoCase{"film.m2v", 720, 480, false},
                                           VideoCase{"oneseq.m2v", 720, 576, false},
                                           VideoCase{"mpeg1.mpg", 352, 288, true}),
                         [](const auto& info) {
                             QString name = QString::fromLatin1(info.param.name);
                             return name.replace(u'.', u'_').toStdString();
                         });

// The first picture against the ffmpeg command's own conversion of it: same orientation (last
// row first), same byte order (blue, green, red), same studio-range stretch.
TEST(Decoder, PictureIsBottomUpBgrLikeFfmpegDecodesIt) {
    const QString path = TestVideo(QStringLiteral("pal.m2v"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                  QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-vf"),
                  QStringLiteral("vflip"), QStringLiteral("-pix_fmt"), QStringLiteral("bgr24"),
                  QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-")});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000));
    const QByteArray reference = ffmpeg.readAllStandardOutput();
    ASSERT_EQ(reference.size(), 720 * 576 * 3);

    Mpeg2Decoder decoder;
    ASSERT_TRUE(OpenTestDecoder(decoder, path));
    decoder.MPEG2Seek(0);
    const uchar* ours = decoder.GetMPEG2Frame();
    ASSERT_NE(ours, nullptr);
    double difference = 0;
    for (int i = 0; i < reference.size(); ++i)
        difference += std::abs(int(ours[i]) - int(quint8(reference[i])));
    // Chroma interpolation differs a little; a flipped, mirrored or channel-swapped picture
    // differs by tens of levels on average.
    EXPECT_LT(difference / reference.size(), 3.0);
}

TEST(Decoder, ScaleFlagStretchesStudioRange) {
    const QString path = TestVideo(QStringLiteral("pal.m2v"));
    auto firstPicture = [&](int scale) {
        Mpeg2Decoder decoder;
        OpenTestDecoder(decoder, path, scale);
        decoder.MPEG2Seek(0);
        const uchar* bytes = decoder.GetMPEG2Frame();
        return bytes ? QByteArray(reinterpret_cast<const char*>(bytes), 720 * 576 * 3)
                     : QByteArray();
    };
    const QByteArray stretched = firstPicture(1);
    const QByteArray plain = firstPicture(0);
    ASSERT_EQ(stretched.size(), plain.size());
    ASSERT_NE(stretched, plain);
    const auto [minS, maxS] = std::minmax_element(
        stretched.begin(), stretched.end(), [](char a, char b) { return quint8(a) < quint8(b); });
    const auto [minP, maxP] = std::minmax_element(
        plain.begin(), plain.end(), [](char a, char b) { return quint8(a) < quint8(b); });
    EXPECT_LE(quint8(*minS), quint8(*minP));
    EXPECT_GE(quint8(*maxS), quint8(*maxP));
}

class DecoderBadInput : public TempFolderTest {
protected:
    // Opening, seeking all over and stepping must not crash; returns the pictures' count.
    static int Exercise(const QString& path) {
        Mpeg2Decoder decoder;
        OpenTestDecoder(decoder, path);
        int pictures = 0;
        const qint64 size = QFile(path).size();
        for (qint64 target : {qint64(0), size / 3, size / 2, size - 1, size + 100}) {
            decoder.MPEG2Seek(target);
            for (int i = 0; i < 5; ++i)
                pictures += decoder.GetMPEG2Frame() != nullptr;
        }
        decoder.CloseMPEG2File();
        decoder.MPEG2Seek(0);
        pictures += decoder.GetMPEG2Frame() != nullptr;
        return pictures;
    }
};

TEST_F(DecoderBadInput, BrokenAndTruncatedFilesDoNotCrash) {
    const QByteArray pal = ReadAll(TestVideo(QStringLiteral("pal.mpg")));
    const QByteArray es = ReadAll(TestVideo(QStringLiteral("pal.m2v")));
    ASSERT_GT(pal.size(), 1000000);
    QByteArray damaged = es;
    QRandomGenerator random(99);
    for (int i = 0; i < 2000; ++i)
        damaged[random.bounded(damaged.size())] = char(random.bounded(256));
    QByteArray onlyHeaders = es.left(es.indexOf(QByteArray::fromHex("00000100")));

    EXPECT_GT(Exercise(Write(QStringLiteral("cut.mpg"), pal.left(pal.size() / 2 + 1234))), 0);
    EXPECT_GT(Exercise(Write(QStringLiteral("damaged.m2v"), damaged)), 0);
    // Headers but no picture: black pictures of the known size.
    EXPECT_GT(Exercise(Write(QStringLiteral("headers.m2v"), onlyHeaders)), 0);
    // Nothing known about the picture: no picture at all, and no crash.
    EXPECT_EQ(Exercise(TestVideo(QStringLiteral("notmpeg.bin"))), 0);
    EXPECT_EQ(Exercise(Write(QStringLiteral("empty.mpg"), {})), 0);
    EXPECT_EQ(Exercise(dir.filePath(QStringLiteral("missing.mpg"))), 0);
    EXPECT_EQ(Exercise(dir.path()), 0);
    // The first pack alone still names the picture size.
    EXPECT_GT(Exercise(Write(QStringLiteral("start.mpg"), pal.left(3000))), 0);
}

// A file rewritten in place or replaced between a close and an open is decoded as the new file.
TEST_F(DecoderBadInput, FileChangedBetweenCloseAndOpenIsOpenedAnew) {
    const QByteArray pal = ReadAll(TestVideo(QStringLiteral("pal.m2v")));
    const QByteArray film = ReadAll(TestVideo(QStringLiteral("film.m2v")));
    const QByteArray palPs = ReadAll(TestVideo(QStringLiteral("pal.mpg")));
    ASSERT_GT(palPs.size(), film.size());
    const QString path = Write(QStringLiteral("video.mpg"), pal);
    Mpeg2Decoder kept;
    ASSERT_TRUE(OpenTestDecoder(kept, path));
    SeekTrace(kept, film.size() / 2, false);
    ASSERT_TRUE(WriteAll(path, film));
    ExpectReopenedLikeNew(kept, path, film.size() / 2, 0);
    // As many bytes as before, in a new file put in the old one's place.
    const QString replacement = Write(QStringLiteral("new.mpg"), palPs.left(film.size()));
    ASSERT_TRUE(QFile::remove(path) && QFile::rename(replacement, path));
    ExpectReopenedLikeNew(kept, path, film.size() / 2, 2);
    // Two videos in one stream: having met the second one's headers, the decoder still seeks to a
    // GOP header past them like a new one.
    const QString joined = Write(QStringLiteral("joined.m2v"), pal + film);
    ASSERT_TRUE(OpenTestDecoder(kept, joined));
    SeekTrace(kept, pal.size(), false);
    ExpectReopenedLikeNew(kept, joined, pal.size() + GopHeaders(film)[2], 1);
}

TEST_F(DecoderBadInput, UnopenedDecoderAnswersSafely) {
    Mpeg2Decoder decoder;
    TVideoFrameInfo frame;
    decoder.GetMPEG2FrameInfo(&frame);
    EXPECT_EQ(frame.Width, 0);
    decoder.MPEG2Seek(1000);
    EXPECT_EQ(decoder.GetMPEG2Frame(), nullptr);
    TVideoFileInfo file;
    decoder.GetMPEG2FileInfo(&file);
    EXPECT_EQ(file.Position, 0);
    EXPECT_EQ(decoder.OpenMPEG2File(nullptr, 0, -10000), -1);
}

} // namespace
