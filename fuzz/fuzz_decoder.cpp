// The decoder over damaged MPEG-1/2 files: open, seek anywhere, decode a few pictures, and check
// that every picture handed out is as large as the size the decoder reports.
#include "FuzzFile.h"
#include "viewer/Mpeg2Decoder.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    qint64 seeks[3];
    for (qint64& seek : seeks)
        seek = provider.ConsumeIntegral<qint64>();
    const int pictures = provider.ConsumeIntegralInRange<int>(1, 4);
    const bool scale = provider.ConsumeBool();
    const QString path =
        FuzzFile::Write(QByteArray::fromStdString(provider.ConsumeRemainingBytesAsString()));
    const qint64 length = FuzzFile::Size();

    Mpeg2Decoder decoder;
    decoder.OpenMPEG2File(QFile::encodeName(path).constData(), 0, 0);
    decoder.SetMPEG2PixelFormat(1);
    decoder.SetRGBScaleFlag(scale ? 1 : 0);
    TVideoFrameInfo info;
    decoder.GetMPEG2FrameInfo(&info);
    FUZZ_CHECK(info.Width >= 0 && info.Height >= 0);
    const size_t frameBytes = size_t(info.Width) * size_t(info.Height) * 3;

    qint64 lastPos = -1;
    for (qint64 seek : seeks) {
        const qint64 offset = length > 0 && seek >= 0 ? seek % (length + 16) : seek;
        decoder.MPEG2Seek(offset);
        for (int i = 0; i < pictures; ++i) {
            const uchar* frame = decoder.GetMPEG2Frame();
            if (frame && frameBytes > 0) {
                // Reads the whole picture: a buffer shorter than the reported size shows here.
                unsigned sum = 0;
                for (size_t b = 0; b < frameBytes; b += 61)
                    sum += frame[b];
                sum += frame[frameBytes - 1];
                (void)sum;
            }
            TVideoFileInfo fileInfo;
            decoder.GetMPEG2FileInfo(&fileInfo);
            FUZZ_CHECK(fileInfo.Position >= 0);
            if (i > 0)
                FUZZ_CHECK(fileInfo.Position >= lastPos); // positions never go back between seeks
            lastPos = fileInfo.Position;
        }
    }
    decoder.CloseMPEG2File();
    return 0;
}
