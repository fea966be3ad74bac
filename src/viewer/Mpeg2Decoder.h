#pragma once

#include <QtGlobal>
#include <memory>

// Picture size as the decoder reports it: 16 bytes, width and height first.
struct TVideoFrameInfo {
    qint32 Width = 0;
    qint32 Height = 0;
    qint32 Reserved[2] = {0, 0};
};
static_assert(sizeof(TVideoFrameInfo) == 16);

// File state as the decoder reports it: 24 bytes; the 64-bit field at byte 8 is the position.
struct TVideoFileInfo {
    qint64 Reserved0 = 0;
    qint64 Position = 0;
    qint64 Reserved1 = 0;
};
static_assert(sizeof(TVideoFileInfo) == 24);

// The MPEG-1/MPEG-2 video decoder: one open file and one decoding position. Pictures come out as
// 24-bit bottom-up BGR rows (width x height x 3 bytes, no row padding), or on request as top-down
// rows of 32-bit words 0xffRRGGBB (width x height x 4 bytes), which the screen paints directly;
// when an output size is set, pictures are scaled to it in the same conversion.
// Positions are byte offsets: a seek enters the stream at a byte offset and the next picture is the
// first one that decodes completely from there; the reported position grows with every picture
// returned and stops changing at the end of the stream.
class Mpeg2Decoder {
public:
    Mpeg2Decoder();
    ~Mpeg2Decoder();
    Mpeg2Decoder(const Mpeg2Decoder&) = delete;
    Mpeg2Decoder& operator=(const Mpeg2Decoder&) = delete;

    // Opens the file named by the zero-terminated 8-bit path; the two numbers are kept for the
    // interface and not used. Returns 0 on success, a negative number when the file cannot be
    // decoded (the decoder then gives black pictures, or none when the size is unknown).
    qint32 OpenMPEG2File(const char* fileName, qint64 start, qint64 end);
    void CloseMPEG2File();
    void GetMPEG2FrameInfo(TVideoFrameInfo* info) const;
    // 1 selects 24-bit bottom-up BGR (the format of a new decoder), 2 top-down 32-bit words; other
    // values select 1.
    void SetMPEG2PixelFormat(qint32 format);
    // Pictures come out scaled to width x height; 0 x 0 (the start): at the picture size.
    void SetMPEG2OutputSize(qint32 width, qint32 height);
    // 1: studio-range video (Y 16..235) is stretched to full RGB 0..255; 0: no stretching.
    void SetRGBScaleFlag(qint32 flag);
    void MPEG2Seek(qint64 offset);
    void GetMPEG2FileInfo(TVideoFileInfo* info) const;
    // The next picture; valid until the next call into the decoder. Null when nothing can be
    // shown (no file, or a file whose picture size is unknown).
    const uchar* GetMPEG2Frame();
    // What GetMPEG2FrameInto writes: the next picture; the next picture, with the decoding
    // after it started at once (as DecodeAhead does) so that it runs while this one is converted
    // and shown; or the picture handed out last, converted again at the output size now set.
    enum class Into { Next, NextAndDecodeAhead, Again };
    // GetMPEG2Frame for the 32-bit pixel format, the picture written straight into the caller's
    // `width` x `height` rows, `bytesPerLine` apart. False when nothing was written: no picture to
    // show, the 24-bit format, or a picture of another size (the stream changed size;
    // GetMPEG2FrameInfo tells the new one).
    bool GetMPEG2FrameInto(uchar* rows, qint32 width, qint32 height, qsizetype bytesPerLine,
                           Into what = Into::Next);

    // Starts the decoding that the next picture or position asked for needs, on a thread of its
    // own, so that it runs while the caller shows the picture it has; any later call waits for it
    // to end (GetMPEG2FrameInfo only where it may change the size). What the decoder hands out
    // stays the same.
    void DecodeAhead();

    // Type of the picture GetMPEG2Frame returned last ('I', 'P', 'B'; '?' when none), for
    // diagnostics and tests.
    char LastPictureType() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
