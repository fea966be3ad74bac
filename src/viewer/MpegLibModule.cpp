#include "viewer/MpegLibModule.h"

#include <QFile>
#include <QImage>
#include <limits>

bool BuildBitmapHeader(qint32 width, qint32 height, BitmapInfoHeader& header) {
    header = BitmapInfoHeader{};
    header.biWidth = width;
    header.biHeight = height;
    const qint64 imageSize = qint64(width) * qint64(height) * 3;
    if (width < 0 || height < 0 || imageSize > std::numeric_limits<qint32>::max())
        return false;
    header.biSizeImage = quint32(imageSize);
    return true;
}

void MpegLibModule::CloseDecoder() {
    decoder_.CloseMPEG2File();
}

void MpegLibModule::OpenDecoder(const QString& videoFile) {
    const QByteArray name = QFile::encodeName(videoFile);
    decoder_.OpenMPEG2File(name.constData(), 0, -10000);
    decoder_.GetMPEG2FrameInfo(&FrameInfo);
    decoder_.SetMPEG2PixelFormat(2);
    decoder_.SetRGBScaleFlag(ScaleRgb != FlagFalse ? 1 : 0);
}

void MpegLibModule::SeekAndRender(qint64 position) {
    decoder_.MPEG2Seek(position);
    TVideoFileInfo info;
    decoder_.GetMPEG2FileInfo(&info);
    DrawFrameBuffer(false);
    DecoderPos = info.Position;
}

void MpegLibModule::RenderNextFrame(qint64& position) {
    TVideoFileInfo info;
    decoder_.GetMPEG2FileInfo(&info);
    position = info.Position;
    // Steps and playback ask for the next picture again soon: it is decoded while this one is
    // converted and drawn.
    DrawFrameBuffer(true);
}

bool MpegLibModule::ApplyShownSize() {
    const QSize stream(FrameInfo.Width, FrameInfo.Height);
    const QSize shown = ShownSizeOf && !stream.isEmpty() ? ShownSizeOf(stream) : stream;
    if (shown == shown_)
        return false;
    shown_ = shown;
    const bool own = shown == stream;
    decoder_.SetMPEG2OutputSize(own ? 0 : shown.width(), own ? 0 : shown.height());
    return true;
}

void MpegLibModule::DrawFrameBuffer(bool decodeAhead) {
    decoder_.GetMPEG2FrameInfo(&FrameInfo);
    const bool sizeFits = BuildBitmapHeader(FrameInfo.Width, FrameInfo.Height, FrameBitmapHeader);
    ApplyShownSize();
    if (!sizeFits || shown_.isEmpty()) {
        decoder_.GetMPEG2Frame();
        decoder_.GetMPEG2FrameInfo(&FrameInfo);
        if (decodeAhead)
            decoder_.DecodeAhead();
        return;
    }
    // Every step writes into memory already in use, never into a picture the window still
    // shows: the picture before the one shown, let go of by now.
    const bool swapped = !Picture.isDetached();
    if (swapped)
        std::swap(Picture, spare_);
    for (bool again = false;; again = true) {
        if (Picture.size() != shown_ || !Picture.isDetached())
            Picture = QImage(shown_, QImage::Format_RGB32);
        const bool got = Into(Picture, again         ? Mpeg2Decoder::Into::Again
                                       : decodeAhead ? Mpeg2Decoder::Into::NextAndDecodeAhead
                                                     : Mpeg2Decoder::Into::Next);
        // The decoder may have met a new picture size while decoding: converted again to fit.
        decoder_.GetMPEG2FrameInfo(&FrameInfo);
        if (ApplyShownSize() && !shown_.isEmpty())
            continue;
        if (!got && swapped)
            std::swap(Picture, spare_);
        return;
    }
}

bool MpegLibModule::Into(QImage& picture, Mpeg2Decoder::Into what) {
    return decoder_.GetMPEG2FrameInto(picture.bits(), picture.width(), picture.height(),
                                      picture.bytesPerLine(), what);
}

void MpegLibModule::Redraw() {
    if (Picture.isNull() || !ApplyShownSize() || shown_.isEmpty())
        return;
    QImage picture(shown_, QImage::Format_RGB32);
    if (Into(picture, Mpeg2Decoder::Into::Again))
        Picture = picture;
}

QImage MpegLibModule::StreamPicture() {
    const QSize stream(FrameInfo.Width, FrameInfo.Height);
    if (Picture.isNull() || Picture.size() == stream || stream.isEmpty())
        return Picture;
    decoder_.SetMPEG2OutputSize(0, 0);
    QImage picture(stream, QImage::Format_RGB32);
    if (!Into(picture, Mpeg2Decoder::Into::Again))
        picture = QImage();
    decoder_.SetMPEG2OutputSize(shown_.width(), shown_.height());
    return picture;
}
