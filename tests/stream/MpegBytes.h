#pragma once

// Hand-made MPEG stream bytes: headers with chosen fields, filler (AA) holding no start code.

#include <QByteArray>
#include <initializer_list>
#include <utility>

namespace MpegBytes {

inline const auto Filler = [](qsizetype count) { return QByteArray(count, char(0xAA)); };
inline const auto PadTo = [](QByteArray& bytes, qsizetype size) {
    bytes += Filler(qMax<qsizetype>(0, size - bytes.size()));
};

// Puts `header` at `offset`, padding with filler up to it.
inline void PlaceAt(QByteArray& bytes, qsizetype offset, const QByteArray& header) {
    if (bytes.size() > offset)
        qFatal("PlaceAt: the bytes already reach past offset %lld", static_cast<long long>(offset));
    PadTo(bytes, offset);
    bytes += header;
}
// `size` bytes with each piece at its offset (in increasing order), filler between them.
inline QByteArray Layout(std::initializer_list<std::pair<qsizetype, QByteArray>> pieces,
                         qsizetype size) {
    QByteArray bytes;
    for (const auto& [offset, piece] : pieces)
        PlaceAt(bytes, offset, piece);
    PadTo(bytes, size);
    return bytes;
}
// The low `count` bytes of `bits`, most significant first.
inline QByteArray Bits(quint64 bits, int count) {
    QByteArray b;
    for (int i = count - 1; i >= 0; --i)
        b += char(bits >> (8 * i));
    return b;
}
inline const auto StartCode = [](quint8 code) { return Bits(0x100 | code, 4); };

// Sequence header without quantiser matrices, 21 bytes with the extension of MPEG-2.
inline const auto SequenceHeader = [](quint64 width, quint64 height, quint64 aspect, quint64 rate,
                                      bool mpeg2 = true) {
    return StartCode(0xB3) + Bits(width << 20 | height << 8 | aspect << 4 | rate, 4) +
           QByteArray::fromHex(mpeg2 ? "FFFFE0A0000001B5148A000100" : "FFFFE0A0");
};
// A GOP header of 8 bytes; `reserved` goes to the five low bits, zero in a valid header.
inline const auto GopHeader = [](quint32 h, quint32 m, quint32 s, quint32 pictures,
                                 bool drop = false, bool marker = true, quint32 reserved = 0) {
    return StartCode(0xB8) + Bits(quint32(drop) << 31 | h << 26 | m << 20 | quint32(marker) << 19 |
                                      s << 13 | pictures << 7 | 1u << 6 | reserved,
                                  4);
};

// A picture start code with a short body of filler: 6 + `bodyBytes` bytes.
inline const auto Picture = [](qsizetype bodyBytes = 100) {
    return StartCode(0x00) + QByteArray::fromHex("0008") + Filler(bodyBytes);
};
inline const auto Pictures = [](int count) { return Picture(100).repeated(count); };

// MPEG-2 pack header of 14 bytes: the 33-bit clock reference between marker bits, no stuffing.
inline const auto PackHeader = [](quint64 s) {
    const quint64 bits = 0x4400'0400'0401 | (s >> 30 & 7) << 43 | (s >> 15 & 0x7FFF) << 27;
    return StartCode(0xBA) + Bits(bits | (s & 0x7FFF) << 11, 6) + QByteArray::fromHex("0189C3F8");
};

// A packet of stream `id` in the MPEG-2 form (9 + fields + payload bytes): its length, the flag
// bytes 81 00, the length of the optional fields and `fields` as those, then the payload.
inline QByteArray Packet(quint8 id, const QByteArray& payload, const QByteArray& fields = {}) {
    return StartCode(id) + Bits(3 + fields.size() + payload.size(), 2) +
           QByteArray::fromHex("8100") + char(fields.size()) + fields + payload;
}

} // namespace MpegBytes
