#include "stream/GopHeader.h"

#include "stream/ByteSearch.h"

GopTimeCode DecodeGopHeader(QByteArrayView block, qsizetype pos1) {
    const quint8 b0 = ByteAt(block, pos1 + 4);
    const quint8 b1 = ByteAt(block, pos1 + 5);
    const quint8 b2 = ByteAt(block, pos1 + 6);
    const quint8 b3 = ByteAt(block, pos1 + 7);
    GopTimeCode tc;
    tc.dropFrame = (b0 & 0x80) != 0;
    tc.hours = (b0 >> 2) & 0x1F;
    tc.minutes = ((b0 & 0x03) << 4) | (b1 >> 4);
    const bool marker = (b1 & 0x08) != 0;
    tc.seconds = ((b1 & 0x07) << 3) | (b2 >> 5);
    tc.pictures = ((b2 & 0x1F) << 1) | (b3 >> 7);
    tc.valid = marker && (b3 & 0x1F) == 0 && tc.hours < 24;
    return tc;
}
