#include "stream/MpegScanner.h"

#include "stream/ByteSearch.h"
#include "stream/ClockText.h"
#include "stream/FileAccess.h"
#include "stream/GopHeader.h"
#include "stream/NumberText.h"
#include "stream/VideoPictureCounter.h"

#include <QStringList>
#include <cmath>
#include <vector>

namespace {

constexpr qint32 BlockSize = 100000;
constexpr int ForwardBlocks = 10;
constexpr int TailBlocks = 50;

QString AspectText(int code) {
    switch (code) {
    case 1:
        return QStringLiteral("1:1");
    case 3:
        return QStringLiteral("16:9");
    case 4:
        return QStringLiteral("2.21:1");
    default:
        return QStringLiteral("4:3");
    }
}

float FrameRateOf(int code) {
    switch (code) {
    case 1:
        return 23.976f;
    case 2:
        return 24.0f;
    case 4:
        return 29.97f;
    case 5:
        return 30.0f;
    case 6:
        return 50.0f;
    case 7:
        return 59.94f;
    case 8:
        return 60.0f;
    default:
        return 25.0f;
    }
}

// In a program stream a sequence header counts only when it lies in a video packet: the last
// video-packet start code at or before it must be at most 100 bytes earlier. `nearBlockStart`
// accepts a header close to the block start when the bytes just before the block hold a video
// packet start code (the header's packet began in the previous block).
qsizetype AcceptedSequenceHeader(QByteArrayView block, bool muxed,
                                 const std::function<bool()>& nearBlockStart) {
    qsizetype p = FindFirst(block, Pattern(StartCode::SequenceHeader));
    if (!muxed)
        return p;
    while (p != 0) {
        const qsizetype q = FindLastStartingBy(block, Pattern(StartCode::VideoPacket), p);
        if (q != 0 && p - q <= 100)
            return p;
        if (q == 0 && p < 100 && nearBlockStart && nearBlockStart())
            return p;
        p = FindFirst(block, Pattern(StartCode::SequenceHeader), p + 1);
    }
    return 0;
}

struct FoundGop {
    qsizetype pos = 0; // 1-based in the block, 0 when none
    GopTimeCode tc;
};

FoundGop FirstValidGop(QByteArrayView block) {
    for (qsizetype k = FindFirst(block, Pattern(StartCode::Gop)); k != 0;
         k = FindFirst(block, Pattern(StartCode::Gop), k + 1)) {
        const GopTimeCode tc = DecodeGopHeader(block, k);
        if (tc.valid)
            return {k, tc};
    }
    return {};
}

// Picture start codes from the 1-based `from` (a GOP header) to the end of the block, and the
// position of the last one (0 when none). In a program stream only those in video packets count,
// `from` lying in one.
struct Pictures {
    qint64 count = 0;
    qsizetype last = 0;
};

Pictures PicturesFrom(QByteArrayView block, qsizetype from, bool muxed) {
    Pictures found;
    if (!muxed) {
        for (qsizetype k = FindFirst(block, Pattern(StartCode::Picture), from); k != 0;
             k = FindFirst(block, Pattern(StartCode::Picture), k + 1)) {
            ++found.count;
            found.last = k;
        }
        return found;
    }
    VideoPictureCounter counter(VideoPictureCounter::Start::InVideoPayload);
    counter.feed(block.sliced(from - 1));
    found.count = counter.pictures();
    if (found.count > 0)
        found.last = from + counter.lastPictureOffset();
    return found;
}

// The pictures of a program stream's tail: from the 1-based `from` in `block` to the end of the
// file, through the blocks read after it, which lie further on (`later`, the last one of the
// file first). The blocks overlap; every byte is looked at once, so a start code across the
// border of two blocks counts once.
qint64 TailVideoPictures(const QByteArray& block, qint64 blockOffset, qsizetype from,
                         const std::vector<std::pair<qint64, QByteArray>>& later) {
    VideoPictureCounter counter(VideoPictureCounter::Start::InVideoPayload);
    counter.feed(QByteArrayView(block).sliced(from - 1));
    qint64 covered = blockOffset + block.size();
    for (auto it = later.rbegin(); it != later.rend(); ++it) {
        const auto& [offset, bytes] = *it;
        const qint64 skip = qBound<qint64>(0, covered - offset, bytes.size());
        counter.feed(QByteArrayView(bytes).sliced(skip));
        covered = qMax(covered, offset + bytes.size());
    }
    return counter.pictures();
}

double SecondsOf(const GopTimeCode& tc, qint64 extraPictures, float fps) {
    return tc.hours * 3600.0 + tc.minutes * 60.0 + tc.seconds +
           static_cast<double>(tc.pictures + extraPictures) / static_cast<double>(fps);
}

} // namespace

