#pragma once

#include <QByteArray>
#include <QString>

#include <fuzzer/FuzzedDataProvider.h>

// A file on a memory file system that each fuzz input is written into, so the code under test
// reads it by path as it reads a user's video. One file per process, rewritten for every input.
class FuzzFile {
public:
    // The folder holding the file (and anything a target writes, such as a clip).
    static QString Folder();
    // Writes `head`, and, when `holeBytes` is not 0, leaves a hole of that many zero bytes
    // before `tail`: a sparse file as large as a long DVD title, with video at both ends.
    static QString Write(const QByteArray& head, qint64 holeBytes = 0,
                         const QByteArray& tail = QByteArray());
    // The common layout: the input's bytes, split into head and tail around a hole of up to
    // 5 GiB when the provider asks for one (positions beyond 4 GiB are reached that way).
    static QString WriteWithOptionalHole(FuzzedDataProvider& provider);
    // Length of the file written last.
    static qint64 Size();
};

// Bytes of the input as a byte array.
inline QByteArray ToBytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Stops the run with a message when a property of the code under test does not hold; the fuzzer
// keeps the input that broke it.
[[noreturn]] void FuzzFailure(const char* what);
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            FuzzFailure(#condition);                                                               \
    } while (false)
