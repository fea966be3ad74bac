#include "stream/FileAccess.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr qint64 FourGiB = qint64(1) << 32;

// Bytes whose value depends on their offset, so a read from the wrong place shows.
QByteArray Numbered(qsizetype size) {
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xFF);
    return bytes;
}

class FileAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        content_ = Numbered(250000);
        path_ = dir_.filePath("data.bin");
        ASSERT_TRUE(WriteAll(path_, content_));
    }
    QString Missing() const { return dir_.filePath("missing.bin"); }

    QTemporaryDir dir_;
    QByteArray content_;
    QString path_;
};

TEST_F(FileAccessTest, FileSizeOfRegularFilesOnly) {
    const QString empty = dir_.filePath("empty.bin");
    ASSERT_TRUE(WriteAll(empty, {}));
    EXPECT_EQ(FileSizeOf(path_), 250000);
    EXPECT_EQ(FileSizeOf(empty), 0);
    EXPECT_EQ(FileSizeOf(Missing()), 0);
    EXPECT_EQ(FileSizeOf(dir_.path()), 0);
    EXPECT_EQ(FileSizeOf(QString()), 0);
}

TEST_F(FileAccessTest, ReadFileBlockFromStartAndFromEnd) {
    struct Case {
        const char* name;
        qint64 offset;
        bool fromEnd;
        qsizetype firstByte; // offset in the file of the first byte read
    };
    const Case cases[] = {
        {"start", 0, false, 0},
        {"inside", 123457, false, 123457},
        {"last 100000 bytes", 100000, true, 150000},
        {"from end, whole file", 250000, true, 0},
        {"from end, beyond the start", 400000, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray buffer(100000, '\0');
        ReadFileBlock(path_, 100000, c.offset, c.fromEnd, buffer);
        EXPECT_EQ(buffer, content_.mid(c.firstByte, 100000));
    }
}

TEST_F(FileAccessTest, ReadFileBlockShortReadKeepsTheRestOfTheBuffer) {
    QByteArray buffer(20, 'Z');
    ReadFileBlock(path_, 20, 249995, false, buffer);
    EXPECT_EQ(buffer, content_.right(5) + QByteArray(15, 'Z'));

    QByteArray beyond(8, 'Z');
    ReadFileBlock(path_, 8, 300000, false, beyond);
    EXPECT_EQ(beyond, QByteArray(8, 'Z'));
}

TEST_F(FileAccessTest, ReadFileBlockEmptiesTheBufferWhenTheFileCannotBeOpened) {
    for (const QString& path : {Missing(), dir_.path()}) {
        QByteArray buffer(16, 'Z');
        ReadFileBlock(path, 16, 0, false, buffer);
        EXPECT_TRUE(buffer.isEmpty()) << path.toStdString();
    }
}

TEST_F(FileAccessTest, ReadFileBlockAtReportsTheBytesRead) {
    struct Case {
        qint64 offset;
        qint32 count;
        qint32 expected;
    };
    const Case cases[] = {
        {0, 100000, 100000}, {200000, 100000, 50000}, {249999, 10, 1},
        {250000, 10, 0},     {FourGiB + 5, 10, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        QByteArray buffer(c.count, 'Z');
        EXPECT_EQ(ReadFileBlockAt(path_, c.count, c.offset, buffer), c.expected);
        EXPECT_EQ(buffer.left(c.expected), content_.mid(c.offset, c.expected));
        EXPECT_EQ(buffer.mid(c.expected), QByteArray(c.count - c.expected, 'Z'));
    }
}

TEST_F(FileAccessTest, ReadFileBlockAtGrowsASmallBuffer) {
    QByteArray buffer;
    EXPECT_EQ(ReadFileBlockAt(path_, 300, 1000, buffer), 300);
    EXPECT_EQ(buffer.left(300), content_.mid(1000, 300));
}

TEST_F(FileAccessTest, ReadFileBlockAtOnAMissingFile) {
    QByteArray buffer(16, 'Z');
    EXPECT_EQ(ReadFileBlockAt(Missing(), 16, 0, buffer), 0);
    EXPECT_TRUE(buffer.isEmpty());
}

TEST_F(FileAccessTest, ReadOpenFileBlockReadsManyBlocksFromOneOpenFile) {
    OpenFile file(path_);
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.size(), 250000);
    QByteArray buffer;
    for (qint64 offset : {qint64(240000), qint64(0), qint64(123456)}) {
        const qint32 got = ReadOpenFileBlock(file, 10000, offset, buffer);
        ASSERT_EQ(got, 10000);
        EXPECT_EQ(buffer.left(got), content_.mid(offset, 10000));
    }
    EXPECT_EQ(ReadOpenFileBlock(file, 10000, 245000, buffer), 5000);
    EXPECT_EQ(ReadOpenFileBlock(file, 10000, 250000, buffer), 0);

    OpenFile moved(std::move(file));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(ReadOpenFileBlock(moved, 4, 8, buffer), 4);
    moved.close();
    EXPECT_EQ(ReadOpenFileBlock(moved, 4, 8, buffer), 0);

    const OpenFile missing(Missing());
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(ReadOpenFileBlock(missing, 4, 0, buffer), 0);
}

TEST_F(FileAccessTest, FileExistsForEntriesThatAreNotFolders) {
    const QString hidden = dir_.filePath(".hidden.vob");
    ASSERT_TRUE(WriteAll(hidden, "x"));
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder"));
    EXPECT_TRUE(FileExists(path_));
    EXPECT_TRUE(FileExists(hidden));
    EXPECT_FALSE(FileExists(dir_.filePath("folder")));
    EXPECT_FALSE(FileExists(Missing()));
    EXPECT_FALSE(FileExists(QString()));
}

// Sparse files take no disk space, so sizes of 4 GiB and more cost nothing.
TEST(FileAccessLarge, SizesAroundTheThirtyTwoBitLimits) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (qint64 size : {FourGiB, qint64(3000000000), qint64(2147483648), FourGiB + 1}) {
        SCOPED_TRACE(size);
        const QString path = dir.filePath("sparse.bin");
        ASSERT_TRUE(MakeSparseFile(path, size, "head", "tail"));
        EXPECT_EQ(FileSizeOf(path), size);
        EXPECT_EQ(OpenFile(path).size(), size);
    }
}

