#include "chapters/GopLocator.h"

#include "chapters/Timecode.h"

#include <QtGlobal>
#include <cmath>
#include <initializer_list>

std::optional<LocatedGop> LocateGop(const GopLocatorInput& input, double targetSeconds,
                                    double probe, GopChoice choice, const QString& exactText) {
    const qint64 length = input.context.fileLength;
    LocatedGop at;
    auto measure = [&](qint64 pos, const QString& raw) {
        at.pos = pos;
        at.raw = raw;
        at.text = input.display(raw);
        const std::optional<double> found = TimecodeSeconds(at.text);
        if (!found)
            return false;
        // Timecodes carry milliseconds: a target that is a GOP's time is that GOP, whatever the
        // last bits of the arithmetic say.
        at.d = at.text == exactText ? 0.0 : std::round((targetSeconds - *found) * 1e6) / 1e6;
        return true;
    };
    auto lookBack = [&](qint64 pos) {
        const GopSearchResult r = FindGopTimecode(input.context, pos, SearchDirection::Backward);
        return r.found && measure(r.headerPos, r.timecode);
    };
    // Guesses stay inside the file: on a video whose bitrate falls towards its end a correction
    // may point past it, where nothing can be read.
    auto inFile = [length](double pos) {
        const double last = double(qMax<qint64>(0, length - 1));
        return TruncatePosition(std::isfinite(pos) ? qBound(0.0, pos, last) : 0.0);
    };

    qint64 p = inFile(probe);
    if (!lookBack(p))
        return std::nullopt;
    for (int corrections = 0; std::fabs(at.d) >= GopTolerance && corrections < MaxGopCorrections;
         ++corrections) {
        if (input.durationSeconds <= 0)
            break;
        p = inFile(double(p) + double(length) * at.d / input.durationSeconds);
        if (!lookBack(p))
            return std::nullopt;
    }

    const LocatedGop start = at;
    LocatedGop passed = at;
    const bool backward = at.d < 0;
    while (backward ? at.d < 0 : at.d > 0) {
        const qint64 before = at.pos;
        passed = at;
        if (backward) {
            if (!lookBack(at.pos - GopWalkStep))
                return std::nullopt;
        } else {
            // The forward time-code search takes the last GOP of a whole window and would step
            // over GOPs that lie closer together; this walk meets each one.
            const GopSearchResult next = FindNextGopHeader(input.context, at.pos + GopWalkStep);
            const bool chapter = choice == GopChoice::Chapter;
            if (!next.found) {
                // Beyond the last GOP of the file the walk ends on it; anywhere else a chapter
                // misses a usable GOP where the stream should have one.
                if (chapter && at.pos < input.lastGopPos)
                    return std::nullopt;
                break;
            }
            if (!measure(next.headerPos, next.timecode)) {
                if (chapter)
                    return std::nullopt;
                at = passed;
                break;
            }
        }
        // At the start of the file the search stays where it is.
        if (at.pos == before)
            break;
    }
    if (choice == GopChoice::Nearest) {
        for (const LocatedGop& other : {passed, start}) {
            if (std::fabs(other.d) < std::fabs(at.d))
                at = other;
        }
    }
    return at;
}
