#pragma once

#include "stream/Flag.h"
#include "viewer/Mpeg2Decoder.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QtGlobal>
#include <functional>

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

// The frame source: the one road from the program to the decoder. Every change of the shown
// picture closes and reopens the decoder and seeks, or asks for the next picture; the decoded
// picture is handed out as `Picture`, top-down in 32-bit pixels, ready to be drawn unscaled.
class MpegLibModule {
public:
    TVideoFrameInfo FrameInfo;
    BitmapInfoHeader FrameBitmapHeader;
    Flag ScaleRgb = FlagTrue;
    qint64 DecoderPos = 0;
    // The last picture decoded, at the size it is shown; it stays when the decoder has nothing new
    // to show.
    QImage Picture;
    // The size a picture of the stream's size is shown at; unset: the stream's own. The picture
    // is scaled in the decoder's conversion.
    std::function<QSize(QSize)> ShownSizeOf;

    void CloseDecoder();
    void OpenDecoder(const QString& videoFile);
    // Seeks to the byte position, decodes the next picture and keeps the decoder position.
    void SeekAndRender(qint64 position);
    // Reports the decoder position in `position`, then decodes the next picture.
    void RenderNextFrame(qint64& position);
    // Converts the shown picture again after ShownSizeOf has changed.
    void Redraw();
    // The shown picture at the stream's size (what saving writes).
    QImage StreamPicture();

    Mpeg2Decoder& decoder() { return decoder_; }

private:
    // The next picture into `Picture`; with `decodeAhead` the decoding after it is started first.
    void DrawFrameBuffer(bool decodeAhead);
    // Hands the decoder the size ShownSizeOf gives for the current stream size; true when it
    // changed.
    bool ApplyShownSize();
    // The decoder's picture written into `picture`; false when nothing of its size was written.
    bool Into(QImage& picture, Mpeg2Decoder::Into what);

    Mpeg2Decoder decoder_;
    QImage spare_; // the picture before `Picture`, filled next while `Picture` is still shown
    QSize shown_;  // the size the decoder converts to
};

// The picture's bitmap header for a width and height: height positive, image size without row
// rounding; false when the size does not fit 32 bits.
bool BuildBitmapHeader(qint32 width, qint32 height, BitmapInfoHeader& header);
