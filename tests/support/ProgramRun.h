#pragma once

#include "support/TestSupport.h"

#include <QDir>
#include <QMap>
#include <QRegularExpression>

inline QByteArray Arg(const QString& text) {
    return QFile::encodeName(text);
}

// `want` is the whole text when it is empty or ends a line, else its start.
inline bool Matches(const QByteArray& got, const QByteArray& want) {
    return want.isEmpty() || want.endsWith('\n') ? got == want : got.startsWith(want);
}

struct RunOptions {
    QStringList allowed = {"out"}; // folders of the tree the run may write in, besides "app"
    // A start that ends in a window: stopped with SIGTERM once, after this many milliseconds, a
    // second passes with less than half a second of processor time (0: wait for its end).
    int stopAfterMs = 0;
    qint64 fileSizeLimit = -1; // writes beyond this many bytes per file fail as on a full disk
    QMap<QString, QString> environment = {}; // over the tree's own; a null value removes one
};

struct RunResult {
    int exitCode = -1;
    QByteArray out, err;
};

// The program as a separate process in a folder tree of its own: home, temp and settings folders,
// a copy of the executable in "app", and "videos" and "out". Every run must end by itself (or
// wait idle in its window), never crash, and write nowhere but the allowed folders.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    RunResult Run(const QList<QByteArray>& args, RunOptions options = {});
    QString Dir(const char* name) const { return root.filePath(QString::fromLatin1(name)); }
    QString AddVideo(const QString& name, const QByteArray& bytes);
    // The folder's bitmaps are whole 24-bit ones, its clips begin with a pack header.
    static void ExpectWholeFiles(const QString& folder);
    QTemporaryDir root;
};
