#pragma once

#include "stream/Flag.h"
#include "viewer/Mpeg2Decoder.h"

#include <QImage>
#include <QtGlobal>

class PictureBox;

// The header that describes a decoded picture: the 40-byte device-independent bitmap header of a
// 24-bit bottom-up picture. Saved bitmaps use the same layout.
struct BitmapInfoHeader {
    quint32 biSize = 40;
    qint32 biWidth = 0;
    qint32 biHeight = 0; // positive: rows are stored bottom-up
    quint16 biPlanes = 1;
    quint16 biBitCount = 24;
    quint32 biCompression = 0;
    quint32 biSizeImage = 0;
    qint32 biXPelsPerMeter = 0;
    qint32 biYPelsPerMeter = 0;
    quint32 biClrUsed = 0;
    quint32 biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// The one road from the program to the decoder: every change of the shown picture closes and
// reopens the decoder and seeks, or asks for the next picture. Pictures are drawn unscaled into
// the editor's picture box `Picture1`.
class MpegLibModule {
public:
    TVideoFrameInfo FrameInfo;
    BitmapInfoHeader FrameBitmapHeader;
    Flag ScaleRgb = FlagTrue;
    qint64 DecoderPos = 0;

    // The picture box pictures are drawn into; null draws nowhere.
    void setPicture1(PictureBox* box) { picture1_ = box; }
    PictureBox* picture1() const { return picture1_; }

    void CloseDecoder();
    // Opens the record's VideoFile; with `resize` the picture box becomes exactly the picture's
    // size (only the editor start asks for that).
    void OpenDecoder(bool resize);
    // Seeks to the byte position, draws the next picture and keeps the decoder position.
    void SeekAndRender(qint64 position);
    // Reports the decoder position in `position`, then draws the next picture.
    void RenderNextFrame(qint64& position);

    Mpeg2Decoder& decoder() { return decoder_; }

private:
    void DrawFrameBuffer();

    Mpeg2Decoder decoder_;
    PictureBox* picture1_ = nullptr;
    QImage rows_; // the decoded picture turned top-down, before it becomes the shown picture
};

// The module of this run.
MpegLibModule& MpegLib();

// The picture's bitmap header for a width and height: height positive, image size without row
// rounding; false when the size does not fit 32 bits.
bool BuildBitmapHeader(qint32 width, qint32 height, BitmapInfoHeader& header);
