// Clip saving over arbitrary source files: the start search anywhere in the file, then the byte
// copy, checked against the source bytes.
#include "FuzzFile.h"
#include "export/ClipExtract.h"
#include "stream/FileAccess.h"

#include <QFile>

namespace {

// Sources longer than this from the clip start are searched but not copied (a copy of a sparse
// hole of gigabytes would only measure the memory file system).
constexpr qint64 MaxCopied = 16 * 1000 * 1000;

QByteArray SourceBytes(const QString& path, qint64 offset, qint64 count) {
    QByteArray bytes;
    bytes.truncate(ReadFileBlockAt(path, static_cast<qint32>(count), offset, bytes));
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    const qint64 rawPos = provider.ConsumeIntegral<qint64>();
    static const char* const shown[] = {"01:00:00.000", "00:00:00.000", "???", ""};
    const QString shownTimecode =
        QString::fromLatin1(shown[provider.ConsumeIntegralInRange<int>(0, 3)]);
    ClipSource source;
    source.muxed = provider.ConsumeIntegralInRange<qint16>(0, 1);
    source.streamHeader = source.muxed
                              ? QByteArray()
                              : QByteArray::fromStdString(provider.ConsumeRandomLengthString(64));
    source.frameRate = provider.PickValueInArray({25.0f, 29.97f, 23.976f, 0.0f});
    source.durationSeconds = provider.ConsumeFloatingPoint<double>();
    source.scrDurationSeconds =
        provider.ConsumeBool() ? source.durationSeconds : provider.ConsumeFloatingPoint<double>();
    source.clipStartScr = provider.ConsumeIntegral<qint64>();
    const qint32 pictures = provider.ConsumeIntegralInRange<qint32>(-2, 400);
    source.path = FuzzFile::WriteWithOptionalHole(provider);
    const qint64 length = FuzzFile::Size();

    const qint64 position = length > 0 && rawPos >= 0 ? rawPos % (length + 2) : rawPos;
    const ClipStart start = FindClipStart(source.path, position, shownTimecode);
    FUZZ_CHECK(start.offset >= 0 && start.offset <= length);
    if (start.clipStartScr)
        FUZZ_CHECK(*start.clipStartScr >= 0 && *start.clipStartScr < (qint64(1) << 33));
    if (length - start.offset > MaxCopied)
        return 0;

    const QString target = FuzzFile::Folder() + QStringLiteral("/clip.vob");
    const QByteArray old = "the previous clip";
    {
        QFile file(target);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(old);
    }
    qint64 lastProgress = 0;
    const bool ok = ExtractClip(pictures, start.offset, source, target, [&](qint64 done) {
        FUZZ_CHECK(done > lastProgress);
        lastProgress = done;
    });
    QFile result(target);
    FUZZ_CHECK(result.open(QIODevice::ReadOnly));
    const QByteArray clip = result.readAll();
    if (!ok) {
        // A clip that could not be made leaves the previous file as it was.
        FUZZ_CHECK(clip == old);
        return 0;
    }
    // The clip is the header (for an elementary stream cut later than its start) followed by
    // whole blocks of the source from the start on, the last one possibly cut by the file's end.
    const QByteArray header =
        !source.streamHeader.isEmpty() && start.offset != 0 ? source.streamHeader : QByteArray();
    FUZZ_CHECK(clip.startsWith(header));
    const qint64 copied = clip.size() - header.size();
    FUZZ_CHECK(copied > 0);
    FUZZ_CHECK(copied % ClipBlockSize == 0 || start.offset + copied == length);
    FUZZ_CHECK(clip.mid(header.size()) == SourceBytes(source.path, start.offset, copied));
    FUZZ_CHECK(lastProgress == clip.size());
    return 0;
}
