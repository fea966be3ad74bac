#include "stream/VideoPictureCounter.h"

#include "stream/ByteSearch.h"

#include <algorithm>

namespace {

constexpr quint8 ProgramEnd = 0xB9; // the lowest of the pack and packet start codes
constexpr quint8 PackId = 0xBA;
constexpr char CodePrefix[] = {0, 0, 1};

bool IsPackOrPacketCode(const quint8* b) {
    return b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] >= ProgramEnd;
}

bool IsPictureCode(const quint8* b) {
    return b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == 0;
}

struct HeaderEnd {
    enum Kind { More, Bad, Skip, Video, OpenVideo } kind;
    qint64 count = 0; // More: header bytes needed; Skip, Video: bytes that follow the header
};

// Size of the part of a video packet's header after its length field, from the `n` bytes at `h`:
// the MPEG-2 form (10 in the top bits, a flag byte, the length of the optional fields, the fields)
// or the MPEG-1 form (up to 16 stuffing bytes FF, an optional buffer size 01.. of two bytes, then
// time stamps 0010.. of 5 bytes or 0011.. of 10 bytes, or the single byte 0F). Given as a Video
// end whose count is the size, or More / Bad.
HeaderEnd VideoHeaderFields(const quint8* h, qsizetype n) {
    if (n < 1)
        return {HeaderEnd::More, 1};
    if ((h[0] & 0xC0) == 0x80)
        return n < 3 ? HeaderEnd{HeaderEnd::More, 3} : HeaderEnd{HeaderEnd::Video, 3 + h[2]};
    qsizetype i = 0;
    while (i < n && i < 16 && h[i] == 0xFF)
        ++i;
    if (i == n)
        return {HeaderEnd::More, n + 1};
    if ((h[i] & 0xC0) == 0x40) {
        i += 2;
        if (i >= n)
            return {HeaderEnd::More, i + 1};
    }
    if ((h[i] & 0xF0) == 0x20)
        return {HeaderEnd::Video, i + 5};
    if ((h[i] & 0xF0) == 0x30)
        return {HeaderEnd::Video, i + 10};
    if (h[i] == 0x0F)
        return {HeaderEnd::Video, i + 1};
    return {HeaderEnd::Bad};
}

// What the `n` header bytes collected at `h` say comes next.
HeaderEnd DecideHeader(const quint8* h, qsizetype n) {
    if (n < 4)
        return {HeaderEnd::More, 4};
    if (!IsPackOrPacketCode(h))
        return {HeaderEnd::Bad};
    const quint8 id = h[3];
    if (id == ProgramEnd)
        return {HeaderEnd::Skip, 0};
    if (id == PackId) {
        if (n < 5)
            return {HeaderEnd::More, 5};
        if ((h[4] & 0xC0) == 0x40) // MPEG-2: 14 bytes and up to 7 stuffing bytes
            return n < 14 ? HeaderEnd{HeaderEnd::More, 14} : HeaderEnd{HeaderEnd::Skip, h[13] & 7};
        if ((h[4] & 0xF0) == 0x20) // MPEG-1: 12 bytes
            return n < 12 ? HeaderEnd{HeaderEnd::More, 12} : HeaderEnd{HeaderEnd::Skip, 0};
        return {HeaderEnd::Bad};
    }
    if (n < 6)
        return {HeaderEnd::More, 6};
    const qint64 length = qint64(h[4]) << 8 | h[5];
    if ((id & 0xF0) != 0xE0)
        return {HeaderEnd::Skip, length};
    const HeaderEnd fields = VideoHeaderFields(h + 6, n - 6);
    if (fields.kind == HeaderEnd::Bad || (length != 0 && fields.count > length))
        return {HeaderEnd::Bad};
    if (fields.kind == HeaderEnd::More || n < 6 + fields.count)
        return {HeaderEnd::More, 6 + fields.count};
    // A video packet without a length runs up to the next start code of a pack or packet.
    return length == 0 ? HeaderEnd{HeaderEnd::OpenVideo}
                       : HeaderEnd{HeaderEnd::Video, length - fields.count};
}

} // namespace

VideoPictureCounter::VideoPictureCounter(Start start)
    : mode_(start == Start::InVideoPayload ? Mode::VideoToNextCode : Mode::Header) {}

void VideoPictureCounter::feed(QByteArrayView bytes) {
    run(reinterpret_cast<const quint8*>(bytes.data()), bytes.size(), offset_);
    offset_ += bytes.size();
}

void VideoPictureCounter::run(const quint8* p, qsizetype n, qint64 at) {
    qsizetype i = 0;
    while (i < n) {
        switch (mode_) {
        case Mode::Header:
            i += takeHeader(p + i, n - i, at + i);
            break;
        case Mode::Skip:
        case Mode::Video: {
            const qsizetype take = static_cast<qsizetype>(qMin<qint64>(remaining_, n - i));
            if (mode_ == Mode::Video)
                countVideo(p + i, take, at + i);
            remaining_ -= take;
            i += take;
            if (remaining_ == 0)
                enterHeader(at + i);
            break;
        }
        case Mode::VideoToNextCode:
        case Mode::ToNextCode:
            i += searchCode(p + i, n - i, at + i);
            break;
        }
    }
}

void VideoPictureCounter::enterHeader(qint64 at) {
    mode_ = Mode::Header;
    headerLength_ = 0;
    headerAt_ = at;
    searchedLength_ = 0;
}

