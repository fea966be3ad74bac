#include "chapters/GopSearch.h"
#include "chapters/Timecode.h"
#include "stream/GopHeader.h"
#include "support/GopReference.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

// ---- Building byte-exact files --------------------------------------------------------------

QByteArray GopHeaderBytes(int h, int m, int s, int p, bool valid = true) {
    QByteArray bytes = QByteArray::fromHex("000001B8");
    const quint8 b0 = quint8((h & 0x1F) << 2 | (m >> 4));
    const quint8 b1 = quint8((m & 0x0F) << 4 | (valid ? 0x08 : 0x00) | (s >> 3));
    const quint8 b2 = quint8((s & 0x07) << 5 | (p >> 1));
    const quint8 b3 = quint8((p & 1) << 7);
    bytes.append(char(b0)).append(char(b1)).append(char(b2)).append(char(b3));
    return bytes;
}

// A file of `size` filler bytes (no start codes) with GOP headers at the given 0-based offsets;
// header i carries the time code 00:00:i (so the expected text tells which one was found).
struct Planted {
    qint64 offset;
    int second;
    bool valid = true;
};

QByteArray Filler(qint64 size) {
    return QByteArray(size, char(0x55));
}

QByteArray PlantHeaders(qint64 size, const std::vector<Planted>& headers) {
    QByteArray file = Filler(size);
    for (const Planted& h : headers)
        file.replace(h.offset, 8, GopHeaderBytes(0, 0, h.second, 0, h.valid));
    return file;
}

QString SecondText(int second) {
    return QStringLiteral("00:00:%1.000").arg(second, 2, 10, QChar(u'0'));
}

using GopReference::CollectHeaders;
using GopReference::Expected;
using GopReference::Header;
using GopReference::Reference;
using GopReference::Window;

void ExpectMatches(const GopSearchContext& ctx, const Expected& want, qint64 pos, bool backward) {
    const GopSearchResult got =
        FindGopTimecode(ctx, pos, backward ? SearchDirection::Backward : SearchDirection::Forward);
    const char* dir = backward ? "backward" : "forward";
    ASSERT_EQ(got.found, want.found) << dir << " from " << pos;
    if (want.found) {
        EXPECT_EQ(got.headerPos, want.headerPos) << dir << " from " << pos;
        EXPECT_EQ(got.timecode, GopTimecodeToText(want.tc.hours, want.tc.minutes, want.tc.seconds,
                                                  want.tc.pictures, ctx.frameRate, ctx.dropFrame))
            << dir << " from " << pos;
        return;
    }
    switch (want.fallback) {
    case Expected::Unknown:
        EXPECT_EQ(got.fallback, GopFallback::Unknown) << dir << " from " << pos;
        break;
    case Expected::ShownText:
        EXPECT_EQ(got.fallback, GopFallback::ShownText) << dir << " from " << pos;
        break;
    default:
        EXPECT_EQ(got.fallback, GopFallback::CurrentTimecode) << dir << " from " << pos;
        break;
    }
    EXPECT_EQ(got.timecode, "???") << dir << " from " << pos;
}

GopSearchContext ContextFor(const QString& path, qint64 size, float fps = 25.0f,
                            bool drop = false) {
    GopSearchContext ctx;
    ctx.path = path;
    ctx.fileLength = size;
    ctx.frameRate = fps;
    ctx.dropFrame = drop;
    return ctx;
}

// Positions spread over the file plus the ones on both sides of every 100000-byte border and of
// every header (the rules change there).
std::vector<qint64> ProbePositions(qint64 size, const std::vector<Header>& headers,
                                   qint64 base = 0) {
    std::vector<qint64> positions;
    for (qint64 p = base; p < base + size; p += 23459)
        positions.push_back(p);
    for (qint64 border = base; border <= base + size; border += Window)
        for (qint64 d : {-12LL, -9LL, -8LL, -1LL, 0LL, 1LL, 4LL, 5LL, 9LL})
            positions.push_back(border + d);
    for (const Header& h : headers)
        for (qint64 d :
             {-Window - 1, -Window + 9, -5LL, 0LL, 1LL, 4LL, 5LL, 6LL, 12LL, Window - 9, Window})
            positions.push_back(h.offset + d);
    std::vector<qint64> inFile;
    for (qint64 p : positions)
        if (p >= 0 && p <= base + size + 10)
            inFile.push_back(p);
    return inFile;
}

