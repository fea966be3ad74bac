#include "stream/ByteSearch.h"

#include <QList>
#include <gtest/gtest.h>

namespace {

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

// Plain loops over every start position: the meaning of the four searches, written out.
bool MatchesAt(const QByteArray& block, const QByteArray& pattern, qsizetype pos1) {
    return pos1 >= 1 && pos1 - 1 + pattern.size() <= block.size() &&
           block.mid(pos1 - 1, pattern.size()) == pattern;
}

qsizetype ReferenceFirst(const QByteArray& block, const QByteArray& pattern, qsizetype from) {
    if (pattern.isEmpty())
        return 0;
    for (qsizetype p = qMax<qsizetype>(from, 1); p <= block.size(); ++p)
        if (MatchesAt(block, pattern, p))
            return p;
    return 0;
}

qsizetype ReferenceLastStartingBy(const QByteArray& block, const QByteArray& pattern,
                                  qsizetype startAtMost) {
    if (pattern.isEmpty())
        return 0;
    for (qsizetype p = qMin(startAtMost, block.size()); p >= 1; --p)
        if (MatchesAt(block, pattern, p))
            return p;
    return 0;
}

qsizetype ReferenceLastEndingBy(const QByteArray& block, const QByteArray& pattern,
                                qsizetype endAtMost) {
    if (pattern.isEmpty())
        return 0;
    for (qsizetype p = qMin(endAtMost, block.size()) - pattern.size() + 1; p >= 1; --p)
        if (MatchesAt(block, pattern, p))
            return p;
    return 0;
}

qsizetype ReferenceCount(const QByteArray& block, const QByteArray& pattern, qsizetype from) {
    qsizetype count = 0;
    for (qsizetype p = qMax<qsizetype>(from, 1); p <= block.size(); ++p)
        count += MatchesAt(block, pattern, p) ? 1 : 0;
    return pattern.isEmpty() ? 0 : count;
}

// Deterministic bytes drawn mostly from 00 and 01, so start codes overlap and near-misses abound.
QByteArray StartCodeSoup(qsizetype size, quint32 seed) {
    static const char alphabet[] = {0, 0, 0, 1, 1, char(0xB3), char(0xE0), 0x03};
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = alphabet[(seed >> 16) % sizeof(alphabet)];
    }
    return bytes;
}

TEST(ByteSearch, NamedCases) {
    const QByteArray pic = QByteArray(Pattern(StartCode::Picture).data(), 4);
    struct Case {
        const char* name;
        QByteArray block;
        QByteArray pattern;
        qsizetype first;
        qsizetype last;
        qsizetype count;
    };
    const Case cases[] = {
        {"at position 1", Hex("000001b3aaaa"), Hex("000001b3"), 1, 1, 1},
        {"at the very end", Hex("aaaa000001b3"), Hex("000001b3"), 3, 3, 1},
        {"block is the pattern", Hex("000001ba"), Hex("000001ba"), 1, 1, 1},
        {"pattern cut by the end", Hex("aaaa000001"), Hex("000001b3"), 0, 0, 0},
        {"overlapping picture codes", Hex("00000100000100"), pic, 1, 4, 2},
        {"zero run", Hex("0000000000"), Hex("0000"), 1, 4, 4},
        {"anchor byte without a match", Hex("01010001aa000001"), Hex("000001"), 6, 6, 1},
        {"anchor byte twice in a row", Hex("00000101"), Hex("000001"), 1, 1, 1},
        {"empty block", QByteArray(), Hex("000001"), 0, 0, 0},
        {"block shorter than pattern", Hex("0000"), Hex("000001"), 0, 0, 0},
        {"empty pattern", Hex("000001"), QByteArray(), 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindFirst(c.block, c.pattern), c.first);
        EXPECT_EQ(FindLast(c.block, c.pattern), c.last);
        EXPECT_EQ(CountFrom(c.block, c.pattern), c.count);
    }
}

TEST(ByteSearch, LimitsAtTheBlockEdges) {
    const QByteArray block = Hex("000001e0aaaa000001e0aa000001e0");
    const QByteArrayView code = Pattern(StartCode::VideoPacket);
    EXPECT_EQ(FindFirst(block, code, 0), 1);
    EXPECT_EQ(FindFirst(block, code, 2), 7);
    EXPECT_EQ(FindFirst(block, code, 12), 12);
    EXPECT_EQ(FindFirst(block, code, 13), 0);
    EXPECT_EQ(FindFirst(block, code, 100), 0);

    EXPECT_EQ(FindLastStartingBy(block, code, 0), 0);
    EXPECT_EQ(FindLastStartingBy(block, code, 1), 1);
    EXPECT_EQ(FindLastStartingBy(block, code, 11), 7);
    EXPECT_EQ(FindLastStartingBy(block, code, 12), 12);
    EXPECT_EQ(FindLastStartingBy(block, code, 1000), 12);

    EXPECT_EQ(FindLastEndingBy(block, code, 3), 0);
    EXPECT_EQ(FindLastEndingBy(block, code, 4), 1);
    EXPECT_EQ(FindLastEndingBy(block, code, 14), 7);
    EXPECT_EQ(FindLastEndingBy(block, code, 15), 12);
    EXPECT_EQ(FindLastEndingBy(block, code, 1000), 12);

    EXPECT_EQ(CountFrom(block, code, 1), 3);
    EXPECT_EQ(CountFrom(block, code, 8), 1);
    EXPECT_EQ(CountFrom(block, code, 15), 0);
}

TEST(ByteSearch, AgreesWithPlainLoopsEverywhere) {
    const QList<QByteArray> patterns = {Hex("000001"), Hex("0000"),         Hex("000001b3"),
                                        Hex("01"),     Hex("000001bf03d4"), Hex("e00000")};
    for (quint32 seed = 1; seed <= 12; ++seed) {
        const QByteArray block = StartCodeSoup(40 + seed * 7, seed);
        for (const QByteArray& pattern : patterns) {
            for (qsizetype at = -1; at <= block.size() + 2; ++at) {
                SCOPED_TRACE(testing::Message() << "seed " << seed << " pattern "
                                                << pattern.toHex().constData() << " at " << at);
                ASSERT_EQ(FindFirst(block, pattern, at), ReferenceFirst(block, pattern, at));
                ASSERT_EQ(FindLastStartingBy(block, pattern, at),
                          ReferenceLastStartingBy(block, pattern, at));
                ASSERT_EQ(FindLastEndingBy(block, pattern, at),
                          ReferenceLastEndingBy(block, pattern, at));
                ASSERT_EQ(CountFrom(block, pattern, at), ReferenceCount(block, pattern, at));
            }
        }
    }
}

} // namespace
