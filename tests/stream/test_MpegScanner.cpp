#include "stream/MpegBytes.h"
#include "stream/MpegScanner.h"
#include "stream/ScannerBytes.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace MpegBytes;

namespace {

constexpr qsizetype Block = 100000;

// ---- What ffprobe says about a file --------------------------------------------------------

struct Probe {
    qint64 size = 0;
    QString formatName;
    double formatDuration = 0;
    QString codec;
    int width = 0;
    int height = 0;
    double frameRate = 0;
    QString displayAspect;
    qint64 frames = 0;
};

double Ratio(const QString& text) {
    const QStringList parts = text.split('/');
    return parts.size() == 2 ? parts[0].toDouble() / parts[1].toDouble() : text.toDouble();
}

std::optional<Probe> RunFfprobe(const QString& path) {
    QProcess process;
    process.start("ffprobe", {"-v", "error", "-count_frames", "-show_streams", "-show_format",
                              "-of", "json", path});
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    const QJsonObject root = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    const QJsonObject format = root["format"].toObject();
    Probe probe;
    probe.size = format["size"].toString().toLongLong();
    probe.formatName = format["format_name"].toString();
    probe.formatDuration = format["duration"].toString().toDouble();
    for (const QJsonValue& value : root["streams"].toArray()) {
        const QJsonObject stream = value.toObject();
        if (stream["codec_type"].toString() != "video")
            continue;
        probe.codec = stream["codec_name"].toString();
        probe.width = stream["width"].toInt();
        probe.height = stream["height"].toInt();
        probe.frameRate = Ratio(stream["r_frame_rate"].toString());
        probe.displayAspect = stream["display_aspect_ratio"].toString();
        probe.frames = stream["nb_read_frames"].toString().toLongLong();
        return probe;
    }
    return std::nullopt;
}

// ---- An independent look at the bytes ------------------------------------------------------

struct Gop {
    qint64 offset = -1; // 0-based in the file
    bool dropFrame = false;
    int hours = 0, minutes = 0, seconds = 0, pictures = 0;
};

// Every GOP header of `bytes` whose marker bit is set, reserved bits clear and hours below 24.
QList<Gop> ValidGops(const QByteArray& bytes) {
    static const QByteArray code = QByteArray::fromHex("000001b8");
    QList<Gop> gops;
    for (qsizetype at = bytes.indexOf(code); at >= 0; at = bytes.indexOf(code, at + 1)) {
        if (at + 8 > bytes.size())
            break;
        quint32 w = 0;
        for (int i = 4; i < 8; ++i)
            w = (w << 8) | quint8(bytes[at + i]);
        Gop g;
        g.offset = at;
        g.dropFrame = w >> 31;
        g.hours = (w >> 26) & 0x1F;
        g.minutes = (w >> 20) & 0x3F;
        g.seconds = (w >> 13) & 0x3F;
        g.pictures = (w >> 7) & 0x3F;
        if (((w >> 19) & 1) && (w & 0x1F) == 0 && g.hours < 24)
            gops << g;
    }
    return gops;
}

qsizetype CountPictures(const QByteArray& bytes, qsizetype from) {
    static const QByteArray code = QByteArray::fromHex("00000100");
    qsizetype n = 0;
    for (qsizetype at = bytes.indexOf(code, from); at >= 0; at = bytes.indexOf(code, at + 1))
        ++n;
    return n;
}

// GOP play time by the time-code rule: time code of the last GOP plus the pictures after it,
// minus the first time code, the pictures counted at `fps`.
double TimeCodeSeconds(const QByteArray& bytes, double fps) {
    const QList<Gop> gops = ValidGops(bytes);
    const auto seconds = [fps](const Gop& g, qsizetype extra) {
        return g.hours * 3600.0 + g.minutes * 60.0 + g.seconds + (g.pictures + extra) / fps;
    };
    return seconds(gops.last(), CountPictures(bytes, gops.last().offset)) -
           seconds(gops.first(), 0);
}

// In a program stream a sequence header counts only close behind a video-packet start code.
qsizetype FirstUsableSequenceHeader(const QByteArray& block, bool programStream) {
    static const QByteArray seq = QByteArray::fromHex("000001b3");
    static const QByteArray video = QByteArray::fromHex("000001e0");
    for (qsizetype at = block.indexOf(seq); at >= 0; at = block.indexOf(seq, at + 1)) {
        const qsizetype packet = block.lastIndexOf(video, at);
        if (!programStream || (packet >= 0 && at - packet <= 100))
            return at;
    }
    return -1;
}

// ---- The generated videos ------------------------------------------------------------------

struct VideoCase {
    const char* name;
    bool programStream;
    const char* mpegType;
    const char* aspect;
    bool navPacks;
    bool dropFrame;        // drop-frame flag of the first GOP header
    double nominalSeconds; // the length the generator asked for
};

const VideoCase Videos[] = {
    {"pal.m2v", false, "2", "4:3", false, false, 12},
    {"pal.mpg", true, "2", "4:3", false, false, 12},
    {"pal_dvd.vob", true, "2", "4:3", true, false, 12},
    {"tones.vob", true, "2", "4:3", true, false, 10},
    {"ntsc_df.mpg", true, "2", "4:3", false, true, 12},
    {"ntsc_ndf.mpg", true, "2", "4:3", false, false, 12},
    {"film.m2v", false, "2", "4:3", false, false, 10},
    {"wide.mpg", true, "2", "16:9", false, false, 6},
    {"tc10h.m2v", false, "2", "4:3", false, false, 6},
    {"oneseq.m2v", false, "2", "4:3", false, false, 12},
    {"mpeg1.mpg", true, "1", "1:1", false, false, 4},
};

TEST(MpegScannerVideos, AgreesWithFfprobeAndTheBytes) {
    for (const VideoCase& v : Videos) {
        SCOPED_TRACE(v.name);
        const QString path = TestVideo(v.name);
        const QByteArray bytes = ReadAll(path);
        ASSERT_GT(bytes.size(), 4 * Block) << "test video missing or too short";
        const std::optional<Probe> probe = RunFfprobe(path);
        ASSERT_TRUE(probe.has_value());

        bool found = false;
        const StreamProperties props = Scan(path, &found);
        EXPECT_TRUE(found);

        EXPECT_EQ(props.FileSizeBytes, probe->size);
        EXPECT_EQ(props.FileSizeMB, qRound(probe->size / 1048576.0));
        EXPECT_EQ(props.VideoWidth, probe->width);
        EXPECT_EQ(props.VideoHeight, probe->height);
        EXPECT_NEAR(props.FrameRate, probe->frameRate, 0.01);
        EXPECT_EQ(props.MpegType, v.mpegType);
        EXPECT_EQ(probe->codec, v.mpegType == QString("2") ? "mpeg2video" : "mpeg1video");
        EXPECT_EQ(props.AspectRatioText, v.aspect);
        // MPEG-1 codes a pixel aspect, not a display aspect
        if (probe->codec == "mpeg2video") {
            EXPECT_EQ(props.AspectRatioText, probe->displayAspect);
        }

        EXPECT_EQ(props.Muxed, v.programStream ? 1 : 0);
        EXPECT_EQ(probe->formatName == "mpegvideo", !v.programStream)
            << probe->formatName.toStdString();

        // All videos carry their first usable sequence header in the first block, so that is the
        // block whose navigation packets count.
        const QByteArray first = bytes.left(Block);
        ASSERT_GE(FirstUsableSequenceHeader(first, v.programStream), 0);
        const bool bothNavPacks = first.contains(QByteArray::fromHex("000001bf03d4")) &&
                                  first.contains(QByteArray::fromHex("000001bf03fa"));
        EXPECT_EQ(bothNavPacks, v.navPacks);
        EXPECT_EQ(props.MuxOK, bothNavPacks ? 1 : 0);

        const QList<Gop> gops = ValidGops(bytes);
        ASSERT_FALSE(gops.isEmpty());
        EXPECT_EQ(gops.first().dropFrame, v.dropFrame);
        EXPECT_EQ(props.DropFrame, ToFlag(v.dropFrame));
        EXPECT_EQ(props.LastGopPos, gops.last().offset + 1);

        const bool ntsc = std::abs(probe->frameRate - 30000.0 / 1001.0) < 1e-6;
        if (ntsc && !v.dropFrame) {
            // A non-drop time code at 29.97 counts 30 pictures to its second, which lasts 1.001 s.
            EXPECT_NEAR(props.DurationSeconds, TimeCodeSeconds(bytes, 29.97) / 1.001001001, 1e-3);
        } else {
            EXPECT_NEAR(props.DurationSeconds, probe->frames / probe->frameRate,
                        1 / probe->frameRate);
        }
        EXPECT_NEAR(props.DurationSeconds, v.nominalSeconds, 0.1);

        // The pack clock spans the delivery of the multiplex, from the first pack to the last. The
        // first pack goes out 0.2 s before the first picture is due and the last one at most about
        // as long before the end (the generator sets both limits), so the span matches the play
        // time of the whole multiplex: ffprobe's format duration, which also covers the audio of
        // the VOB, rather than the video stream's. MPEG-1 packs have another layout and are not
        // read.
        if (v.programStream && probe->codec == "mpeg2video") {
            EXPECT_NEAR(props.ScrDurationSeconds, probe->formatDuration, 0.1);
            EXPECT_LT(std::abs(props.ScrDurationSeconds - props.DurationSeconds), 1.0);
        } else if (!v.programStream) {
            EXPECT_EQ(props.ScrDurationSeconds, 0.0);
            EXPECT_TRUE(props.ScrDurationText.isEmpty());
        }
    }
}

TEST(MpegScannerVideos, ReportLines) {
    const QString scr1 = "   <218> (SCR)=";
    const QString scr2 = "   <219> (SCR)=";
    struct Case {
        const char* name;
        const char* timecodeLine; // nullptr: no time-code line
        bool scrLines;
    };
    const Case cases[] = {
        {"ntsc_df.mpg", "Timecode: NTSC drop frame", true},
        {"ntsc_ndf.mpg", "Timecode: NTSC non-drop frame", true},
        {"pal.mpg", nullptr, true},
        {"pal.m2v", nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StreamProperties props = Scan(TestVideo(c.name));
        const QStringList lines = FileReportLines(props, Label);
        EXPECT_EQ(lines.first(), "Info:");
        EXPECT_TRUE(lines.contains("<212>720"));
        EXPECT_EQ(lines.count("Timecode: NTSC drop frame") +
                      lines.count("Timecode: NTSC non-drop frame"),
                  c.timecodeLine ? 1 : 0);
        if (c.timecodeLine) {
            EXPECT_TRUE(lines.contains(c.timecodeLine));
        }
        EXPECT_EQ(lines.filter(scr1).size(), c.scrLines ? 1 : 0);
        EXPECT_EQ(lines.filter(scr2).size(), c.scrLines ? 1 : 0);
        if (c.scrLines) {
            EXPECT_EQ(lines.filter(scr2).first(), scr2 + props.ScrDurationText);
            EXPECT_EQ(lines.indexOf("<220>1") + 1, lines.indexOf(lines.filter(scr1).first()));
        }
        EXPECT_EQ(lines.last(), QStringLiteral("<221>%1").arg(props.MuxOK));
    }
}

// The scanner tests above lean on these properties of the generated files.
TEST(MpegScannerVideos, GeneratedFilesHoldWhatTheirNamesSay) {
    const QByteArray seq = QByteArray::fromHex("000001b3");
    const QByteArray pal = ReadAll(TestVideo("pal.m2v"));
    const QByteArray oneseq = ReadAll(TestVideo("oneseq.m2v"));
    EXPECT_GT(pal.count(seq), 10);
    EXPECT_EQ(oneseq.count(seq), 1);
    EXPECT_TRUE(oneseq.startsWith(pal.left(pal.indexOf(QByteArray::fromHex("000001b8")))));
    EXPECT_EQ(ValidGops(oneseq).size(), ValidGops(pal).size());
    EXPECT_EQ(CountPictures(oneseq, 0), CountPictures(pal, 0));

    // The audio of tones.vob holds far more picture-code bytes than its video has pictures.
    const std::optional<Probe> tones = RunFfprobe(TestVideo("tones.vob"));
    ASSERT_TRUE(tones.has_value());
    EXPECT_GT(CountPictures(ReadAll(TestVideo("tones.vob")), 0), 3 * tones->frames);

    const QList<Gop> tc10h = ValidGops(ReadAll(TestVideo("tc10h.m2v")));
    ASSERT_FALSE(tc10h.isEmpty());
    EXPECT_EQ(tc10h.first().hours, 10);
    EXPECT_EQ(tc10h.first().minutes + tc10h.first().seconds + tc10h.first().pictures, 0);
}

// ---- Files that are not (whole) MPEG-2 -----------------------------------------------------

TEST(MpegScannerFailures, NoSequenceHeader) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString empty = dir.filePath("empty.m2v");
    ASSERT_TRUE(WriteAll(empty, {}));
    const QString startCodesOnly = dir.filePath("codes.mpg");
    const QByteArray codes = PackHeader(0) + VideoPacketHeader() + SequenceExtension() +
                             GopHeader(0, 0, 0, 0) + Pictures(3);
    ASSERT_TRUE(WriteAll(startCodesOnly, codes));
    struct Case {
        QString path;
        qint64 size;
        const char* mpegType; // an extension start code alone makes a file MPEG-2
    };
    const Case cases[] = {
        {empty, 0, "1"},
        {TestVideo("notmpeg.bin"), 300000, "1"},
        {dir.filePath("missing.m2v"), 0, "1"},
        {dir.path(), 0, "1"},
        {startCodesOnly, codes.size(), "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        StreamProperties props = Scan(TestVideo("pal.m2v"));
        ASSERT_EQ(props.VideoWidth, 720);
        props.MuxOK = 1;
        EXPECT_FALSE(ScanMpegHeaders(c.path, props));
        EXPECT_EQ(props.MpegType, c.mpegType);
        EXPECT_EQ(props.FileSizeBytes, c.size);
        EXPECT_EQ(props.MuxOK, 0);
        // A failed scan keeps the picture properties of the one before.
        EXPECT_EQ(props.VideoWidth, 720);
        EXPECT_EQ(props.VideoHeight, 576);
        EXPECT_EQ(props.AspectRatioText, "4:3");
    }
}

TEST(MpegScannerFailures, TruncatedProgramStream) {
    const QByteArray whole = ReadAll(TestVideo("pal.mpg"));
    ASSERT_GT(whole.size(), 1000000);
    const qsizetype lastPack = whole.lastIndexOf(QByteArray::fromHex("000001ba"), 600000);
    ASSERT_GT(lastPack, 500000);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char* name;
        qsizetype length;
    };
    const Case cases[] = {
        {"in a pack's payload", 600000 + 1001},
        {"inside a pack header", lastPack + 7},
        {"just after a pack start code", lastPack + 4},
        {"within the first block", 70001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath("cut.mpg");
        ASSERT_TRUE(WriteAll(path, whole.left(c.length)));
        bool found = false;
        const StreamProperties props = Scan(path, &found);
        EXPECT_TRUE(found);
        EXPECT_EQ(props.FileSizeBytes, c.length);
        EXPECT_EQ(props.VideoWidth, 720);
        EXPECT_EQ(props.Muxed, 1);
        // The play time cannot be longer than the part of the video that is left.
        const double share = 12.0 * double(c.length) / double(whole.size());
        EXPECT_GE(props.DurationSeconds, 0.0);
        EXPECT_LT(props.DurationSeconds, share + 1.0);
        EXPECT_GE(props.ScrDurationSeconds, 0.0);
        EXPECT_LT(props.ScrDurationSeconds, share + 1.0);
    }
}

} // namespace
