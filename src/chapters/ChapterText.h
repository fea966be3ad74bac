#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Chapter times brought in from elsewhere: a list of times separated by "," or line breaks, as a
// user pastes it, a chapter file holds it or the front-end passes it on the command line.

// Where a chapter text came from. A file gives only its lines that hold a time; the clipboard and
// the command line give their text as it is and are refused without a ":" anywhere.
enum class ChapterTextSource { Clipboard, CommandLine, File };

// Longest chapter text taken; a longer one is refused whole rather than cut inside an entry.
constexpr qsizetype MaxChapterTextLength = 32767;

// What a chapter text gives for the file-chapter list.
struct ChapterTextResult {
    bool accepted = false; // false: refused, the list stays as it was
    QStringList entries;   // the new list, earliest first; may be empty
};

// Reads a chapter text. Line breaks (CR LF or LF) count as ","; a trailing separator is dropped.
// A text of one entry is taken only when it begins with "0" and is shorter than 13 characters.
// Entries shorter than 3 characters are skipped, the others normalised (fraction kept) and the
// ones that are not times dropped. "00:00:00.000" is added when the list would not start at the
// beginning of the video, or when the text held no entry at all.
ChapterTextResult ReadChapterText(const QString& text, ChapterTextSource source);

// The chapter text of a chapter file: every line that holds ":", each followed by ",". Lines end
// in CR LF or LF; a UTF-8 byte-order mark before the first line is not part of it.
QString ChapterTextOfFile(const QByteArray& bytes);

// The chapter file offered for a video: the video's name with the extension "txt" in the video's
// folder (a name without an extension gets ".txt" added).
QString DefaultChapterFile(const QString& videoFile);
