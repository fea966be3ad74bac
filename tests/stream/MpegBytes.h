#pragma once

// Builders for hand-made MPEG stream bytes: headers with chosen field values and filler that
// holds no start code, so that tests can place every header at a known offset.

#include <QByteArray>
#include <QtGlobal>

namespace MpegBytes {

// Bytes that never form 00 00 01.
inline QByteArray Filler(qsizetype count) {
    return QByteArray(count, char(0xAA));
}

// Appends filler to `bytes` until it is `size` bytes long.
inline void PadTo(QByteArray& bytes, qsizetype size) {
    if (bytes.size() < size)
        bytes += Filler(size - bytes.size());
}

// Puts `header` at `offset`, padding with filler up to it.
inline void PlaceAt(QByteArray& bytes, qsizetype offset, const QByteArray& header) {
    if (bytes.size() > offset)
        qFatal("PlaceAt: the bytes already reach past offset %lld", static_cast<long long>(offset));
    PadTo(bytes, offset);
    bytes += header;
}

inline QByteArray StartCode(quint8 code) {
    QByteArray b(3, '\0');
    b[2] = 1;
    b += char(code);
    return b;
}

// The start codes the clip tests look for, and the size of the blocks clips are copied in.
inline const QByteArray SeqCode = StartCode(0xB3);
inline const QByteArray PackCode = StartCode(0xBA);
inline const QByteArray GopCode = StartCode(0xB8);
inline constexpr qint64 Block = 100000;

inline QByteArray SequenceHeader(int width, int height, int aspectCode, int rateCode) {
    QByteArray b = StartCode(0xB3);
    b += char(width >> 4);
    b += char(((width & 0x0F) << 4) | ((height >> 8) & 0x0F));
    b += char(height & 0xFF);
    b += char(((aspectCode & 0x0F) << 4) | (rateCode & 0x0F));
    // Bit rate, marker, buffer size, no quantiser matrices.
    b += QByteArray::fromHex("FFFFE0A0");
    return b;
}

inline QByteArray SequenceExtension() {
    return StartCode(0xB5) + QByteArray::fromHex("148A000100");
}

struct GopFields {
    bool dropFrame = false;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int pictures = 0;
    bool marker = true;
    int reserved = 0; // the five low bits of the last byte, zero in a valid header
};

inline QByteArray GopHeader(const GopFields& f) {
    const quint32 bits = (quint32(f.dropFrame) << 31) | (quint32(f.hours & 0x1F) << 26) |
                         (quint32(f.minutes & 0x3F) << 20) | (quint32(f.marker) << 19) |
                         (quint32(f.seconds & 0x3F) << 13) | (quint32(f.pictures & 0x3F) << 7) |
                         (1u << 6) | quint32(f.reserved & 0x1F);
    QByteArray b = StartCode(0xB8);
    for (int shift = 24; shift >= 0; shift -= 8)
        b += char((bits >> shift) & 0xFF);
    return b;
}

inline QByteArray GopHeader(int hours, int minutes, int seconds, int pictures,
                            bool dropFrame = false) {
    GopFields f;
    f.hours = hours;
    f.minutes = minutes;
    f.seconds = seconds;
    f.pictures = pictures;
    f.dropFrame = dropFrame;
    return GopHeader(f);
}

// A picture start code with a short body of filler.
inline QByteArray Picture(qsizetype bodyBytes = 100) {
    return StartCode(0x00) + QByteArray::fromHex("0008") + Filler(bodyBytes);
}

inline QByteArray Pictures(int count, qsizetype bodyBytes = 100) {
    QByteArray b;
    for (int i = 0; i < count; ++i)
        b += Picture(bodyBytes);
    return b;
}

// MPEG-2 pack header with a 33-bit clock reference (extension 0), mux rate and no stuffing.
inline QByteArray PackHeader(qint64 scr) {
    const quint64 s = quint64(scr) & ((quint64(1) << 33) - 1);
    QByteArray b = StartCode(0xBA);
    b += char(0x44 | ((s >> 27) & 0x38) | ((s >> 28) & 0x03));
    b += char((s >> 20) & 0xFF);
    b += char(0x04 | ((s >> 12) & 0xF8) | ((s >> 13) & 0x03));
    b += char((s >> 5) & 0xFF);
    b += char(0x04 | ((s << 3) & 0xF8));
    b += char(0x01);
    b += QByteArray::fromHex("0189C3F8");
    return b;
}

// Start of a video packet (stream E0) with an empty optional header.
inline QByteArray VideoPacketHeader() {
    return StartCode(0xE0) + QByteArray::fromHex("07EC8100");
}

// A whole packet of stream `id` in the MPEG-2 form: its length, the flag bytes 81 00, the length
// of the optional fields and `fields` as those, then the payload.
inline QByteArray Packet(quint8 id, const QByteArray& payload, const QByteArray& fields = {}) {
    const qsizetype length = 3 + fields.size() + payload.size();
    QByteArray b = StartCode(id);
    b += char(length >> 8);
    b += char(length & 0xFF);
    b += char(0x81);
    b += char(0x00);
    b += char(fields.size());
    return b + fields + payload;
}

// DVD navigation packets: private stream 2 of length 980 and 1018 (bodies shortened).
inline QByteArray NavPacket1() {
    return StartCode(0xBF) + QByteArray::fromHex("03D400") + Filler(40);
}
inline QByteArray NavPacket2() {
    return StartCode(0xBF) + QByteArray::fromHex("03FA01") + Filler(40);
}

} // namespace MpegBytes
