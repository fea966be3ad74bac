#include "stream/ByteSearch.h"

#include <QList>
#include <gtest/gtest.h>

namespace {

// Blocks mostly of 00 and 01 (overlapping start codes, near-misses, the count's 32-byte steps)
// against QByteArray's search at every limit; one before the block counts as its start.
TEST(ByteSearch, AgreesWithQByteArrayOnStartCodeSoup) {
    static const char alphabet[] = {0, 0, 0, 1, 1, char(0xB3), char(0xE0), 0x03};
    const auto hex = [](const char* h) { return QByteArray::fromHex(h); };
    const QList<QByteArray> patterns = {hex("000001"), hex("0000"),         hex("000001b3"),
                                        hex("01"),     hex("000001bf03d4"), hex("e00000"),
                                        QByteArray()};
    quint32 seed = 1;
    for (qsizetype size = 0; size <= 140; size += size ? 9 : 40) {
        QByteArray b(size, '\0');
        for (char& byte : b)
            byte = alphabet[((seed = seed * 1103515245u + 12345u) >> 16) % sizeof(alphabet)];
        for (const QByteArray& p : patterns) {
            for (qsizetype at = -1; at <= size + 2; ++at) {
                const qsizetype end = qMin(at, size), from = qMax<qsizetype>(at, 1) - 1;
                const QList<qsizetype> expected =
                    p.isEmpty()
                        ? QList<qsizetype>(4, 0)
                        : QList<qsizetype>(
                              {b.indexOf(p, from) + 1, at < 1 ? 0 : b.lastIndexOf(p, end - 1) + 1,
                               end < p.size() ? 0 : b.lastIndexOf(p, end - p.size()) + 1,
                               b.mid(from).count(p)});
                ASSERT_EQ(QList<qsizetype>({FindFirst(b, p, at), FindLastStartingBy(b, p, at),
                                            FindLastEndingBy(b, p, at), CountFrom(b, p, at)}),
                          expected)
                    << b.toHex().constData() << " pattern " << p.toHex().constData() << " at "
                    << at;
            }
            ASSERT_EQ(FindLast(b, p), p.isEmpty() ? 0 : b.lastIndexOf(p) + 1);
        }
    }
    const QByteArray b = hex("b30001e0");
    EXPECT_EQ(QList<int>({ByteAt(b, 0), ByteAt(b, 1), ByteAt(b, 4), ByteAt(b, 5)}),
              QList<int>({0, 0xb3, 0xe0, 0}));
}

} // namespace
