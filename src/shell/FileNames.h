#pragma once

#include <QString>

// Splits a path into stem and extension: the stem runs from the last separator ("/", included)
// up to, not including, the last "."; the extension is the text after the last ".". When the
// file name has no ".", or the last "." is the path's last character, the stem is the whole file
// name (from the separator) and the extension is empty. "/films/movie_00_01_23.456.bmp" gives
// "/movie_00_01_23.456" and "bmp".
// Output names are built as folder + stem + "." + extension.
void SplitFileName(const QString& path, QString& stem, QString& extension);

// As SplitFileName, and also the folder: the text before the last separator (empty when there is
// none). Without a separator the stem runs from the first character.
void SplitFullPath(const QString& path, QString& folder, QString& stem, QString& extension);
