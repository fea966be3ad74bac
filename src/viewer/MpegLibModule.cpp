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
    decoder_.SetMPEG2PixelFormat(1);
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
    if (rows_.width() != width || rows_.height() != height)
        rows_ = QImage(width, height, QImage::Format_BGR888);
    const size_t rowBytes = size_t(width) * 3;
    // The buffer holds the last row first.
    for (int y = 0; y < height; ++y)
        std::memcpy(rows_.scanLine(y), bytes + size_t(height - 1 - y) * rowBytes, rowBytes);
    // 32-bit pixels, which the screen takes without converting again at every paint (Qt's own
    // converter does this far faster than a paint of 24-bit pixels).
    Picture = rows_.convertToFormat(QImage::Format_RGB32);
}
