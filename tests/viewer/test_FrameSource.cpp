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
    struct Row {
        const char* video;
        qint64 position;
        QSize size;
    };
    for (const Row& row : {Row{"pal.mpg", 0, {720, 576}}, Row{"ntsc_df.mpg", 400000, {720, 480}},
                           Row{"mpeg1.mpg", 0, {352, 288}}}) {
        SCOPED_TRACE(row.video);
        MpegLibModule source;
        const QString video = TestVideo(QString::fromLatin1(row.video));
        source.OpenDecoder(video);
        source.SeekAndRender(row.position);

        int width = 0, height = 0;
        const QByteArray expected = DecodedAt(video, row.position, width, height);
        ASSERT_EQ(QSize(width, height), row.size);
        ASSERT_EQ(expected.size(), width * height * 3);
        const QImage& shown = source.Picture;
        ASSERT_EQ(shown.size(), row.size);
        ASSERT_EQ(shown.format(), QImage::Format_RGB32);
        // Row y of the picture is row height-1-y of the bottom-up buffer; bytes there are B, G, R.
        for (int y = 0; y < height; ++y) {
            const uchar* bgr = reinterpret_cast<const uchar*>(expected.constData()) +
                               size_t(height - 1 - y) * size_t(width) * 3;
            const QRgb* shownRow = reinterpret_cast<const QRgb*>(shown.constScanLine(y));
            for (int x = 0; x < width; ++x, bgr += 3)
                ASSERT_EQ(shownRow[x], qRgb(bgr[2], bgr[1], bgr[0])) << x << "," << y;
        }
    }

    MpegLibModule source;
    source.OpenDecoder(TestVideo(QStringLiteral("pal.mpg")));
    source.SeekAndRender(0);
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
