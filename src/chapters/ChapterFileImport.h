#pragma once

#include "chapters/ChapterFormats.h"
#include "chapters/ChapterText.h"

#include <QByteArray>
#include <QIODevice>
#include <optional>

// Reading a chapter file that may come from another tool. The format is told by the content, not
// by the file name:
//   a dvdauthor project: XML whose root element is <dvdauthor>; the chapters attribute of the
//     first <vob> of the titles ([[h:]mm:]ss[.frac], separated by commas);
//   Matroska XML chapters: root element <Chapters>; the start times of the chapters of the first
//     edition (sub-chapters are not chapters of the list);
//   an ffmpeg metadata file: first line ";FFMETADATA1"; START of each [CHAPTER] in its TIMEBASE
//     (nanoseconds without one);
//   mkvmerge's simple chapters: first line that is not empty starts with CHAPTERnn=;
//   everything else by the plain chapter-text rules of ChapterText, exactly as before; only when
//     those find no time, lines that begin with a time followed by a title ("1:23 Intro", as video
//     sites list chapters) give their times.
// dvdauthor's marker list is a plain chapter text as Cueboard writes it.
// The times found are handed on as the chapter text "HH:MM:SS.mmm,..." to the plain rules, so
// the result is the same as for a chapter file: sorted, with the chapter at the start added,
// refused when it would be longer than a chapter text may be. A recognised file that cannot be
// read to its end (broken or cut-off XML) or holds no time is refused as a whole.

// Files longer than this are refused without being read.
inline constexpr qint64 ChapterFileReadLimit = 4 * 1024 * 1024;

ChapterTextResult ReadChapterFile(const QByteArray& bytes);

// The same on an open file: refused when it holds more than ChapterFileReadLimit bytes.
ChapterTextResult ReadChapterFile(QIODevice& file);

// The format a file's content is written in, when it is one of the formats told by content
// alone (the dvdauthor project, Matroska XML, ffmpeg metadata or mkvmerge's simple chapters).
std::optional<ChapterFormat> RecognizeChapterFile(const QByteArray& bytes);
