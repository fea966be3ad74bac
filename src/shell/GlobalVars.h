#pragma once

#include "stream/Flag.h"
#include "stream/StreamProperties.h"

#include <QByteArray>
#include <QString>

// The program-wide record: the settings of the start-up, the stream properties of the last scan
// and the crop margins. It lives for the whole run; every window reads it.
struct Global_var_module : StreamProperties {
    qint32 LangBase = 1000;    // base of the text ids: 1000 English, 2000 German
    QString VideoFile;         // full path of the video shown in the editor
    QString ChapterTimes;      // "/chapters=" value: time codes separated by commas
    QString OutDir;            // output folder, without a trailing separator; empty = none
    QString AppPath;           // fallback output folder
    qint32 ClipSeconds = 0;    // "/clips=": clip length in seconds for the automatic run
    Flag AutoMode = FlagFalse; // "/auto"
    Flag MarkOnly = FlagFalse; // "/markonly"
    Flag CropGiven = FlagFalse;
    qint16 CropLeft = 8;
    qint16 CropTop = 8;
    qint16 CropRight = 8;
    qint16 CropBottom = 8;
    QByteArray StreamHeader; // bytes of an elementary stream before its first GOP header
    Flag SingleField = FlagFalse;
    qint64 ClipStartScr = 0; // 90 kHz clock of the pack where the last program-stream clip began
};

// The one record of this run.
Global_var_module& GlobalVars();

// Scans `path` into the record (see ScanMpegHeaders in stream/).
bool ScanMpegHeaders(const QString& path);

// The file report of the record's stream properties, one entry per line, in the run's language.
QStringList ShowFileInfo();
