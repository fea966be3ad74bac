#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

// The program run as a separate process, the way a user or the authoring front-end starts it,
// in a folder tree of its own: its home, temp and settings folders, a copy of the executable (so
// the program folder is known and private), and folders for videos and output. Arguments are
// bytes, so file names that are not UTF-8 reach the program as they are.
class ProgramSandbox {
public:
    ProgramSandbox();
    bool isValid() const { return valid_; }

    QString root() const { return root_.path(); }
    QString videos() const { return folder("videos"); }
    QString out() const { return folder("out"); }
    QString app() const { return folder("app"); }
    QString home() const { return folder("home"); }
    QString temp() const { return folder("tmp"); }
    QString binary() const { return folder("app") + QStringLiteral("/cueboard"); }

    // Every file of the tree but those of the program folder (the program may always write
    // there) and of the folders the libraries below it keep caches in, with a hash of its
    // contents, by path relative to the root.
    QMap<QString, QByteArray> Snapshot() const;

private:
    QString folder(const char* name) const { return root_.filePath(QString::fromLatin1(name)); }
    QTemporaryDir root_;
    bool valid_ = false;
};

struct ProcessOptions {
    int timeoutMs = 90000;
    // Writes beyond this many bytes per file fail as on a full disk (-1: no limit).
    qint64 fileSizeLimit = -1;
    // For a start that ends in a window waiting for the user: after this many milliseconds the
    // process is measured a second at a time until a second passes with less than half a second
    // of processor time (at most eight seconds), then ended with SIGTERM (0: wait for its end).
    int stopAfterMs = 0;
    // Environment variables set for the run over the sandbox's own; a null value removes one.
    QMap<QByteArray, QByteArray> environment = {};
};

struct ProcessResult {
    bool finished = false;   // ended by itself (or was stopped as asked) within the time limit
    int exitCode = -1;       // exit code when it exited
    int signal = 0;          // signal that ended it; SIGTERM for a stopped window
    double busySeconds = -1; // least processor time used in one of the seconds measured
    QByteArray out;
    QByteArray err;
};

ProcessResult RunProgram(const ProgramSandbox& box, const QList<QByteArray>& args,
                         const ProcessOptions& options = {});

// Paths that changed between two snapshots (new, changed or removed files).
QStringList ChangedFiles(const QMap<QString, QByteArray>& before,
                         const QMap<QString, QByteArray>& after);