using GopSearchFiles = TempFolderTest;

// ---- Byte-built cases ----------------------------------------------------------------------

TEST_F(GopSearchFiles, NearTheStartBackwardTakesTheLastHeaderBeforeThePosition) {
    const QByteArray file =
        PlantHeaders(300000, {{100, 1}, {20000, 2}, {50000, 3}, {99000, 4}, {150000, 5}});
    const QString path = Write("start.m2v", file);
    const GopSearchContext ctx = ContextFor(path, file.size());
    struct Case {
        qint64 pos;
        int second;
    } cases[] = {
        {1, 1},     {104, 1},   {105, 1},   {106, 1}, // first header when index + 4 >= pos
        {20000, 1}, {20001, 1}, {20002, 2}, {49999, 2},
        {60000, 3}, {99001, 3}, {99002, 4}, {100000, 4},
    };
    for (const Case& c : cases) {
        const GopSearchResult r = FindGopTimecode(ctx, c.pos, SearchDirection::Backward);
        EXPECT_TRUE(r.found) << c.pos;
        EXPECT_EQ(r.timecode, SecondText(c.second)) << "backward from " << c.pos;
    }
}

TEST_F(GopSearchFiles, FurtherInBackwardTakesTheLastHeaderOfThePrecedingWindow) {
    const QByteArray file = PlantHeaders(
        600000, {{1000, 1}, {150000, 2}, {180000, 3}, {240000, 4, false}, {260000, 5}});
    const QString path = Write("mid.m2v", file);
    const GopSearchContext ctx = ContextFor(path, file.size());
    // From 270000 the window is [170000, 270000): headers at 180000 and 260000 (the one at 240000
    // is invalid and passed over).
    GopSearchResult r = FindGopTimecode(ctx, 270000, SearchDirection::Backward);
    EXPECT_EQ(r.timecode, SecondText(5));
    EXPECT_EQ(r.headerPos, 260001);
    // From 255000 the window [155000, 255000) holds 180000 and the invalid 240000.
    r = FindGopTimecode(ctx, 255000, SearchDirection::Backward);
    EXPECT_EQ(r.timecode, SecondText(3));
    // From 500000 the first windows are empty; the walk goes back to 260000.
    r = FindGopTimecode(ctx, 500000, SearchDirection::Backward);
    EXPECT_EQ(r.timecode, SecondText(5));
    EXPECT_EQ(r.headerPos, 260001);
}

TEST_F(GopSearchFiles, ForwardTakesTheLastHeaderOfTheWindowFromThePosition) {
    const QByteArray file =
        PlantHeaders(600000, {{1000, 1}, {150000, 2}, {180000, 3}, {400000, 4}});
    const QString path = Write("fwd.m2v", file);
    const GopSearchContext ctx = ContextFor(path, file.size());
    EXPECT_EQ(FindGopTimecode(ctx, 120000, SearchDirection::Forward).timecode, SecondText(3));
    EXPECT_EQ(FindGopTimecode(ctx, 180001, SearchDirection::Forward).timecode, SecondText(4));
    // Near the start a forward search gives the first header after the position.
    EXPECT_EQ(FindGopTimecode(ctx, 50, SearchDirection::Forward).timecode, SecondText(1));
    // Past the last header the walk runs off the end: the current timecode stays.
    const GopSearchResult r = FindGopTimecode(ctx, 400001, SearchDirection::Forward);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.fallback, GopFallback::CurrentTimecode);
}

