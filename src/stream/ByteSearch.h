#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Exact byte-pattern search over a block read from a video file. Positions are 1-based within the
// block (0 means "not found"), the way the scanner and the time-code search count them.

// MPEG start codes and the DVD navigation packets the program looks for.
namespace StartCode {
inline constexpr char Picture[] = {0, 0, 1, char(0x00)};
inline constexpr char SequenceHeader[] = {0, 0, 1, char(0xB3)};
inline constexpr char Extension[] = {0, 0, 1, char(0xB5)};
inline constexpr char Gop[] = {0, 0, 1, char(0xB8)};
inline constexpr char Pack[] = {0, 0, 1, char(0xBA)};
inline constexpr char VideoPacket[] = {0, 0, 1, char(0xE0)};
inline constexpr char NavPacket1[] = {0, 0, 1, char(0xBF), 0x03, char(0xD4)};
inline constexpr char NavPacket2[] = {0, 0, 1, char(0xBF), 0x03, char(0xFA)};
} // namespace StartCode

template <size_t N> constexpr QByteArrayView Pattern(const char (&bytes)[N]) {
    return QByteArrayView(bytes, N);
}

// First occurrence starting at or after `from` (1-based) among the first `length` bytes.
qsizetype FindFirst(QByteArrayView block, QByteArrayView pattern, qsizetype from = 1);

// Last occurrence whose first byte is at or before `startAtMost` (1-based).
qsizetype FindLastStartingBy(QByteArrayView block, QByteArrayView pattern, qsizetype startAtMost);

// Last occurrence that lies wholly within the first `endAtMost` bytes.
qsizetype FindLastEndingBy(QByteArrayView block, QByteArrayView pattern, qsizetype endAtMost);

// Last occurrence in the whole block.
inline qsizetype FindLast(QByteArrayView block, QByteArrayView pattern) {
    return FindLastEndingBy(block, pattern, block.size());
}

// Number of occurrences at or after `from`, the search going on one byte after each match.
qsizetype CountFrom(QByteArrayView block, QByteArrayView pattern, qsizetype from = 1);

// Byte at a 1-based position, 0 outside the block.
inline quint8 ByteAt(QByteArrayView block, qsizetype pos1) {
    return (pos1 >= 1 && pos1 <= block.size()) ? static_cast<quint8>(block[pos1 - 1]) : 0;
}
