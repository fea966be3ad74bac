#pragma once

#include "stream/GopHeader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>
#include <vector>

// An independent model of the GOP time-code search for tests: every GOP header of a file found by
// a plain byte scan, and the search's selection rule restated on that list of file offsets.
namespace GopReference {

constexpr qint64 Window = 100000;

struct Header {
    qint64 offset; // 0-based
    GopTimeCode tc;
};

// Naive scan of every 00 00 01 B8 in the bytes, valid or not, offsets shifted by `base`.
inline void CollectHeaders(const QByteArray& bytes, qint64 base, std::vector<Header>& out) {
    for (qint64 i = 0; i + 3 < bytes.size(); ++i) {
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && quint8(bytes[i + 3]) == 0xB8)
            out.push_back({base + i, DecodeGopHeader(QByteArrayView(bytes).sliced(i), 1)});
    }
}

struct Expected {
    bool found = false;
    qint64 headerPos = 0; // 1-based
    GopTimeCode tc;
    enum { None, Unknown, ShownText, CurrentTimecode } fallback = None;
};

// The selection rule restated on the file's header list: a window [start, start + n) may use a
// header whose 1-based index in the window is below n - 8; backward searches take the last usable
// valid header of the window before the position, forward searches the last of the window from
// the position on, and near the file start (position below 100000) only headers whose index is
// below the position (but at least the first valid one).
inline Expected Reference(const std::vector<Header>& headers, qint64 size, qint64 pos,
                          bool backward) {
    auto usable = [&](qint64 start, qint64 n) {
        std::vector<const Header*> inWindow;
        for (const Header& h : headers) {
            const qint64 index = h.offset - start + 1;
            if (h.offset >= start && index < n - 8)
                inWindow.push_back(&h);
        }
        return inWindow;
    };
    qint64 cur = pos, step = Window;
    bool before = backward && pos > Window;
    if (backward && !before)
        cur = 0;
    for (int tries = 0;; ++tries) {
        const qint64 start = before ? cur - step : cur;
        const qint64 n = qBound<qint64>(0, size - start, Window);
        if (start < 0 || n <= 0)
            return {false, 0, {}, backward ? Expected::Unknown : Expected::ShownText};
        const auto inWindow = usable(start, n);
        const Header* first = nullptr;
        for (const Header* h : inWindow)
            if (h->tc.valid) {
                first = h;
                break;
            }
        if (first) {
            const Header* chosen = first;
            const qint64 firstIndex = first->offset - start + 1;
            if (!(pos < Window && pos <= firstIndex + 4)) {
                for (const Header* h : inWindow) {
                    const qint64 index = h->offset - start + 1;
                    if (index < firstIndex + 4)
                        continue;
                    if (pos < Window && index >= pos)
                        break;
                    if (h->tc.valid)
                        chosen = h;
                }
            }
            return {true, chosen->offset + 1, chosen->tc, Expected::None};
        }
        if (tries + 1 > 20)
            return {false, 0, {}, Expected::Unknown};
        step -= 15;
        if (!backward) {
            cur += step;
            if (cur > size)
                return {false, 0, {}, Expected::CurrentTimecode};
        } else if (!before) {
            cur += step;
        } else {
            cur -= step;
            if (cur <= Window) {
                before = false;
                cur = 0;
                step = Window;
            }
        }
    }
}

} // namespace GopReference
