#include "stream/ByteSearch.h"

#include <cstring>

qsizetype FindFirst(QByteArrayView block, QByteArrayView pattern, qsizetype from) {
    if (from < 1)
        from = 1;
    const qsizetype n = block.size();
    const qsizetype m = pattern.size();
    if (m == 0 || from - 1 + m > n)
        return 0;
    // Scan for the first non-zero byte of the pattern (the 01 of a start code) with memchr, which
    // is far faster than a general search over the long zero runs of padding and sparse files.
    qsizetype anchor = 0;
    while (anchor < m - 1 && pattern[anchor] == 0)
        ++anchor;
    const char* data = block.data();
    const char key = pattern[anchor];
    qsizetype at = from - 1 + anchor; // where the anchor byte of the first candidate would be
    const qsizetype lastAnchor = n - m + anchor;
    while (at <= lastAnchor) {
        const void* hit = std::memchr(data + at, key, static_cast<size_t>(lastAnchor - at + 1));
        if (!hit)
            return 0;
        const qsizetype start = static_cast<const char*>(hit) - data - anchor;
        if (std::memcmp(data + start, pattern.data(), static_cast<size_t>(m)) == 0)
            return start + 1;
        at = start + anchor + 1;
    }
    return 0;
}

qsizetype FindLastEndingBy(QByteArrayView block, QByteArrayView pattern, qsizetype endAtMost) {
    const qsizetype m = pattern.size();
    const qsizetype end = qMin(endAtMost, block.size());
    if (m == 0 || end < m)
        return 0;
    // Anchor the backward scan on the first non-zero byte of the pattern: zero bytes are common
    // in video data, the 01 of a start code is not.
    qsizetype anchor = 0;
    while (anchor < m - 1 && pattern[anchor] == 0)
        ++anchor;
    const char* data = block.data();
    const char key = pattern[anchor];
    // Candidate starts run from end - m down to 0; the anchor byte of start i is at i + anchor.
    qsizetype limit = end - m + anchor + 1; // anchor bytes are searched in data[anchor, limit)
    while (limit > anchor) {
        const void* hit = ::memrchr(data + anchor, key, static_cast<size_t>(limit - anchor));
        if (!hit)
            return 0;
        const qsizetype start = static_cast<const char*>(hit) - data - anchor;
        if (std::memcmp(data + start, pattern.data(), static_cast<size_t>(m)) == 0)
            return start + 1;
        limit = start + anchor;
    }
    return 0;
}

qsizetype FindLastStartingBy(QByteArrayView block, QByteArrayView pattern, qsizetype startAtMost) {
    if (startAtMost < 1)
        return 0;
    return FindLastEndingBy(block, pattern, startAtMost - 1 + pattern.size());
}

qsizetype CountFrom(QByteArrayView block, QByteArrayView pattern, qsizetype from) {
    qsizetype count = 0;
    for (qsizetype p = FindFirst(block, pattern, from); p != 0;
         p = FindFirst(block, pattern, p + 1))
        ++count;
    return count;
}
