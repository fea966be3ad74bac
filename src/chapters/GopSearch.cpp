#include "chapters/GopSearch.h"

#include "chapters/Timecode.h"
#include "stream/ByteSearch.h"
#include "stream/FileAccess.h"
#include "stream/GopHeader.h"

namespace {

constexpr qint32 WindowSize = 100000;
constexpr int MaxTries = 20;
constexpr qint64 StepShrink = 15;

struct Hit {
    qsizetype index = 0; // 1-based in the window, 0 = none
    GopTimeCode tc;
};

// A hit counts only when its time-code bytes lie safely inside the bytes read.
bool Usable(qsizetype index, qint32 bytesRead) {
    return index != 0 && index < bytesRead - 8;
}

// First valid GOP header of the window; an invalid one makes the search go on `skip` bytes later.
Hit FirstValidHeader(QByteArrayView window, qint32 bytesRead, qsizetype skip) {
    for (qsizetype k = FindFirst(window, Pattern(StartCode::Gop)); Usable(k, bytesRead);
         k = FindFirst(window, Pattern(StartCode::Gop), k + skip)) {
        const GopTimeCode tc = DecodeGopHeader(window, k);
        if (tc.valid)
            return {k, tc};
    }
    return {};
}

QString TextOf(const GopTimeCode& tc, float frameRate, bool dropFrame) {
    return GopTimecodeToText(tc.hours, tc.minutes, tc.seconds, tc.pictures, frameRate, dropFrame);
}

} // namespace

GopSearchResult FindGopTimecode(const GopSearchContext& context, qint64 pos,
                                SearchDirection direction) {
    enum class Mode { FromStart, Before };
    const bool backward = direction == SearchDirection::Backward;
    qint64 cur = pos;
    qint64 step = WindowSize;
    int tries = 0;
    Mode mode = Mode::FromStart;
    if (backward) {
        if (pos <= WindowSize)
            cur = 0;
        else
            mode = Mode::Before;
    }

    QByteArray window(WindowSize, '\0');
    for (;;) {
        const qint64 windowStart = mode == Mode::Before ? cur - step : cur;
        const qint32 bytesRead = ReadFileBlockAt(context.path, WindowSize, windowStart, window);
        if (bytesRead <= 0)
            return {QStringLiteral("???"), false, 0,
                    backward ? GopFallback::Unknown : GopFallback::ShownText};
        const QByteArrayView bytes(window.constData(), bytesRead);

        Hit hit = FirstValidHeader(bytes, bytesRead, 4);
        if (hit.index != 0) {
            // Later headers of the same window: near the file start only those before the
            // position, further in every one of them.
            const bool nearStart = pos < WindowSize;
            if (!(nearStart && pos <= hit.index + 4)) {
                for (qsizetype k = FindFirst(bytes, Pattern(StartCode::Gop), hit.index + 4);
                     Usable(k, bytesRead); k = FindFirst(bytes, Pattern(StartCode::Gop), k + 4)) {
                    if (nearStart && k >= pos)
                        break;
                    const GopTimeCode tc = DecodeGopHeader(bytes, k);
                    if (tc.valid)
                        hit = {k, tc};
                }
            }
            return {TextOf(hit.tc, context.frameRate, context.dropFrame), true,
                    windowStart + hit.index};
        }

        if (++tries > MaxTries)
            return {QStringLiteral("???"), false, 0};
        step -= StepShrink;
        if (!backward) {
            cur += step;
            if (cur > context.fileLength)
                return {QStringLiteral("???"), false, 0, GopFallback::CurrentTimecode};
        } else if (mode == Mode::FromStart) {
            cur += step;
        } else {
            cur -= step;
            if (cur <= WindowSize) {
                mode = Mode::FromStart;
                cur = 0;
                step = WindowSize;
            }
        }
    }
}

GopSearchResult FindNextGopHeader(const GopSearchContext& context, qint64 pos) {
    qint64 start = qMax<qint64>(0, pos);
    QByteArray window(WindowSize, '\0');
    for (int tries = 0; tries <= MaxTries; ++tries) {
        const qint32 bytesRead = ReadFileBlockAt(context.path, WindowSize, start, window);
        if (bytesRead <= 0)
            break;
        const Hit hit =
            FirstValidHeader(QByteArrayView(window.constData(), bytesRead), bytesRead, 4);
        if (hit.index != 0)
            return {TextOf(hit.tc, context.frameRate, context.dropFrame), true, start + hit.index};
        // The next window overlaps this one, so a header across the border is seen whole.
        start += WindowSize - 16;
    }
    return {QStringLiteral("???"), false, 0};
}

QString ReadFirstGopTimecode(const QString& path, float frameRate, bool dropFrame) {
    qint64 offset = 0;
    qint64 step = WindowSize;
    QByteArray window(WindowSize, '\0');
    for (int tries = 0;;) {
        const qint32 bytesRead = ReadFileBlockAt(path, WindowSize, offset, window);
        if (bytesRead <= 0)
            return QStringLiteral("???");
        const Hit hit =
            FirstValidHeader(QByteArrayView(window.constData(), bytesRead), bytesRead, 1);
        if (hit.index != 0)
            return TextOf(hit.tc, frameRate, dropFrame);
        if (++tries > MaxTries)
            return QStringLiteral("???");
        step -= StepShrink;
        offset += step;
    }
}
