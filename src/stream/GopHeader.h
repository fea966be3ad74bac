#pragma once

#include <QByteArrayView>

// The time code stored in a group-of-pictures header: the four bytes after 00 00 01 B8.
struct GopTimeCode {
    bool dropFrame = false;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int pictures = 0;
    bool valid = false; // marker bit set, reserved bits clear, hours below 24
};

// Decodes the header whose start code begins at the 1-based position `pos1` of the block; bytes
// beyond the block read as 0 (and so make the header invalid).
GopTimeCode DecodeGopHeader(QByteArrayView block, qsizetype pos1);