qsizetype VideoPictureCounter::takeHeader(const quint8* p, qsizetype n, qint64 at) {
    qsizetype used = 0;
    for (;;) {
        const HeaderEnd end = DecideHeader(header_.data(), headerLength_);
        switch (end.kind) {
        case HeaderEnd::More: {
            const qsizetype take = qMin<qsizetype>(end.count - headerLength_, n - used);
            if (take == 0)
                return used;
            std::copy_n(p + used, take, header_.begin() + headerLength_);
            headerLength_ += take;
            used += take;
            continue;
        }
        case HeaderEnd::Bad: {
            // A start code may begin inside what was taken for a header: its bytes are searched
            // again from the second one on.
            const std::array<quint8, MaxHeader> taken = header_;
            const qsizetype length = headerLength_;
            const qint64 from = headerAt_ + 1;
            mode_ = Mode::ToNextCode;
            headerLength_ = 0;
            searchedLength_ = 0;
            run(taken.data() + 1, length - 1, from);
            return used;
        }
        case HeaderEnd::Skip:
        case HeaderEnd::Video:
            mode_ = end.kind == HeaderEnd::Video ? Mode::Video : Mode::Skip;
            remaining_ = end.count;
            if (remaining_ == 0)
                enterHeader(at + used);
            return used;
        case HeaderEnd::OpenVideo:
            mode_ = Mode::VideoToNextCode;
            searchedLength_ = 0;
            return used;
        }
    }
}

qsizetype VideoPictureCounter::searchCode(const quint8* p, qsizetype n, qint64 at) {
    const bool video = mode_ == Mode::VideoToNextCode;
    // A start code begun in the bytes searched before.
    const int t = searchedLength_;
    if (t > 0) {
        std::array<quint8, 6> joint{};
        const int k = static_cast<int>(qMin<qsizetype>(3, n));
        std::copy_n(searched_.begin(), t, joint.begin());
        std::copy_n(p, k, joint.begin() + t);
        for (int s = 0; s < t && s + 4 <= t + k; ++s) {
            if (!IsPackOrPacketCode(joint.data() + s))
                continue;
            const int before = t - s; // bytes of the start code ahead of `p`
            if (video)
                videoTailLength_ = qMax(0, videoTailLength_ - before);
            enterHeader(at - before);
            std::copy_n(joint.begin() + s, before, header_.begin());
            headerLength_ = before;
            return 0;
        }
    }
    const QByteArrayView bytes(reinterpret_cast<const char*>(p), n);
    qsizetype found = -1;
    for (qsizetype k = FindFirst(bytes, Pattern(CodePrefix)); k != 0 && k + 3 <= n;
         k = FindFirst(bytes, Pattern(CodePrefix), k + 1)) {
        if (p[k + 2] >= ProgramEnd) {
            found = k - 1;
            break;
        }
    }
    if (video)
        countVideo(p, found < 0 ? n : found, at);
    if (found >= 0) {
        enterHeader(at + found);
        return found;
    }
    if (n >= 3) {
        std::copy_n(p + n - 3, 3, searched_.begin());
        searchedLength_ = 3;
    } else {
        const int keep = qMin(t, 3 - static_cast<int>(n));
        std::copy(searched_.begin() + t - keep, searched_.begin() + t, searched_.begin());
        std::copy_n(p, n, searched_.begin() + keep);
        searchedLength_ = keep + static_cast<int>(n);
    }
    return n;
}

void VideoPictureCounter::countVideo(const quint8* p, qsizetype n, qint64 at) {
    if (n <= 0)
        return;
    // Picture start codes begun in the video bytes before.
    const int t = qMin(videoTailLength_, 3);
    const int first = videoTailLength_ - t;
    const int k = static_cast<int>(qMin<qsizetype>(3, n));
    std::array<quint8, 6> joint{};
    std::copy_n(videoTail_.begin() + first, t, joint.begin());
    std::copy_n(p, k, joint.begin() + t);
    for (int s = 0; s < t && s + 4 <= t + k; ++s) {
        if (IsPictureCode(joint.data() + s)) {
            ++pictures_;
            lastPicture_ = videoTailAt_[first + s];
        }
    }
    // Those wholly in the new bytes.
    const QByteArrayView bytes(reinterpret_cast<const char*>(p), n);
    if (const qsizetype inside = CountFrom(bytes, Pattern(StartCode::Picture)); inside > 0) {
        pictures_ += inside;
        lastPicture_ = at + FindLast(bytes, Pattern(StartCode::Picture)) - 1;
    }
    // Keep the last video bytes.
    constexpr int Kept = static_cast<int>(std::tuple_size_v<decltype(videoTail_)>);
    const int fresh = static_cast<int>(qMin<qsizetype>(Kept, n));
    const int old = qMin(videoTailLength_, Kept - fresh);
    std::copy(videoTail_.begin() + videoTailLength_ - old, videoTail_.begin() + videoTailLength_,
              videoTail_.begin());
    std::copy(videoTailAt_.begin() + videoTailLength_ - old,
              videoTailAt_.begin() + videoTailLength_, videoTailAt_.begin());
    for (int i = 0; i < fresh; ++i) {
        videoTail_[old + i] = p[n - fresh + i];
        videoTailAt_[old + i] = at + n - fresh + i;
    }
    videoTailLength_ = old + fresh;
}
