#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The chapter list in the formats of the tools that turn it into a disc or a file: dvdauthor's
// project file and its chapter marker list, mkvmerge's simple chapter text and Matroska XML
// chapters, ffmpeg's metadata file and the plain list that video sites read from a description.

enum class ChapterFormat {
    DvdauthorProject, // a whole project for `dvdauthor -o DIR -x FILE`
    DvdauthorMarkers, // the comma list for `dvdauthor -c`
    Ogm,              // CHAPTER01=00:00:00.000 / CHAPTER01NAME=Chapter 01
    MatroskaXml,      // <Chapters><EditionEntry><ChapterAtom>...
    FfMetadata,       // ;FFMETADATA1 with one [CHAPTER] section per chapter
    VideoSite,        // "0:00 Chapter 01", one line each
};

struct ChapterFormatInfo {
    ChapterFormat format;
    const char* name;       // the command line's FORMAT
    const char* filter;     // the file dialog's filter, "Description (*.ext)"
    const char* fileSuffix; // added to the video's stem for the file offered beside the list
};

// Every format, in the order the export dialog lists its filters.
const QList<ChapterFormatInfo>& ChapterFormats();
const ChapterFormatInfo& InfoOf(ChapterFormat format);

// The format of a command-line name ("dvdauthor", "markers", "ogm", "mkvxml", "ffmetadata",
// "youtube") or of a dialog filter text; empty when there is none.
std::optional<ChapterFormat> ChapterFormatNamed(const QString& name);
std::optional<ChapterFormat> ChapterFormatOfFilter(const QString& filter);

// The dialog's filters in the order of ChapterFormats().
QStringList ChapterFormatFilters();

// What a format needs beside the marks.
struct ChapterExportOptions {
    QString videoFile;          // the dvdauthor project names the video by its absolute path
    double durationSeconds = 0; // end of the last chapter in the ffmpeg metadata file
    // Chapter names: every "%1" becomes the chapter's number with at least two digits. Empty:
    // "Chapter %1". Line breaks and other control characters become blanks.
    QString nameTemplate;
    // The dvdauthor project's video standard, "pal" or "ntsc" (see DvdVideoFormatOf); empty:
    // left to dvdauthor.
    QString videoFormat;
};

// "pal" for 25 pictures a second, "ntsc" for the other rates a disc takes, empty when the rate is
// unknown.
QString DvdVideoFormatOf(double frameRate);

// The chapter list in `format`, as UTF-8 with LF line ends. The marks are timecode texts
// (HH:MM:SS with or without .mmm); they are taken in time order, each time once, and anything
// that is not a timecode is left out. When the first mark is not at the start of the video a
// chapter at 00:00:00.000 comes first, as a disc's first chapter always begins there. An empty
// list gives the format's empty form: a project whose video has no chapter marks, a metadata
// file with only its header, Matroska chapters without an edition, or no bytes at all.
QByteArray ExportChapters(ChapterFormat format, const QStringList& marks,
                          const ChapterExportOptions& options);

// The times every format writes: milliseconds from the start of the video, sorted, each once,
// with the chapter at the start added when the list does not begin there.
QList<qint64> ChapterStartsMs(const QStringList& marks);

// Milliseconds as the timecode text HH:MM:SS.mmm.
QString TimecodeOfMs(qint64 ms);
