// Clip starts and copies on hand-made streams.
#include "export/ClipExtract.h"

#include "stream/MpegBytes.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

#include <csignal>
#include <optional>
#include <sys/resource.h>

namespace {

using namespace MpegBytes;

constexpr qint64 Hour = 90000LL * 3600;

QStringList FolderEntries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// Blocks of `perBlock` picture start codes each, the rest filler.
QByteArray PictureBlocks(int blocks, int perBlock) {
    QByteArray bytes;
    for (int b = 0; b < blocks; ++b) {
        bytes += Pictures(perBlock);
        PadTo(bytes, (b + 1) * Block);
    }
    return bytes;
}

struct CountCase {
    const char* name;
    QByteArray source;
    QByteArray header;
    qint64 start;
    qint32 pictures;
    qint64 expectedLength; // source bytes copied
};

TEST(ExtractClip, CopiesWholeBlocksUntilEnoughPicturesOrTheEnd) {
    const QByteArray dense = QByteArray::fromHex("000001").repeated(Block); // a match every 3 bytes
    const CountCase cases[] = {
        {"28 a block: the tenth reaches 270", PictureBlocks(25, 28), {}, 0, 270, 10 * Block},
        {"30 a block: the ninth reaches 270", PictureBlocks(25, 30), {}, 0, 270, 9 * Block},
        {"from the middle of a block", PictureBlocks(25, 30), {}, 5000, 270, 9 * Block},
        {"no pictures asked: one block", PictureBlocks(25, 30), {}, 0, 0, Block},
        {"file of 60000 bytes", PictureBlocks(1, 30).left(60000), {}, 0, 270, 60000},
        {"60000 bytes from 1000", PictureBlocks(1, 30).left(60000), "HDR", 1000, 270, 59000},
        {"ends inside a block",
         PictureBlocks(6, 30).left(5 * Block + 500),
         {},
         0,
         999,
         5 * Block + 500},
        {"ends on a block border", PictureBlocks(3, 30), {}, 0, 999, 3 * Block},
        {"ends 7 bytes into a block", PictureBlocks(3, 30), "HDR", 7, 999, 3 * Block - 7},
        {"header not written at 0", PictureBlocks(3, 30), "HDR", 0, 1, Block},
        {"overlapping start codes all count", dense + dense, {}, 0, 30000, Block},
    };
    QTemporaryDir dir;
    for (const CountCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath("source.m2v");
        ASSERT_TRUE(WriteAll(path, c.source));
        ClipSource source;
        source.path = path;
        source.streamHeader = c.header;
        QList<qint64> progress;
        const QString clip = dir.filePath("clip.vob");
        ASSERT_TRUE(
            ExtractClip(c.pictures, c.start, source, clip, [&](qint64 done) { progress += done; }));
        const QByteArray header = c.start != 0 ? c.header : QByteArray();
        const QByteArray expected = header + c.source.mid(c.start, c.expectedLength);
        EXPECT_EQ(ReadAll(clip), expected);
        ASSERT_FALSE(progress.isEmpty());
        EXPECT_EQ(progress.size(), (c.expectedLength + Block - 1) / Block);
        EXPECT_EQ(progress.last(), expected.size());
    }
}

// A program stream of blocks of 50 packs of 2000 bytes. The clock runs `ticksPerPack` from one
// pack to the next, from one hour on; the first `picturesPerBlock` packs of a block carry a video
// packet with a picture each, the others optionally an audio packet full of picture-code bytes.
// Optionally the last pack of each block has a broken marker bit, and a lone pack start code with
// a clock far ahead sits `nearPackGap` bytes before it.
struct PackStream {
    int picturesPerBlock = 30;
    qint64 ticksPerPack = 900; // a block spans 0.5 s of clock and 1.2 s of pictures
    bool lastPackBroken = false;
    int nearPackGap = 0;
    bool allBroken = false;
    bool codesInAudio = false;
};

QByteArray BuildPackStream(const PackStream& s, int blocks = 40) {
    QByteArray bytes;
    for (int b = 0; b < blocks; ++b) {
        for (int k = 0; k < 50; ++k) {
            QByteArray pack = PackHeader(Hour + (b * 50 + k) * s.ticksPerPack);
            if (s.allBroken || (k == 49 && s.lastPackBroken))
                pack[6] = char(pack[6] & ~0x04);
            if (k < s.picturesPerBlock)
                pack += Packet(0xE0, Picture());
            else if (s.codesInAudio)
                pack += Packet(0xBD, StartCode(0x00).repeated(100));
            bytes += pack;
            PadTo(bytes, (b * 50 + k + 1) * 2000);
        }
        if (s.nearPackGap > 0)
            bytes.replace(b * Block + 98000 - s.nearPackGap, 10, PackHeader(2 * Hour).left(10));
    }
    return bytes;
}

struct ClockCase {
    const char* name;
    PackStream stream;
    qint16 muxed;
    double scrDuration; // against a GOP duration of 10 s
    float frameRate;
    int expectedBlocks;
};

TEST(ExtractClip, ExtendsTheClipWhileThePackClockLagsWhenTheClockIsUsable) {
    // 270 pictures need 9 blocks; at 25 fps they need 10.8 s of clock, reached by the last pack
    // of the 22nd block (0.5 s a block).
    const PackStream lagging;
    PackStream brokenLast;
    brokenLast.lastPackBroken = true;
    PackStream allBroken;
    allBroken.allBroken = true;
    PackStream fast;
    fast.ticksPerPack = 3600;
    PackStream fastWithAudio = fast;
    fastWithAudio.codesInAudio = true;
    PackStream nearInside = brokenLast;
    nearInside.nearPackGap = 13; // ends 10 bytes before the broken pack: its clock counts
    PackStream nearOutside = brokenLast;
    nearOutside.nearPackGap = 12; // ends 9 bytes before: skipped, the lagging pack before it counts
    const ClockCase cases[] = {
        {"lagging clock", lagging, 1, 10.5, 25, 22},
        {"clock a second off", lagging, 1, 11.0, 25, 9},
        {"clock just under a second off", lagging, 1, 10.999, 25, 22},
        {"elementary stream", lagging, 0, 10.0, 25, 9},
        {"no frame rate", lagging, 1, 10.0, 0, 9},
        {"clock fast enough", fast, 1, 10.0, 25, 9},
        {"picture codes in audio packets do not count", fastWithAudio, 1, 10.0, 25, 9},
        {"broken last pack: the one before counts", brokenLast, 1, 10.0, 25, 22},
        {"no readable clock", allBroken, 1, 10.0, 25, 9},
        {"walk back to a pack ending 10 bytes before", nearInside, 1, 10.0, 25, 9},
        {"walk back past a pack ending 9 bytes before", nearOutside, 1, 10.0, 25, 22},
    };
    QTemporaryDir dir;
    for (const ClockCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = BuildPackStream(c.stream);
        ClipSource source;
        source.path = dir.filePath("source.mpg");
        ASSERT_TRUE(WriteAll(source.path, bytes));
        source.muxed = c.muxed;
        source.durationSeconds = 10.0;
        source.scrDurationSeconds = c.scrDuration;
        source.frameRate = c.frameRate;
        source.clipStartScr = Hour;
        const QString clip = dir.filePath("clip.vob");
        ASSERT_TRUE(ExtractClip(270, 0, source, clip));
        EXPECT_EQ(ReadAll(clip), bytes.left(c.expectedBlocks * Block));
    }
    // Start clocks far outside the 33 bits of a pack clock: far behind, the clip is not
    // extended; far ahead, it runs to the end of the file.
    const QByteArray bytes = BuildPackStream(lagging);
    ClipSource source;
    source.path = dir.filePath("source.mpg");
    ASSERT_TRUE(WriteAll(source.path, bytes));
    source.muxed = 1;
    source.durationSeconds = 10.0;
    source.scrDurationSeconds = 10.0;
    const QString clip = dir.filePath("clip.vob");
    source.clipStartScr = std::numeric_limits<qint64>::min();
    ASSERT_TRUE(ExtractClip(270, 0, source, clip));
    EXPECT_EQ(ReadAll(clip), bytes.left(9 * Block));
    source.clipStartScr = std::numeric_limits<qint64>::max();
    ASSERT_TRUE(ExtractClip(270, 0, source, clip));
    EXPECT_EQ(ReadAll(clip), bytes);
}

// Packs and sequence headers at chosen offsets, filler elsewhere.
QByteArray Layout(std::initializer_list<std::pair<qsizetype, QByteArray>> parts, qsizetype size) {
    QByteArray bytes;
    for (const auto& [offset, header] : parts)
        PlaceAt(bytes, offset, header);
    PadTo(bytes, size);
    return bytes;
}

struct StartCase {
    const char* name;
    qint64 position;
    qint64 offset; // expected; -1 for "GOP not found" with offset 0
    std::optional<qint64> scr;
};

TEST(FindClipStart, TakesOnlyHeadersLyingWhollyInTheSearchedBytes) {
    QTemporaryDir dir;
    const QString nearPath = dir.filePath("near.mpg");
    ASSERT_TRUE(WriteAll(nearPath, Layout({{50, SeqCode},
                                           {100, PackHeader(1000)},
                                           {200, SeqCode},
                                           {300, PackHeader(2000)},
                                           {400, SeqCode},
                                           {500, GopCode},
                                           {600, SeqCode + PackCode + SeqCode}},
                                          1000)));
    // Further on, blocks of 100000 bytes ending at the position are searched.
    const QString farPath = dir.filePath("far.mpg");
    ASSERT_TRUE(WriteAll(farPath, Layout({{10, PackHeader(1000)},
                                          {24, SeqCode},
                                          {119000, PackHeader(3000)},
                                          {120000, SeqCode},
                                          {150000, PackHeader(4000)},
                                          {150014, SeqCode},
                                          {200000, SeqCode}},
                                         250000)));
    const StartCase nearCases[] = {
        {"GOP after pack and sequence header", 501, 300, 2000},
        {"sequence header ending at the position", 404, 300, 2000},
        {"sequence header one byte past it: the one before", 403, 100, 1000},
        {"no sequence header within", 53, -1, std::nullopt},
        {"no pack header before it", 60, -1, std::nullopt},
        {"pack start code right before the header", 612, 604, 0},
        {"position beyond the end of a short file", 90000, 604, 0},
        {"zero time: no search", 501, 0, std::nullopt},
    };
    for (const StartCase& c : nearCases) {
        SCOPED_TRACE(c.name);
        const QString shown = QString(c.name).startsWith("zero") ? "00:00:00.000" : "00:00:01.000";
        const ClipStart found = FindClipStart(nearPath, c.position, shown);
        EXPECT_EQ(found.gopNotFound, c.offset < 0);
        EXPECT_EQ(found.offset, qMax<qint64>(0, c.offset));
        EXPECT_EQ(found.clipStartScr, c.scr);
    }
    const StartCase farCases[] = {
        {"last position of the first block", Block, 10, 1000},
        {"block from byte 1", Block + 1, 10, 1000},
        {"block starting inside the pack start code", Block + 11, -1, 0},
        {"block starting inside the sequence header", Block + 25, -1, std::nullopt},
        {"sequence header ending at the position", 150018, 150000, 4000},
        {"sequence header one byte past it: the one before", 150017, 119000, 3000},
        {"pack well before the sequence header", 200010, 150000, 4000},
        {"no pack before it, block partly beyond the end", 250001, -1, 0},
        {"block wholly beyond the end", 350001, -1, std::nullopt},
    };
    for (const StartCase& c : farCases) {
        SCOPED_TRACE(c.name);
        const ClipStart found = FindClipStart(farPath, c.position, "00:00:01.000");
        EXPECT_EQ(found.gopNotFound, c.offset < 0);
        EXPECT_EQ(found.offset, qMax<qint64>(0, c.offset));
        EXPECT_EQ(found.clipStartScr, c.scr);
    }
}

TEST(FindClipStart, MissingFileIsReadOnlyWhenASearchIsNeeded) {
    const QString missing = QStringLiteral("/nonexistent/cueboard/video.mpg");
    const ClipStart zeroTime = FindClipStart(missing, 1, "00:00:00.000");
    const ClipStart zeroPos = FindClipStart(missing, 0, "00:00:07.000");
    for (const ClipStart& r : {zeroTime, zeroPos}) {
        EXPECT_FALSE(r.gopNotFound);
        EXPECT_EQ(r.offset, 0);
        EXPECT_FALSE(r.clipStartScr.has_value());
    }
    for (const qint64 position : {qint64(1), qint64(500000)}) {
        const ClipStart r = FindClipStart(missing, position, "00:00:07.000");
        EXPECT_TRUE(r.gopNotFound);
        EXPECT_EQ(r.offset, 0);
        EXPECT_FALSE(r.clipStartScr.has_value());
    }
}

TEST(ExtractClip, ReplacesTheTargetWholeOrLeavesItAlone) {
    QTemporaryDir dir;
    const QByteArray bytes = PictureBlocks(5, 30);
    ClipSource source;
    source.path = dir.filePath("source.m2v");
    ASSERT_TRUE(WriteAll(source.path, bytes));
    const QString clip = dir.filePath("out/clip.vob");
    ASSERT_TRUE(QDir(dir.path()).mkdir("out"));
    const QByteArray old = QByteArray(3 * 1024 * 1024, 'o');
    ASSERT_TRUE(WriteAll(clip, old));

    ASSERT_TRUE(ExtractClip(1, 0, source, clip));
    EXPECT_EQ(ReadAll(clip), bytes.left(Block));

    // Failures leave what was there, and no unfinished file beside it.
    ASSERT_TRUE(WriteAll(clip, old));
    ClipSource missing = source;
    missing.path = dir.filePath("missing.m2v");
    missing.streamHeader = "HDR";
    EXPECT_FALSE(ExtractClip(1, 10, missing, clip));
    EXPECT_FALSE(ExtractClip(1, bytes.size(), source, clip)) << "start at the end";
    // The source is cut while copying.
    ClipSource shrinking = source;
    shrinking.path = dir.filePath("shrinking.m2v");
    ASSERT_TRUE(WriteAll(shrinking.path, bytes));
    EXPECT_FALSE(ExtractClip(999, 0, shrinking, clip, [&](qint64 done) {
        if (done == 2 * Block)
            QFile::resize(shrinking.path, 2 * Block + 10);
    }));
    {
        // Full disk: writes beyond 150000 bytes fail (EFBIG instead of a signal).
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlim_t soft = limit.rlim_cur;
        limit.rlim_cur = 150000;
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool replaced = ExtractClip(999, 0, source, clip);
        const bool created = ExtractClip(999, 0, source, dir.filePath("out/new.vob"));
        limit.rlim_cur = soft;
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(replaced);
        EXPECT_FALSE(created);
    }
    EXPECT_EQ(ReadAll(clip), old);
    EXPECT_EQ(FolderEntries(dir.filePath("out")), QStringList{"clip.vob"});

    const QString plainFile = dir.filePath("plain");
    ASSERT_TRUE(WriteAll(plainFile, "x"));
    for (const QString& unwritable : {QStringLiteral("/proc/cueboard-test/clip.vob"),
                                      plainFile + "/clip.vob", dir.filePath("none/clip.vob")}) {
        SCOPED_TRACE(unwritable.toStdString());
        EXPECT_FALSE(ExtractClip(1, 0, source, unwritable));
        EXPECT_FALSE(QFileInfo::exists(unwritable));
    }
}

} // namespace
