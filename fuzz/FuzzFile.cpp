#include "FuzzFile.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

qint64 lastSize = 0;

void WriteAt(int fd, const QByteArray& bytes, qint64 offset) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = pwrite(fd, bytes.constData() + done,
                                 static_cast<size_t>(bytes.size() - done), offset + done);
        if (n <= 0)
            FuzzFailure("cannot write the fuzz input file");
        done += n;
    }
}

} // namespace

QString FuzzFile::Folder() {
    static const QString folder = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                       : QDir::tempPath();
        const QString path = QStringLiteral("%1/cueboard-fuzz-%2").arg(base).arg(getpid());
        QDir().mkpath(path);
        return path;
    }();
    return folder;
}

QString FuzzFile::Write(const QByteArray& head, qint64 holeBytes, const QByteArray& tail) {
    const QString path = Folder() + QStringLiteral("/input.bin");
    const int fd = open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        FuzzFailure("cannot create the fuzz input file");
    WriteAt(fd, head, 0);
    lastSize = head.size();
    if (holeBytes > 0) {
        lastSize += holeBytes + tail.size();
        if (ftruncate(fd, lastSize) != 0)
            FuzzFailure("cannot size the fuzz input file");
        WriteAt(fd, tail, head.size() + holeBytes);
    }
    close(fd);
    return path;
}

QString FuzzFile::WriteWithOptionalHole(FuzzedDataProvider& provider) {
    const bool hole = provider.ConsumeIntegralInRange<int>(0, 7) == 0;
    const qint64 holeBytes = hole ? provider.ConsumeIntegralInRange<qint64>(1, qint64(5) << 30) : 0;
    const size_t split = provider.ConsumeIntegral<uint32_t>();
    const std::string rest = provider.ConsumeRemainingBytesAsString();
    const QByteArray bytes = QByteArray::fromStdString(rest);
    if (!hole)
        return Write(bytes);
    const qsizetype headSize = static_cast<qsizetype>(split % (rest.size() + 1));
    return Write(bytes.left(headSize), holeBytes, bytes.mid(headSize));
}

qint64 FuzzFile::Size() {
    return lastSize;
}

void FuzzFailure(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