qint64 DecodePackScr(QByteArrayView block, qsizetype pos1) {
    const qint64 b0 = ByteAt(block, pos1 + 4);
    const qint64 b1 = ByteAt(block, pos1 + 5);
    const qint64 b2 = ByteAt(block, pos1 + 6);
    const qint64 b3 = ByteAt(block, pos1 + 7);
    const qint64 b4 = ByteAt(block, pos1 + 8);
    const qint64 b5 = ByteAt(block, pos1 + 9);
    if (!(b2 & 0x04) || !(b0 & 0x44) || !(b4 & 0x04) || !(b5 & 0x01))
        return 0;
    return ((b0 & 0x38) << 27) + ((b0 & 0x03) << 28) + (b1 << 20) + ((b2 & 0xF8) << 12) +
           ((b2 & 0x03) << 13) + (b3 << 5) + (b4 >> 3);
}

qint64 LastPackScr(QByteArrayView block) {
    qsizetype r = FindLast(block, Pattern(StartCode::Pack));
    while (r != 0) {
        const qint64 scr = DecodePackScr(block, r);
        if (scr != 0)
            return scr;
        r = r > 20 ? FindLastEndingBy(block, Pattern(StartCode::Pack), r - 10) : 0;
    }
    return 0;
}

bool ScanMpegHeaders(const QString& path, StreamProperties& props) {
    // 1-2: reset and size.
    props.ScrDurationSeconds = 0.0;
    props.ScrDurationText.clear();
    qint64 firstScr = 0;
    qint64 lastScr = 0;
    props.FileSizeBytes = FileSizeOf(path);
    props.FileSizeMB =
        static_cast<qint32>(RoundHalfEven(static_cast<double>(props.FileSizeBytes) / 1048576.0));
    props.MpegType = QStringLiteral("?");
    props.LastGopPos = props.FileSizeBytes - 1;
    const qint64 size = props.FileSizeBytes;

    // 3: first block.
    const qint32 firstLength = static_cast<qint32>(qMin<qint64>(BlockSize, size));
    QByteArray block(firstLength, '\0');
    if (firstLength > 0)
        ReadFileBlock(path, firstLength, 0, false, block);
    else
        block.clear();

    // 4-5: program stream and MPEG-2 tests.
    const qsizetype firstPack = FindFirst(block, Pattern(StartCode::Pack));
    props.Muxed = firstPack != 0 ? 1 : 0;
    if (firstPack != 0)
        firstScr = DecodePackScr(block, firstPack);
    if (FindFirst(block, Pattern(StartCode::Extension)) != 0)
        props.MpegType = QStringLiteral("2");
    const bool muxed = props.Muxed == 1;

    // 6-7: the sequence header, in the first block or up to ten blocks further on.
    qsizetype seq = AcceptedSequenceHeader(block, muxed, nullptr);
    for (int k = 1; seq == 0 && k <= ForwardBlocks; ++k) {
        const qint64 start = qint64(k) * BlockSize - 10 * k;
        if (start + BlockSize >= size)
            break;
        block = QByteArray(BlockSize, '\0');
        ReadFileBlock(path, BlockSize, start, false, block);
        if (FindFirst(block, Pattern(StartCode::Extension)) != 0)
            props.MpegType = QStringLiteral("2");
        seq = AcceptedSequenceHeader(block, muxed, [&] {
            QByteArray before(200, '\0');
            ReadFileBlock(path, 200, start - 100, false, before);
            return FindFirst(before, Pattern(StartCode::VideoPacket)) != 0;
        });
    }

    // 8: nothing found.
    if (seq == 0) {
        props.MuxOK = 0;
        if (props.MpegType == u'?')
            props.MpegType = QStringLiteral("1");
        return false;
    }

    // 9: picture properties.
    const quint8 s4 = ByteAt(block, seq + 4);
    const quint8 s5 = ByteAt(block, seq + 5);
    const quint8 s6 = ByteAt(block, seq + 6);
    const quint8 s7 = ByteAt(block, seq + 7);
    props.VideoWidth = static_cast<qint16>(s4 * 16 + (s5 >> 4));
    props.VideoHeight = static_cast<qint16>((s5 & 0x0F) * 256 + s6);
    props.AspectRatioText = AspectText(s7 >> 4);
    props.FrameRate = FrameRateOf(s7 & 0x0F);

    // 10: DVD navigation packets.
    props.MuxOK = (muxed && FindFirst(block, Pattern(StartCode::NavPacket1)) != 0 &&
                   FindFirst(block, Pattern(StartCode::NavPacket2)) != 0)
                      ? 1
                      : 0;

    // 11-13: first GOP and the pictures after it.
    GopTimeCode firstTc;
    qint64 pictureCount = 0;
    const FoundGop firstGop = FirstValidGop(block);
    if (firstGop.pos != 0) {
        firstTc = firstGop.tc;
        props.DropFrame = ToFlag(firstTc.dropFrame);
        const Pictures pictures = PicturesFrom(block, firstGop.pos, muxed);
        pictureCount = pictures.count;
        if (pictures.last != 0)
            props.LastGopPos = pictures.last;
    }

    // 14: last clock reference of the block.
    if (muxed) {
        const qsizetype r = FindLast(block, Pattern(StartCode::Pack));
        if (r > 0 && r < size - 10)
            lastScr = DecodePackScr(block, r);
    }

    // 15: tail scan.
    GopTimeCode lastTc = firstTc;
    bool tailGopFound = false;
    qint64 tailPictures = 0;
    if (size >= BlockSize) {
        bool tailScrFound = false;
        // Program streams: the blocks without a GOP header, counted once the GOP is found.
        std::vector<std::pair<qint64, QByteArray>> later;
        qint64 d = BlockSize;
        QByteArray tail(BlockSize, '\0');
        for (int i = 1; i <= TailBlocks; ++i) {
            ReadFileBlock(path, BlockSize, d, true, tail);
            if (tail.isEmpty())
                break;
            if (muxed && !tailScrFound) {
                const qint64 s = LastPackScr(tail);
                if (s != 0) {
                    lastScr = s;
                    tailScrFound = true;
                }
            }
            qsizetype lastFound = 0;
            FoundGop lastValid;
            for (qsizetype k = FindFirst(tail, Pattern(StartCode::Gop)); k != 0;
                 k = FindFirst(tail, Pattern(StartCode::Gop), k + 1)) {
                lastFound = k;
                const GopTimeCode tc = DecodeGopHeader(tail, k);
                if (tc.valid)
                    lastValid = {k, tc};
            }
            if (lastValid.pos == 0) {
                if (muxed)
                    later.emplace_back(size - d, tail);
                else
                    tailPictures += CountFrom(tail, Pattern(StartCode::Picture));
            } else {
                lastTc = lastValid.tc;
                tailPictures += muxed ? TailVideoPictures(tail, size - d, lastFound, later)
                                      : CountFrom(tail, Pattern(StartCode::Picture), lastFound);
                props.LastGopPos = size - d + lastValid.pos;
                tailGopFound = true;
            }
            d = d + BlockSize - 10 * i;
            if (size < d || tailGopFound)
                break;
        }
    }

    // 16-17: play time from the GOP time codes.
    if (tailGopFound)
        pictureCount = tailPictures;
    else
        lastTc = firstTc;
    double duration =
        SecondsOf(lastTc, pictureCount, props.FrameRate) - SecondsOf(firstTc, 0, props.FrameRate);
    if (props.FrameRate == 29.97f && props.DropFrame == FlagFalse)
        duration = duration / 1.001001001;
    props.DurationText = FormatDayFraction(duration / 86400.0, 2, QStringLiteral("."));
    props.DurationSeconds = RoundDecimals(duration, 4);

    // 18: play time from the pack clock.
    if (muxed) {
        const double t = static_cast<double>(lastScr - firstScr) / 90000.0;
        props.ScrDurationSeconds = QString::number(t, 'f', 2).toDouble();
        props.ScrDurationText =
            t >= 0 ? FormatDayFraction(t / 86400.0, 2, QStringLiteral(".")) : QStringLiteral("???");
    }

    // 19.
    if (props.MpegType == u'?')
        props.MpegType = QStringLiteral("1");
    return true;
}

