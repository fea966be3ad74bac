#pragma once

#include <QString>

// Everything a GOP time-code search needs to know about the video.
struct GopSearchContext {
    QString path;            // the video file
    qint64 fileLength = 0;   // its length in bytes
    float frameRate = 25.0f; // from the header scan
    bool dropFrame = false;  // drop-frame flag of the file's first valid GOP header
};

// What stands for the timecode when no header was found: "???", or, for a forward search, the
// timecode the editor shows (the file could not be read) or the one of the shown picture (the
// search ran off the end).
enum class GopFallback { Unknown, ShownText, CurrentTimecode };

enum class SearchDirection { Backward, Forward };

struct GopSearchResult {
    QString timecode = QStringLiteral("???"); // the found header's timecode
    bool found = false;                       // a valid GOP header was found
    qint64 headerPos = 0; // its position: 1 + the 0-based file offset of its first byte
    GopFallback fallback = GopFallback::Unknown; // what the timecode is when none was found
};

// Finds the GOP header that gives the timecode of `pos`. Backward: the last GOP header of the
// 100000 bytes before the position (near the file start: the last one before the position in the
// first 100000 bytes). Forward: the last GOP header of the 100000 bytes from the position on
// (near the start: the first one after it). Misses move the window on, at most 21 windows.
GopSearchResult FindGopTimecode(const GopSearchContext& context, qint64 pos,
                                SearchDirection direction);

// The first valid GOP header at or after `pos` (window by window, at most 21 windows); not found
// at the end of the file or after 21 empty windows. Used where every GOP must be met in turn.
GopSearchResult FindNextGopHeader(const GopSearchContext& context, qint64 pos);

// Timecode of the file's first valid GOP header, or "???".
QString ReadFirstGopTimecode(const QString& path, float frameRate, bool dropFrame);
