#pragma once

#include <QByteArray>
#include <QString>

// Raw file access. Every call opens the file read-only (it must exist and be a regular file),
// positions, reads and closes it again; only OpenFile keeps a file open for a caller that reads
// many blocks in a row. Offsets are 64-bit throughout.

// Length of the file in bytes; 0 when it cannot be opened.
qint64 FileSizeOf(const QString& path);

// Reads `count` bytes into `buffer` at `offset` from the start of the file, or `offset` bytes
// before its end when `fromEnd` is set (an offset beyond the start reads from the start). The
// caller sizes the buffer; a short read leaves the rest of it as it was. When the file cannot be
// opened the buffer is emptied.
void ReadFileBlock(const QString& path, qint32 count, qint64 offset, bool fromEnd,
                   QByteArray& buffer);

// As ReadFileBlock from the start of the file; returns the number of bytes actually read (0 and
// an emptied buffer when the file cannot be opened). A buffer smaller than `count` is grown.
qint32 ReadFileBlockAt(const QString& path, qint32 count, qint64 offset, QByteArray& buffer);

// True when the path names an existing entry that is not a folder (hidden files included).
bool FileExists(const QString& path);

// A file kept open for reading by its owner.
class OpenFile {
public:
    OpenFile() = default;
    explicit OpenFile(const QString& path);
    ~OpenFile();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    OpenFile(OpenFile&& other) noexcept;
    OpenFile& operator=(OpenFile&& other) noexcept;

    bool isOpen() const { return fd_ >= 0; }
    qint64 size() const;
    void close();

    // Reads up to `count` bytes at `offset` into `buffer` (grown when smaller than `count`);
    // returns the number read, 0 at or beyond the end or on any error.
    qint32 readAt(qint64 offset, qint32 count, QByteArray& buffer) const;

private:
    int fd_ = -1;
};

// Reads a block from a file its caller keeps open; returns the number of bytes read.
qint32 ReadOpenFileBlock(const OpenFile& file, qint32 count, qint64 offset, QByteArray& buffer);