QString ReportNumber(float value) {
    return QString::number(static_cast<double>(value), 'g', 7);
}

QString ReportNumber(double value) {
    return QString::number(value, 'g', 15);
}

QStringList FileReportLines(const StreamProperties& props,
                            const std::function<QString(int)>& text) {
    QStringList lines;
    lines << QStringLiteral("Info:");
    lines << text(212) + QString::number(props.VideoWidth);
    lines << text(213) + QString::number(props.VideoHeight);
    lines << text(214) + ReportNumber(props.FrameRate);
    lines << text(215) + props.AspectRatioText;
    lines << text(216) + props.MpegType;
    lines << text(217) + QString::number(props.FileSizeMB);
    lines << text(218) + QStringLiteral(" (GOP)=") + ReportNumber(props.DurationSeconds);
    lines << text(219) + QStringLiteral(" (GOP)=") + props.DurationText;
    if (props.FrameRate == 29.97f)
        lines << (props.DropFrame != FlagFalse ? QStringLiteral("Timecode: NTSC drop frame")
                                               : QStringLiteral("Timecode: NTSC non-drop frame"));
    lines << text(220) + QString::number(props.Muxed);
    if (props.Muxed != 0) {
        lines << QStringLiteral("   ") + text(218) + QStringLiteral(" (SCR)=") +
                     ReportNumber(props.ScrDurationSeconds);
        lines << QStringLiteral("   ") + text(219) + QStringLiteral(" (SCR)=") +
                     props.ScrDurationText;
    }
    lines << text(221) + QString::number(props.MuxOK);
    return lines;
}
