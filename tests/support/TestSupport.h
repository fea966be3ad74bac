#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

// Folder of the generated test videos (made by tests/fixtures/make_test_videos.sh).
QString TestVideoDir();
QString TestVideo(const QString& name);

// Path of the program under test.
QString CueboardBinary();

// The pictures ffprobe decodes from the first video stream of a file; -1 when it cannot tell.
qint64 DecodedPictures(const QString& path);

// Whole contents of a file; empty when it cannot be read.
QByteArray ReadAll(const QString& path);

// Writes `bytes` to `path` (replacing it); false on failure.
bool WriteAll(const QString& path, const QByteArray& bytes);

// Stores the front-end's language setting (Startup/LangID) in the test's private settings, or
// removes it.
void StoreLangId(const std::optional<QString>& value);

// `size` bytes of seeded random garbage (the same for the same seed).
QByteArray RandomBytes(qsizetype size, quint32 seed);

// A chapter list of `count` lines "HH:MM:SS.000" CR LF, one second apart from 00:00:00.
QByteArray TimeLines(int count);

// The texts of a list box, first to last.
class QListWidget;
QStringList Entries(const QListWidget* list);

// The names of the files in a folder (hidden ones too), sorted.
QStringList FilesIn(const QString& folder);

// A test's own temporary folder and a way to write files into it.
class TempFolderTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(WriteAll(path, bytes));
        return path;
    }
};

// Makes a sparse file of `size` bytes with `head` at its start and `tail` at its end.
bool MakeSparseFile(const QString& path, qint64 size, const QByteArray& head,
                    const QByteArray& tail);
