// The header scanner and the pack clock over arbitrary files, small and sparse-huge.
#include "FuzzFile.h"
#include "shell/LangStrings.h"
#include "stream/MpegScanner.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    const QString path = FuzzFile::WriteWithOptionalHole(provider);

    StreamProperties props;
    if (ScanMpegHeaders(path, props)) {
        FUZZ_CHECK(props.FileSizeBytes == FuzzFile::Size());
        FUZZ_CHECK(props.LastGopPos >= 0 && props.LastGopPos <= FuzzFile::Size());
        FUZZ_CHECK(!FileReportLines(props, [](int id) { return LoadLangString(id); }).isEmpty());
    }

    // The pack clock at every position of the input's start, the block edges included.
    const QByteArray block = ToBytes(data, std::min<size_t>(size, 4096));
    for (qsizetype pos1 = -2; pos1 <= block.size() + 2; ++pos1) {
        const qint64 scr = DecodePackScr(block, pos1);
        FUZZ_CHECK(scr >= 0 && scr < (qint64(1) << 33));
    }
    return 0;
}
