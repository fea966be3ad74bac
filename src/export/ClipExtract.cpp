#include "export/ClipExtract.h"

#include "stream/ByteSearch.h"
#include "stream/FileAccess.h"
#include "stream/MpegScanner.h"
#include "stream/VideoPictureCounter.h"

#include <QSaveFile>
#include <cmath>

namespace {

constexpr double ScrTicksPerSecond = 90000.0;

ClipStart GopNotFound(std::optional<qint64> clipStartScr = std::nullopt) {
    ClipStart result;
    result.gopNotFound = true;
    result.clipStartScr = clipStartScr;
    return result;
}

// The last pack header that ends before the sequence header at `sequencePos` (1-based); a pack
// header cannot overlap a sequence header's start code, so this is simply the last one before it.
qsizetype PackBefore(QByteArrayView block, qsizetype sequencePos) {
    return FindLastEndingBy(block, Pattern(StartCode::Pack), sequencePos - 1);
}

// The pack clock counts only when it agrees with the GOP time codes to within a second; a zero or
// broken frame rate would make every block look too short and copy the whole rest of the file.
bool PackClockUsable(const ClipSource& source) {
    return source.muxed == 1 &&
           std::abs(source.durationSeconds - source.scrDurationSeconds) < 1.0 &&
           source.frameRate > 0.0f;
}

} // namespace

ClipStart FindClipStart(const QString& videoFile, qint64 position, const QString& shownTimecode) {
    if (shownTimecode == QLatin1String("00:00:00.000") || position <= 0)
        return {};

    QByteArray buffer;
    if (position <= ClipBlockSize) {
        const qint32 got = ReadFileBlockAt(videoFile, ClipBlockSize, 0, buffer);
        const QByteArrayView block(buffer.constData(), got);
        const qsizetype sequence =
            FindLastEndingBy(block, Pattern(StartCode::SequenceHeader), position);
        if (sequence == 0)
            return GopNotFound();
        const qsizetype pack = PackBefore(block, sequence);
        if (pack == 0)
            return GopNotFound();
        // The clock is read here too: an earlier clip's clock, kept instead, could lie far ahead
        // of this one and make the clock rule copy everything up to that clip's place.
        return {pack - 1, false, DecodePackScr(block, pack)};
    }

    const qint64 blockStart = position - ClipBlockSize;
    const qint32 got = ReadFileBlockAt(videoFile, ClipBlockSize, blockStart, buffer);
    const QByteArrayView block(buffer.constData(), got);
    const qsizetype sequence = FindLast(block, Pattern(StartCode::SequenceHeader));
    if (sequence == 0)
        return GopNotFound();
    const qsizetype pack = PackBefore(block, sequence);
    if (pack == 0)
        return GopNotFound(0);
    return {blockStart + pack - 1, false, DecodePackScr(block, pack)};
}

bool ExtractClip(qint32 pictures, qint64 start, const ClipSource& source, const QString& target,
                 const std::function<void(qint64 bytesDone)>& progress) {
    const bool clockUsable = PackClockUsable(source);
    const double clipSeconds =
        static_cast<double>(pictures) / static_cast<double>(source.frameRate);

    const OpenFile file(source.path);
    const qint64 length = file.size();
    if (!file.isOpen() || start < 0 || start >= length)
        return false;

    QByteArray buffer(ClipBlockSize, '\0');
    const qint32 firstWanted = static_cast<qint32>(qMin<qint64>(ClipBlockSize, length - start));
    qint32 got = ReadOpenFileBlock(file, firstWanted, start, buffer);
    if (got != firstWanted)
        return false;

    QSaveFile out(target);
    // Unbuffered: one write per block, and a write error shows at that write rather than inside
    // commit(), where a cut-off clip could still replace the old file.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    qint64 written = 0;
    const auto put = [&](const char* data, qint64 size) {
        if (out.write(data, size) != size)
            return false;
        written += size;
        return true;
    };
    if (!source.streamHeader.isEmpty() && start != 0 &&
        !put(source.streamHeader.constData(), source.streamHeader.size()))
        return false; // the unfinished file is discarded with `out`

    // 64-bit: a long copy of dense start codes would overflow a 32-bit count. A program stream's
    // pictures are those of its video packets; the clip starts at a pack header (or at byte 0).
    qint64 counted = 0;
    VideoPictureCounter videoPictures;
    const bool muxed = source.muxed == 1;
    qint64 offset = start;
    for (;;) {
        const QByteArrayView block(buffer.constData(), got);
        if (muxed) {
            const qint64 before = videoPictures.pictures();
            videoPictures.feed(block);
            counted += videoPictures.pictures() - before;
        } else {
            counted += CountFrom(block, Pattern(StartCode::Picture));
        }
        if (!put(block.data(), block.size()))
            return false;
        if (progress)
            progress(written);
        if (clockUsable && counted >= pictures) {
            const qint64 scr = LastPackScr(block);
            // Seconds of clock since the clip's start, in floating point: a start clock from
            // elsewhere must not overflow the difference.
            const double seconds =
                (static_cast<double>(scr) - static_cast<double>(source.clipStartScr)) /
                ScrTicksPerSecond;
            if (scr != 0 && seconds < clipSeconds)
                counted = qint64(pictures) - 1;
        }
        if (counted >= pictures || got != ClipBlockSize)
            break;
        offset += ClipBlockSize;
        got = ReadOpenFileBlock(file, ClipBlockSize, offset, buffer);
        // A short read before the length the file had at the start is a read error (or a source
        // cut while copying), not the end of the video: no clip rather than a cut-off one.
        if (got < ClipBlockSize && offset + got < length)
            return false;
        if (got == 0)
            break;
    }
    return out.commit();
}
