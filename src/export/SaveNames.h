#pragma once

#include <QString>

// Names of the images and clips saved for chapters: the video path without its extension, "_",
// the timecode with every ":" turned into "_", and the suffix (".bmp" or ".vob"); "_NC_" in place
// of "_" for a picture saved without a chapter mark. The name is then moved into the output
// folder: folder + stem + "." + extension of the composed name.

QString ComposeSaveName(const QString& videoFile, const QString& timecode, bool withoutMark,
                        const QString& suffix);

QString RelocateName(const QString& composedName, const QString& folder);

// The clip's index file beside it: the name up to and including its last "." plus "d2v".
QString IndexFileFor(const QString& clipName);
