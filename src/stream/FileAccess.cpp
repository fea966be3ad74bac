#include "stream/FileAccess.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int OpenForReading(const QString& path) {
    if (path.isEmpty())
        return -1;
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

qint64 SizeOfOpen(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<qint64>(st.st_size) : 0;
}

// Reads until `count` bytes are in or the file ends.
qint64 ReadFully(int fd, char* dest, qint64 count, qint64 offset) {
    qint64 done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, dest + done, static_cast<size_t>(count - done),
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

qint32 ReadInto(int fd, qint32 count, qint64 offset, QByteArray& buffer) {
    if (count <= 0 || offset < 0)
        return 0;
    if (buffer.size() < count)
        buffer.resize(count, '\0');
    return static_cast<qint32>(ReadFully(fd, buffer.data(), count, offset));
}

} // namespace

qint64 FileSizeOf(const QString& path) {
    const int fd = OpenForReading(path);
    if (fd < 0)
        return 0;
    const qint64 size = SizeOfOpen(fd);
    ::close(fd);
    return size;
}

void ReadFileBlock(const QString& path, qint32 count, qint64 offset, bool fromEnd,
                   QByteArray& buffer) {
    const int fd = OpenForReading(path);
    if (fd < 0) {
        buffer.clear();
        return;
    }
    qint64 start = offset;
    if (fromEnd)
        start = qMax<qint64>(0, SizeOfOpen(fd) - offset);
    const qint64 wanted = qMin<qint64>(count, buffer.size());
    if (wanted > 0 && start >= 0)
        ReadFully(fd, buffer.data(), wanted, start);
    ::close(fd);
}

qint32 ReadFileBlockAt(const QString& path, qint32 count, qint64 offset, QByteArray& buffer) {
    const int fd = OpenForReading(path);
    if (fd < 0) {
        buffer.clear();
        return 0;
    }
    const qint32 got = ReadInto(fd, count, offset, buffer);
    ::close(fd);
    return got;
}

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return !S_ISDIR(st.st_mode);
}

OpenFile::OpenFile(const QString& path) : fd_(OpenForReading(path)) {}

OpenFile::~OpenFile() { close(); }

OpenFile::OpenFile(OpenFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

OpenFile& OpenFile::operator=(OpenFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

qint64 OpenFile::size() const { return fd_ >= 0 ? SizeOfOpen(fd_) : 0; }

void OpenFile::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

qint32 OpenFile::readAt(qint64 offset, qint32 count, QByteArray& buffer) const {
    return fd_ >= 0 ? ReadInto(fd_, count, offset, buffer) : 0;
}

qint32 ReadOpenFileBlock(const OpenFile& file, qint32 count, qint64 offset, QByteArray& buffer) {
    return file.readAt(offset, count, buffer);
}