TEST_F(GopSearchFiles, HeadersAtTheWindowEdgeCountOnlyWithTheirTimeCodeInside) {
    // A window of 100000 bytes uses a header only when its 1-based index is below 99992. Forward
    // from 200000, a usable edge header is the last of the first window; an unusable one sends the
    // search to the next window, where the later header wins.
    const struct {
        qint64 edgeOffset;
        int expectedSecond;
    } cases[] = {{200000 + 99990, 1}, {200000 + 99991, 2}};
    for (const auto& c : cases) {
        const QByteArray file = PlantHeaders(500000, {{c.edgeOffset, 1}, {350000, 2}});
        const QString path = Write(QStringLiteral("edge%1.m2v").arg(c.edgeOffset), file);
        const GopSearchContext ctx = ContextFor(path, file.size());
        EXPECT_EQ(FindGopTimecode(ctx, 200000, SearchDirection::Forward).timecode,
                  SecondText(c.expectedSecond))
            << c.edgeOffset;
        std::vector<Header> headers;
        CollectHeaders(file, 0, headers);
        for (qint64 pos : {300000LL, 300001LL, 299999LL, 200000LL, 200001LL})
            ExpectMatches(ctx, Reference(headers, file.size(), pos, true), pos, true);
    }
}

TEST_F(GopSearchFiles, GivesUpAfterTwentyOneEmptyWindows) {
    const QByteArray file = PlantHeaders(2600000, {{10, 1}});
    const QString path = Write("empty.m2v", file);
    const GopSearchContext ctx = ContextFor(path, file.size());
    const GopSearchResult r = FindGopTimecode(ctx, 2500000, SearchDirection::Backward);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.timecode, "???");
    // 21 windows back from 2300000 reach the header at the start: found.
    EXPECT_TRUE(FindGopTimecode(ctx, 2000000, SearchDirection::Backward).found);
}

TEST_F(GopSearchFiles, UnreadableOrMissingFilesFallBack) {
    GopSearchContext ctx = ContextFor(dir.filePath("missing.m2v"), 500000);
    EXPECT_EQ(FindGopTimecode(ctx, 1000, SearchDirection::Backward).timecode, "???");
    EXPECT_EQ(FindGopTimecode(ctx, 1000, SearchDirection::Forward).fallback,
              GopFallback::ShownText);
    ctx.path = dir.path(); // a folder
    EXPECT_EQ(FindGopTimecode(ctx, 300000, SearchDirection::Backward).timecode, "???");
    EXPECT_EQ(ReadFirstGopTimecode(dir.path(), 25.0f, false), "???");
    EXPECT_EQ(ReadFirstGopTimecode(Write("empty.bin", {}), 25.0f, false), "???");
}

TEST_F(GopSearchFiles, FirstGopTimecodeSkipsInvalidHeadersAndCrossesWindows) {
    QByteArray file = Filler(400000);
    file.replace(5000, 8, GopHeaderBytes(30, 0, 0, 0));       // hours 30: invalid
    file.replace(6000, 8, GopHeaderBytes(1, 2, 3, 4, false)); // marker bit clear
    file.replace(250000, 8, GopHeaderBytes(10, 0, 0, 0));
    EXPECT_EQ(ReadFirstGopTimecode(Write("first.m2v", file), 25.0f, false), "10:00:00.000");
    // A header straddling the end of the first window is found in the next one.
    QByteArray border = Filler(300000);
    border.replace(99995, 8, GopHeaderBytes(0, 0, 7, 0));
    EXPECT_EQ(ReadFirstGopTimecode(Write("border.m2v", border), 25.0f, false), SecondText(7));
    EXPECT_EQ(ReadFirstGopTimecode(Write("none.m2v", Filler(300000)), 25.0f, false), "???");
}

// ---- Real videos ---------------------------------------------------------------------------