TEST(FileAccessLarge, ReadsAboveFourGiB) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("sparse.bin");
    const qint64 size = FourGiB + 500000;
    const QByteArray low = Numbered(64);
    const QByteArray high = "bytes written above four GiB";
    const QByteArray tail = "the last bytes";
    ASSERT_TRUE(MakeSparseFile(path, size, {}, tail));
    {
        // The same low 32 bits as `high` but below 4 GiB: a truncated offset reads this instead.
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(1000));
        ASSERT_EQ(file.write(low), low.size());
        ASSERT_TRUE(file.seek(FourGiB + 1000));
        ASSERT_EQ(file.write(high), high.size());
    }

    QByteArray buffer;
    ASSERT_EQ(ReadFileBlockAt(path, high.size(), FourGiB + 1000, buffer), high.size());
    EXPECT_EQ(buffer, high);

    QByteArray fromStart(high.size(), '\0');
    ReadFileBlock(path, high.size(), FourGiB + 1000, false, fromStart);
    EXPECT_EQ(fromStart, high);

    QByteArray fromEnd(tail.size(), '\0');
    ReadFileBlock(path, tail.size(), tail.size(), true, fromEnd);
    EXPECT_EQ(fromEnd, tail);

    OpenFile file(path);
    QByteArray open;
    ASSERT_EQ(ReadOpenFileBlock(file, high.size(), FourGiB + 1000, open), high.size());
    EXPECT_EQ(open.left(high.size()), high);
    EXPECT_EQ(ReadOpenFileBlock(file, 100, size - 10, open), 10);
    EXPECT_EQ(ReadFileBlockAt(path, 10, size, open), 0);
}

} // namespace
