#pragma once

#include <QString>
#include <QStringList>

struct Global_var_module;

// Rebuilds the arguments after the program name into the one command-line text the parser reads:
// the first argument (the video) in double quotes; the value of "/outdir=", "/chapters=",
// "/clips=" or "/crop=" (any letter case) in double quotes unless it already starts with one;
// any other argument that contains a blank in double quotes; all joined with one blank.
QString CommandLineText(const QStringList& arguments);

// Reads a command line that arrives as one text into the record: VideoFile, OutDir, ChapterTimes,
// ClipSeconds, the crop margins and CropGiven, AutoMode and MarkOnly. Fields an option does not
// set, or sets from an unusable value, keep their values. Option names count only outside the
// video path (the leading quoted text, or the text up to the first blank when it is not quoted)
// and outside option values (double-quoted texts and an unquoted output folder).
void ReadCommandLine(const QString& commandLine, Global_var_module& record);

// Reads the program's arguments into the record the same way: the first argument is the video,
// the options after it may come in any order. Each option is read as in the text, within its own
// argument; of two equal options the first one counts.
void ReadArguments(const QStringList& arguments, Global_var_module& record);

// The path with every component as stored on disk, made absolute from the current folder; empty
// text when any component does not exist. A name that exists only in another letter case takes
// the stored spelling. "." and repeated or trailing separators are dropped, ".." goes up one
// folder, symbolic links are kept as named.
QString ExpandLongPath(const QString& path);
