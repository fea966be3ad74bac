#pragma once

#include <QStringList>

// `cueboard --export-chapters FORMAT VIDEO [OUTDIR]`: the chapter list of the video's cell-times
// file in OUTDIR (default: the video's folder), written in FORMAT to standard output. `args` are
// the arguments after the option. Exit codes: 0 written (an empty list gives the format's empty
// form), 1 no cell-times file, 2 a wrong command line or an unknown FORMAT (usage on standard
// error), a cell-times file that cannot be read or holds no time, a video whose play time
// cannot be read for ffmetadata, or standard output that cannot be written.
int RunExportChapters(const QStringList& args);

// The usage line and the list of formats, as --help shows them.
const char* ExportChaptersUsage();
