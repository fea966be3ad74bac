#include "chapters/GopLocator.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <QTime>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <tuple>

namespace {

const QByteArray GopCode = QByteArray::fromHex("000001B8");

// A GOP header of 00:00:<second>.000; a negative second clears the marker bit (an invalid one).
QByteArray Gop(int second) {
    const int s = qAbs(second);
    const char timeCode[] = {0, char((second < 0 ? 0x00 : 0x08) | s >> 3), char((s & 7) << 5), 0};
    return GopCode + QByteArray(timeCode, 4);
}

QString SecondText(int second) {
    return second ? QString("00:00:%1.000").arg(second, 2, 10, QChar('0')) : QString("???");
}

// Hand-made files: size and (offset, second) of each header; L: one a second every 100000 bytes.
using Layout = std::pair<qint64, std::vector<std::pair<qint64, int>>>;
std::map<char, Layout> Layouts = {
    {'A', {300000, {{100, 1}, {20000, 2}, {50000, 3}, {99000, 4}, {150000, 5}}}},
    {'B', {600000, {{1000, 1}, {150000, 2}, {180000, 3}, {240000, -4}, {260000, 5}, {400000, 6}}}},
    {'C', {500000, {{299990, 1}, {350000, 2}}}},
    {'D', {2600000, {{10, 1}}}},
    {'E', {2600000, {{10, 1}, {2150000, 2}}}},
    {'F', {400000, {{6000, -3}, {250000, 7}}}},
    {'G', {300000, {{99995, 7}}}},
    {'H', {2100000, {{2050000, 3}}}},
    {'L', {3000000, {}}},
    {'x', {500000, {}}}};

class GopSearch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (int k = 0; k < 30; ++k)
            Layouts['L'].second.push_back({k * 100000 + 50, k});
        for (const auto& [name, layout] : Layouts) {
            QByteArray bytes(layout.first, char(0x55));
            for (const auto& [offset, second] : layout.second)
                bytes.replace(offset, 8, Gop(second));
            ASSERT_TRUE(name == 'x' || WriteAll(Path(name), bytes));
        }
    }
    static QString Path(char name) { return dir.filePath(QString(QChar(name))); }
    static GopSearchContext Context(char name) { return {Path(name), Layouts.at(name).first}; }
    static qint64 HeaderPos(char name, int second) { // 1 + its offset; 0 for none
        for (const auto& [offset, s] : Layouts.at(name).second)
            if (s == second && second != 0)
                return offset + 1;
        return 0;
    }
    static inline QTemporaryDir dir;
};

// File, position, search (Back, Forward, Next); second found (0: none), fallback. Back: the last
// header whose time code lies in the 100000 bytes before the position (near the start: before it),
// going back window by window, 21 at most; Forward: the last one of the window from there (near
// the start: the first); Next: the first valid one at or after the 0-based offset.
TEST_F(GopSearch, SearchesTakeTheHeaderTheirWindowNames) {
    constexpr auto U = GopFallback::Unknown, S = GopFallback::ShownText,
                   C = GopFallback::CurrentTimecode;
    const std::tuple<char, qint64, char, int, GopFallback> rows[] = {
        {'A', 1, 'B', 1, U},      {'A', 104, 'B', 1, U},     {'A', 20001, 'B', 1, U},
        {'A', 20002, 'B', 2, U},  {'A', 49999, 'B', 2, U},   {'A', 60000, 'B', 3, U},
        {'A', 99001, 'B', 3, U},  {'A', 99002, 'B', 4, U},   {'A', 100001, 'B', 4, U},
        {'A', 150010, 'B', 5, U}, {'A', 150009, 'B', 4, U},  {'B', 270000, 'B', 5, U},
        {'B', 255000, 'B', 3, U}, {'B', 390000, 'B', 5, U},  {'C', 300000, 'B', 1, U},
        {'C', 299999, 'B', 2, U}, {'D', 2096850, 'B', 1, U}, {'D', 2096851, 'B', 0, U},
        {'x', 1000, 'B', 0, U},   {'A', 50, 'F', 1, U},      {'A', 100, 'F', 1, U},
        {'A', 200, 'F', 2, U},    {'A', 120000, 'F', 5, U},  {'B', 120000, 'F', 3, U},
        {'B', 180001, 'F', 5, U}, {'B', 260001, 'F', 6, U},  {'C', 200000, 'F', 1, U},
        {'C', 199999, 'F', 2, U}, {'B', 400001, 'F', 0, C},  {'B', 599999, 'F', 0, C},
        {'B', 600000, 'F', 0, S}, {'D', 700000, 'F', 0, C},  {'D', 600000, 'F', 0, U},
        {'x', 1000, 'F', 0, S},   {'B', 1000, 'N', 1, U},    {'B', 1001, 'N', 2, U},
        {'B', 180001, 'N', 5, U}, {'B', 400001, 'N', 0, U},  {'C', 199999, 'N', 1, U},
        {'G', 0, 'N', 7, U},      {'E', 11, 'N', 0, U},      {'E', 100000, 'N', 2, U},
        {'x', 0, 'N', 0, U}};
    for (const auto& [file, pos, search, second, fallback] : rows) {
        const auto direction = search == 'B' ? SearchDirection::Backward : SearchDirection::Forward;
        const GopSearchContext ctx = Context(file);
        const GopSearchResult got =
            search == 'N' ? FindNextGopHeader(ctx, pos) : FindGopTimecode(ctx, pos, direction);
        EXPECT_EQ(got.headerPos, HeaderPos(file, second)) << file << " " << search << " " << pos;
        EXPECT_EQ(got.timecode, SecondText(second)) << file << " " << search << " " << pos;
        EXPECT_TRUE(got.found == (second != 0) && (second || got.fallback == fallback)) << pos;
    }
    const std::pair<QString, int> first[] = {{Path('F'), 7}, {Path('G'), 7}, {Path('C'), 1},
                                             {Path('D'), 1}, {Path('H'), 3}, {dir.path(), 0},
                                             {Path('x'), 0}};
    for (const auto& [path, second] : first)
        EXPECT_EQ(ReadFirstGopTimecode(path, 25, false), SecondText(second)) << path.toStdString();
}

