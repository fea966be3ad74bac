#include "chapters/GopSearch.h"
#include "chapters/Timecode.h"
#include "support/GopReference.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The next header is the first valid GOP header starting at or after the position, whatever the
// distance between GOPs: checked against a plain byte scan at positions all over the files.
TEST(FindNextGopHeader, FindsEveryFollowingGopInTurn) {
    for (const char* name : {"pal.m2v", "pal.mpg", "film.m2v"}) {
        const QString path = TestVideo(QString::fromLatin1(name));
        const QByteArray file = ReadAll(path);
        std::vector<GopReference::Header> headers;
        GopReference::CollectHeaders(file, 0, headers);
        GopSearchContext ctx;
        ctx.path = path;
        ctx.fileLength = file.size();
        ctx.frameRate = QString::fromLatin1(name).startsWith(u"film") ? 23.976f : 25.0f;
        for (qint64 pos = 0; pos < file.size(); pos += 7919) {
            const auto next = std::find_if(headers.begin(), headers.end(), [&](const auto& h) {
                return h.tc.valid && h.offset >= pos;
            });
            const GopSearchResult r = FindNextGopHeader(ctx, pos);
            if (next == headers.end()) {
                EXPECT_FALSE(r.found) << name << " " << pos;
                continue;
            }
            ASSERT_TRUE(r.found) << name << " " << pos;
            EXPECT_EQ(r.headerPos, next->offset + 1) << name << " " << pos;
            EXPECT_EQ(r.timecode,
                      GopTimecodeToText(next->tc.hours, next->tc.minutes, next->tc.seconds,
                                        next->tc.pictures, ctx.frameRate, false));
        }
    }
}

TEST(FindNextGopHeader, SeesHeadersAcrossWindowBordersAndGivesUpOnEmptyStretches) {
    QTemporaryDir dir;
    QByteArray bytes(3000000, char(0x55));
    const QByteArray gop = QByteArray::fromHex("000001B8") + QByteArray::fromHex("00080000");
    bytes.replace(99990, 8, gop); // straddles the first window's end
    const QString path = dir.filePath(QStringLiteral("sparse.m2v"));
    ASSERT_TRUE(WriteAll(path, bytes));
    GopSearchContext ctx;
    ctx.path = path;
    ctx.fileLength = bytes.size();
    const GopSearchResult r = FindNextGopHeader(ctx, 0);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.headerPos, 99991);
    // After it, 21 windows of nothing: not found rather than a search through the whole file.
    EXPECT_FALSE(FindNextGopHeader(ctx, 100000).found);
    ctx.path = dir.filePath(QStringLiteral("missing.m2v"));
    EXPECT_FALSE(FindNextGopHeader(ctx, 0).found);
}

} // namespace