struct VideoCase {
    const char* name;
    float fps;
    bool drop;
};

class GopSearchVideos : public ::testing::TestWithParam<VideoCase> {};

TEST_P(GopSearchVideos, SelectsTheHeaderItsRuleNamesEverywhere) {
    const VideoCase& v = GetParam();
    const QString path = TestVideo(QString::fromLatin1(v.name));
    const QByteArray file = ReadAll(path);
    ASSERT_GT(file.size(), 3 * Window) << "missing test video " << v.name;
    std::vector<Header> headers;
    CollectHeaders(file, 0, headers);
    ASSERT_GT(headers.size(), 3u);
    const GopSearchContext ctx = ContextFor(path, file.size(), v.fps, v.drop);
    for (qint64 pos : ProbePositions(file.size(), headers)) {
        ExpectMatches(ctx, Reference(headers, file.size(), pos, true), pos, true);
        ExpectMatches(ctx, Reference(headers, file.size(), pos, false), pos, false);
        if (HasFatalFailure())
            return;
    }
    // The first header of the file is what the first-GOP reader reports.
    const auto firstValid =
        std::find_if(headers.begin(), headers.end(), [](const Header& h) { return h.tc.valid; });
    ASSERT_NE(firstValid, headers.end());
    EXPECT_EQ(ReadFirstGopTimecode(path, v.fps, v.drop),
              GopTimecodeToText(firstValid->tc.hours, firstValid->tc.minutes,
                                firstValid->tc.seconds, firstValid->tc.pictures, v.fps, v.drop));
}

INSTANTIATE_TEST_SUITE_P(
    All, GopSearchVideos,
    ::testing::Values(VideoCase{"pal.m2v", 25.0f, false}, VideoCase{"pal.mpg", 25.0f, false},
                      VideoCase{"pal_dvd.vob", 25.0f, false}, VideoCase{"oneseq.m2v", 25.0f, false},
                      VideoCase{"ntsc_df.mpg", 29.97f, true},
                      VideoCase{"ntsc_ndf.mpg", 29.97f, false},
                      VideoCase{"film.m2v", 23.976f, false}, VideoCase{"tc10h.m2v", 25.0f, false}),
    [](const auto& info) {
        QString name = QString::fromLatin1(info.param.name);
        return name.replace(u'.', u'_').toStdString();
    });

TEST(GopSearchLargeFile, WorksAcrossTheFourGigabyteBorder) {
    const QByteArray video = ReadAll(TestVideo(QStringLiteral("pal.mpg")));
    ASSERT_GT(video.size(), 2000000);
    // Real video at both ends of a sparse file whose tail crosses the 4 GiB mark.
    const QByteArray head = video.left(1500000);
    const QByteArray tail = video.right(2000000);
    const qint64 size = (qint64(1) << 32) + 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath("big.vob");
    ASSERT_TRUE(MakeSparseFile(path, size, head, tail));
    std::vector<Header> headers;
    CollectHeaders(head, 0, headers);
    CollectHeaders(tail, size - tail.size(), headers);
    const GopSearchContext ctx = ContextFor(path, size);

    std::vector<qint64> positions = ProbePositions(head.size(), headers);
    std::vector<Header> tailHeaders;
    CollectHeaders(tail, size - tail.size(), tailHeaders);
    for (qint64 p : ProbePositions(tail.size(), tailHeaders, size - tail.size()))
        positions.push_back(p);
    for (qint64 p : {(qint64(1) << 31) + 7, (qint64(1) << 32) - 1, qint64(1) << 32,
                     (qint64(1) << 32) + 1, size - 1, size, size + 5})
        positions.push_back(p);
    for (qint64 pos : positions) {
        ExpectMatches(ctx, Reference(headers, size, pos, true), pos, true);
        ExpectMatches(ctx, Reference(headers, size, pos, false), pos, false);
        if (HasFatalFailure())
            return;
    }
}

} // namespace
