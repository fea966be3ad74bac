#include "stream/FileAccess.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

using FileAccess = TempFolderTest;

// Reads into a buffer of 'Z' from a sparse file past 4 GiB with random bytes at both ends (a read
// from the wrong place, or an offset cut to 32 bits, shows): offset, count, from end; bytes read.
TEST_F(FileAccess, ReadsAtTheEdgesOfAFile) {
    const qint64 size = (qint64(1) << 32) + 250000, high = (qint64(1) << 32);
    const QByteArray head = RandomBytes(250000, 7), tail = RandomBytes(250000, 8);
    const QString path = dir.filePath("sparse.bin");
    ASSERT_TRUE(MakeSparseFile(path, size, head, tail));
    // clang-format off
    const std::tuple<qint64, qint32, bool, QByteArray> rows[] = {
        {0, 100000, false, head.left(100000)}, {123457, 1000, false, head.mid(123457, 1000)},
        {-5, 10, false, {}}, {249995, 10, false, head.right(5) + QByteArray(5, 0)},
        {high + 5, 10, false, tail.mid(5, 10)}, {size - 5, 20, false, tail.right(5)},
        {size, 10, false, {}}, {100000, 100000, true, tail.right(100000)},
        {1, 1, true, tail.right(1)}, {size + 9, 4, true, head.left(4)}};
    // clang-format on
    OpenFile open(path);
    for (const auto& [offset, count, fromEnd, read] : rows) {
        const QByteArray expected = read + QByteArray(count - read.size(), 'Z');
        QByteArray block(count, 'Z'), at(count, 'Z'), grown;
        ReadFileBlock(path, count, offset, fromEnd, block);
        EXPECT_EQ(block, expected) << offset;
        if (!fromEnd) { // ReadOpenFileBlock grows a smaller buffer to the count
            EXPECT_EQ(QList<qint64>({ReadFileBlockAt(path, count, offset, at),
                                     ReadOpenFileBlock(open, count, offset, grown), grown.size()}),
                      QList<qint64>({read.size(), read.size(), offset < 0 ? 0 : count}));
            EXPECT_EQ(QList<QByteArray>({at, grown.left(read.size())}),
                      QList<QByteArray>({expected, read}));
        }
    }
    QByteArray sized("ZZZZZZ"); // no more than the count, no more than the buffer
    ReadFileBlock(path, 4, 0, false, sized);
    EXPECT_EQ(sized, head.left(4) + "ZZ");
    ReadFileBlock(path, 9, 0, false, sized);
    EXPECT_EQ(sized, head.left(6));
    EXPECT_EQ(QList<qint64>({FileSizeOf(path), open.size(), FileSizeOf(Write("empty.bin", {})),
                             FileExists(path), FileExists(Write(".hidden.vob", "x"))}),
              QList<qint64>({size, size, 0, 1, 1}));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    for (const QString& other : {dir.filePath("missing.bin"), dir.filePath("folder"), QString()}) {
        QByteArray block(16, 'Z'), at(16, 'Z');
        ReadFileBlock(other, 16, 0, false, block);
        EXPECT_EQ(QList<qint64>({FileSizeOf(other), ReadFileBlockAt(other, 16, 0, at),
                                 ReadOpenFileBlock(OpenFile(other), 16, 0, block), block.size(),
                                 at.size(), FileExists(other), OpenFile(other).isOpen()}),
                  QList<qint64>({0, 0, 0, 0, 0, 0, 0}))
            << other.toStdString();
    }
}

} // namespace
