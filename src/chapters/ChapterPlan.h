#pragma once

#include <QString>
#include <optional>

// Evenly spaced chapters for the automatic creation runs: how many, how far apart.

// Most chapters one run makes.
constexpr int MaxAutoChapters = 99;
// Longest interval in minutes: its seconds must fit a 16-bit number.
constexpr int MaxIntervalMinutes = 546;

// The number of chapters typed by the user: the text's leading number rounded half to even.
// Empty unless it is 1 to 99.
std::optional<int> ChapterCountFromText(const QString& text);

// The minutes between chapters typed by the user, rounded the same way. Empty unless they are 1 to
// 546 and give 1 to 99 chapters over a video of `durationSeconds`.
std::optional<int> IntervalMinutesFromText(const QString& text, double durationSeconds);

// The chapters of a run: the first at the start of the video, then one every `intervalSeconds`.
struct ChapterPlan {
    int count = 1; // chapters, the one at the start included; at least 1
    double intervalSeconds = 0;
};

// Spaces the chapters over a video of `durationSeconds`. `value` is the checked count (by count)
// or minutes (by interval). Chapters by count are at least a second apart (fewer when the video is
// short). The last chapter is dropped when less than `tailSeconds` of the video would follow it
// before the final second: 1 second for an image, the clip length for a clip.
ChapterPlan PlanChapters(double durationSeconds, bool byInterval, int value, double tailSeconds);

// A chapter time for messages: "HH:MM:SS", rounded to the whole second.
QString ChapterTimeText(double seconds);
