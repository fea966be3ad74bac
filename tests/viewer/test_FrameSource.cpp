#include "support/DecoderSupport.h"
#include "support/TestSupport.h"
#include "viewer/MpegLibModule.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// Decodes the picture at `position` with a decoder of its own, as bottom-up BGR bytes.
QByteArray DecodedAt(const QString& path, qint64 position, int& width, int& height) {
    Mpeg2Decoder decoder;
    OpenTestDecoder(decoder, path);
    decoder.MPEG2Seek(position);
    TVideoFrameInfo info;
    decoder.GetMPEG2FrameInfo(&info);
    width = info.Width;
    height = info.Height;
    const uchar* bytes = decoder.GetMPEG2Frame();
    return bytes ? QByteArray(reinterpret_cast<const char*>(bytes), width * height * 3)
                 : QByteArray();
}

TEST(FrameSource, HandsOutTheDecodedPicturePixelForPixel) {
    MpegLibModule source;
    const QString video = TestVideo(QStringLiteral("pal.mpg"));
    source.OpenDecoder(video);
    source.SeekAndRender(0);

    int width = 0, height = 0;
    const QByteArray expected = DecodedAt(video, 0, width, height);
    ASSERT_EQ(expected.size(), 720 * 576 * 3);
    const QImage shown = source.Picture.convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(shown.size(), QSize(720, 576));
    // Row y of the picture is row height-1-y of the bottom-up buffer; bytes there are B, G, R.
    for (int y = 0; y < height; y += 1) {
        const uchar* row = reinterpret_cast<const uchar*>(expected.constData()) +
                           size_t(height - 1 - y) * size_t(width) * 3;
        const uchar* shownRow = shown.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            ASSERT_EQ(shownRow[x * 3 + 0], row[x * 3 + 2]) << x << "," << y;
            ASSERT_EQ(shownRow[x * 3 + 1], row[x * 3 + 1]) << x << "," << y;
            ASSERT_EQ(shownRow[x * 3 + 2], row[x * 3 + 0]) << x << "," << y;
        }
    }

    const BitmapInfoHeader& header = source.FrameBitmapHeader;
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 720);
    EXPECT_EQ(header.biHeight, 576);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, 0u);
    EXPECT_EQ(header.biSizeImage, 720u * 576u * 3u);
}

TEST(FrameSource, PositionsComeFromTheDecoderAndStopAtTheEnd) {
    MpegLibModule source;
    source.OpenDecoder(TestVideo(QStringLiteral("wide.mpg")));
    source.SeekAndRender(0);
    EXPECT_GT(source.DecoderPos, 0);
    qint64 position = 0, previous = -1;
    int steps = 0;
    while (position != previous && steps < 10000) {
        previous = position;
        source.RenderNextFrame(position);
        ++steps;
    }
    EXPECT_GT(steps, 100);
    qint64 again = 0;
    source.RenderNextFrame(again);
    EXPECT_EQ(again, position);
}

TEST(BitmapHeader, RefusesSizesBeyondThirtyTwoBits) {
    BitmapInfoHeader header;
    EXPECT_TRUE(BuildBitmapHeader(720, 576, header));
    EXPECT_FALSE(BuildBitmapHeader(40000, 40000, header));
    EXPECT_FALSE(BuildBitmapHeader(-1, 576, header));
}

} // namespace
