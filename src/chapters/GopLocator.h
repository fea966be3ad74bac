#pragma once

#include "chapters/GopSearch.h"

#include <QString>
#include <functional>
#include <optional>

// The search that finds the GOP of a wanted time (a chapter visit, a creation run): a GOP is taken
// once it lies closer than GopTolerance seconds to the time; the guesses by file position are
// corrected at most MaxGopCorrections times; then the search walks GOP by GOP, GopWalkStep bytes
// off the header it stands on so that the next search passes it.
inline constexpr double GopTolerance = 2.0;
inline constexpr int MaxGopCorrections = 11;
inline constexpr qint64 GopWalkStep = 50;

// A GOP found for a wanted time: its header position, its timecode as read and as shown, and the
// seconds from it to the time (positive: the time lies after the GOP).
struct LocatedGop {
    qint64 pos = 0;
    QString raw;
    QString text;
    double d = 0;
};

// Where the walk towards the time ends.
enum class GopChoice {
    // The nearest of the GOP the walk began on, the last one it passed and the one where it
    // stopped (on a tie the one where it stopped); a GOP without a known time ends the walk.
    Nearest,
    // The first GOP at or after the time when walking forward, the first at or before it when
    // walking back; a GOP without a known time, or a gap before the last GOP, finds nothing.
    Chapter,
};

struct GopLocatorInput {
    GopSearchContext context; // the file; the editor's texts are not needed
    double durationSeconds = 0;
    qint64 lastGopPos = 0;
    // A GOP header's timecode as it is shown (the time offset applied, or "???").
    std::function<QString(const QString& raw)> display;
};

// The GOP for `targetSeconds`, searched from the byte position guess `probe` (kept inside the
// file). A GOP shown as `exactText` is the time itself. Empty when no usable GOP lies on the way.
std::optional<LocatedGop> LocateGop(const GopLocatorInput& input, double targetSeconds,
                                    double probe, GopChoice choice,
                                    const QString& exactText = QString());
