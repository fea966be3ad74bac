#include "viewer/MpegLibModule.h"

#include <QFile>
#include <QImage>
#include <cstring>
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
    DrawFrameBuffer();
    DecoderPos = info.Position;
}

void MpegLibModule::RenderNextFrame(qint64& position) {
    TVideoFileInfo info;
    decoder_.GetMPEG2FileInfo(&info);
    position = info.Position;
    DrawFrameBuffer();
}

void MpegLibModule::DrawFrameBuffer() {
    decoder_.GetMPEG2FrameInfo(&FrameInfo);
    const bool sizeFits = BuildBitmapHeader(FrameInfo.Width, FrameInfo.Height, FrameBitmapHeader);
    const uchar* bytes = decoder_.GetMPEG2Frame();
    // The decoder may have met a new picture size while decoding.
    decoder_.GetMPEG2FrameInfo(&FrameInfo);
    if (!bytes || !sizeFits || FrameInfo.Width <= 0 || FrameInfo.Height <= 0)
        return;
    const int width = FrameInfo.Width;
    const int height = FrameInfo.Height;
    // A picture the window still shows is left to it and the one shown before it, which the window
    // has let go of by now, is filled instead: every step writes into memory already in use.
    if (!Picture.isDetached())
        std::swap(Picture, spare_);
    if (Picture.width() != width || Picture.height() != height || !Picture.isDetached())
        Picture = QImage(width, height, QImage::Format_RGB32);
    const size_t rowBytes = size_t(width) * 4;
    if (size_t(Picture.bytesPerLine()) == rowBytes) {
        std::memcpy(Picture.bits(), bytes, rowBytes * size_t(height));
        return;
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(Picture.scanLine(y), bytes + size_t(y) * rowBytes, rowBytes);
}