// GOP n of the 25 fps test videos starts at picture 12n - 2 (its two B-pictures come first).
QString NthGopText(qsizetype n) {
    return QTime(0, 0).addMSecs(n == 0 ? 0 : int(12 * n - 2) * 40).toString("hh:mm:ss.zzz");
}

QList<qint64> GopOffsets(const QByteArray& bytes, qint64 base = 0) {
    QList<qint64> found;
    for (qsizetype i = bytes.indexOf(GopCode); i >= 0; i = bytes.indexOf(GopCode, i + 1))
        found += base + i;
    return found;
}

// Every header of a file with pal.mpg's last 2 MB beyond 4 GiB, found with QByteArray::indexOf
// and counted from the video's first GOP: a header lies wholly before a position from 10 bytes
// after its start on; forward, the last one whose time code lies in the 100000 bytes from there.
TEST(GopSearchVideos, FindsEveryHeaderWithItsTimecode) {
    const QByteArray pal = ReadAll(TestVideo("pal.mpg")), tail = pal.right(2000000);
    const qint64 size = (qint64(1) << 32) + 1000000;
    QTemporaryDir dir;
    ASSERT_TRUE(MakeSparseFile(dir.filePath("big.vob"), size, pal.left(1500000), tail));
    const GopSearchContext ctx{dir.filePath("big.vob"), size};
    const QList<qint64> gops = GopOffsets(tail, size - tail.size());
    const qsizetype before = GopOffsets(pal).size() - gops.size();
    EXPECT_EQ(ReadFirstGopTimecode(TestVideo("pal.mpg"), 25, false), NthGopText(0));
    const auto find = [&ctx](qint64 pos, SearchDirection direction) {
        return FindGopTimecode(ctx, pos, direction).headerPos;
    };
    for (qsizetype n = 0; n < gops.size(); ++n) {
        const GopSearchResult here = FindNextGopHeader(ctx, gops[n]);
        EXPECT_EQ(here.headerPos, gops[n] + 1);
        EXPECT_EQ(here.timecode, NthGopText(before + n)) << gops[n];
        EXPECT_EQ(FindNextGopHeader(ctx, gops[n] + 1).headerPos,
                  n + 1 < gops.size() ? gops[n + 1] + 1 : 0);
        EXPECT_EQ(find(gops[n] + 10, SearchDirection::Backward), gops[n] + 1);
        EXPECT_EQ(find(gops[n] + 9, SearchDirection::Backward), n > 0 ? gops[n - 1] + 1 : 0);
        const auto last = std::lower_bound(gops.begin(), gops.end(), gops[n] + 99991);
        EXPECT_EQ(find(gops[n], SearchDirection::Forward), *std::prev(last) + 1) << gops[n];
    }
}

} // namespace
