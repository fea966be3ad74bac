#include "stream/ByteSearch.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The searches scan for the pattern's first non-zero byte (the 01 of a start code) and compare
// the whole pattern only there: zero bytes are common in video data and fill the holes of sparse
// files, the 01 of a start code is rare.
qsizetype AnchorOf(QByteArrayView pattern) {
    qsizetype anchor = 0;
    while (anchor < pattern.size() - 1 && pattern[anchor] == 0)
        ++anchor;
    return anchor;
}

} // namespace

qsizetype FindLastEndingBy(QByteArrayView block, QByteArrayView pattern, qsizetype endAtMost) {
    const qsizetype m = pattern.size();
    const qsizetype end = qMin(endAtMost, block.size());
    if (m == 0 || end < m)
        return 0;
    const qsizetype anchor = AnchorOf(pattern);
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

namespace {

// Hands `found` the 0-based starts of the pattern's occurrences at or after the 1-based `from`
// in order, the search going on one byte after each, until `found` returns true. This runs over
// every block of a clip, so it must keep pace with a plain copy: 32 bytes at a time are checked for
// the pattern's first non-zero byte together with the byte before it (the 00 01 of a start code,
// rare in video data), and only those places are compared in full.
template <class Found>
void Scan(QByteArrayView block, QByteArrayView pattern, qsizetype from, Found found) {
    const qsizetype begin = qMax<qsizetype>(from, 1) - 1;
    const qsizetype m = pattern.size();
    const char* data = block.data();
    const qsizetype size = block.size();
    if (m == 0 || begin + m > size)
        return;
    const qsizetype anchor = AnchorOf(pattern);
    const qsizetype firstStart = begin;
    const qsizetype lastStart = size - m;
    // True when the scan is to stop.
    const auto check = [&](qsizetype start) {
        return start >= firstStart && start <= lastStart &&
               std::memcmp(data + start, pattern.data(), size_t(m)) == 0 && found(start);
    };
    // Anchor bytes of the candidate starts lie in [begin + anchor, lastStart + anchor].
    qsizetype at = begin + anchor;
    const qsizetype lastAnchor = lastStart + anchor;
#if defined(__SSE2__)
    if (anchor >= 1) {
        const __m128i key = _mm_set1_epi8(pattern[anchor]);
        const __m128i before = _mm_set1_epi8(pattern[anchor - 1]);
        // Bit 0 of a chunk's "byte before matches" mask comes from the last byte of the chunk
        // before it (for the first chunk: from the byte before `at`, which exists as anchor >= 1).
        quint32 carry = quint32(data[at - 1] == pattern[anchor - 1]);
        for (; at + 32 <= lastAnchor + 1; at += 32) {
            const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
            const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + 16));
            const quint32 keys = quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(low, key))) |
                                 quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(high, key))) << 16;
            const quint32 prior = quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(low, before))) |
                                  quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(high, before))) << 16;
            quint32 mask = keys & ((prior << 1) | carry);
            carry = prior >> 31;
            for (; mask != 0; mask &= mask - 1) {
                if (check(at + __builtin_ctz(mask) - anchor))
                    return;
            }
        }
    }
#endif
    for (; at <= lastAnchor; ++at) {
        if (data[at] == pattern[anchor] && check(at - anchor))
            return;
    }
}

} // namespace

qsizetype CountFrom(QByteArrayView block, QByteArrayView pattern, qsizetype from) {
    qsizetype count = 0;
    Scan(block, pattern, from, [&](qsizetype) {
        ++count;
        return false;
    });
    return count;
}

qsizetype FindFirst(QByteArrayView block, QByteArrayView pattern, qsizetype from) {
    qsizetype first = 0;
    Scan(block, pattern, from, [&](qsizetype start) {
        first = start + 1;
        return true;
    });
    return first;
}
