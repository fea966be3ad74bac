#include "stream/MpegBytes.h"
#include "stream/MpegScanner.h"
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

StreamProperties Scan(const QString& path, bool* found = nullptr) {
    StreamProperties props;
    const bool result = ScanMpegHeaders(path, props);
    if (found)
        *found = result;
    return props;
}

QString Label(int offset) {
    return QStringLiteral("<%1>").arg(offset);
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
            EXPECT_NEAR(props.DurationSeconds, probe->frames / probe->frameRate, 0.1);
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

// ---- Hand-made streams ----------------------------------------------------------------------

class MpegScannerBytes : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    StreamProperties ScanBytes(const QByteArray& bytes, bool* found = nullptr) {
        const QString path = dir_.filePath("video.mpg");
        EXPECT_TRUE(WriteAll(path, bytes));
        return Scan(path, found);
    }

    QTemporaryDir dir_;
};

QByteArray ElementaryHead(int width = 720, int height = 576, int aspect = 2, int rate = 3) {
    return SequenceHeader(width, height, aspect, rate) + SequenceExtension();
}

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
