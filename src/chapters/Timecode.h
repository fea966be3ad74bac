#pragma once

#include "stream/ClockText.h"

#include <QString>
#include <optional>

// Timecodes: the 12-character text HH:MM:SS.mmm ("00:00:00.000" is zero); "???" stands for a
// position whose GOP header was not found.

// Text of a GOP header's time code at the given frame rate. At 29.97 frames/s without the
// drop-frame flag the count of 30 labels per second is turned into real time.
QString GopTimecodeToText(int hours, int minutes, int seconds, int pictures, float frameRate,
                          bool dropFrame);

// A byte position with a possible fraction cut to its whole part (toward zero).
qint64 TruncatePosition(double position);

// Nanoseconds from one picture to the next when playing at `frameRate`. A rate that is not
// usable (none, not a number, or under one picture a second) plays at 25 pictures a second
// rather than waiting between pictures for ever.
qint64 FramePeriodNs(float frameRate);

// The timecode one picture later: the whole milliseconds of one frame are added. `shownText` is
// the text shown for the current picture; with 4 characters or fewer ("???") nothing changes.
QString StepTimecode(const QString& currentTimecode, const QString& shownText, float frameRate);

// Result of ApplyTimeOffset.
struct OffsetTimecode {
    QString text;
    bool beforeFirstGop = false; // the editor then shows "  Wrong timecode found!!!" in its caption
};

// The timecode counted from the stream's first GOP timecode. A text shorter than 5 characters is
// returned unchanged; a timecode before the first GOP, or one that cannot be read, gives "???".
OffsetTimecode ApplyTimeOffset(const QString& timecode, const QString& firstGopTimecode);

// Whole seconds within the minute of a time given as a day fraction.
int SecondsOfMinute(double dayFraction);

// Validates and normalizes a time typed by a user or read from a file. With `keepFraction` the
// result is "hh:mm:ss" plus up to three fraction digits ("01:02:03.456"); without it, the time as
// the decimal text of a day fraction. Empty text when the input is not a time.
QString NormalizeTimecode(const QString& text, bool keepFraction);

// Seconds of a timecode text with its milliseconds (01:02:03.500 gives 3723.5); empty when it is
// not a timecode ("???").
std::optional<double> TimecodeSeconds(const QString& timecode);

// True for a timecode text of exactly the form HH:MM:SS.mmm with a valid 24-hour time: what may
// become a chapter mark and a file name ("???" and other texts may not).
bool IsTimecode(const QString& text);

// Seconds since midnight of a timecode's first 8 characters ("HH:MM:SS"); false when they are not
// a valid 24-hour time.
bool TimeOfDaySeconds(const QString& timecode, int& seconds);
