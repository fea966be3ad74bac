#include "shell/FileNames.h"

void SplitFullPath(const QString& path, QString& folder, QString& stem, QString& extension) {
    const qsizetype slash = path.lastIndexOf(u'/');
    folder = slash >= 0 ? path.left(slash) : QString();
    const qsizetype from = slash >= 0 ? slash : 0;
    const qsizetype dot = path.lastIndexOf(u'.');
    // A name without an extension keeps its whole name as the stem. (Taking the whole path here
    // would put the video's folders inside the output folder.)
    if (dot < from || dot == path.size() - 1) {
        stem = path.mid(from);
        extension.clear();
        return;
    }
    stem = path.mid(from, dot - from);
    extension = path.mid(dot + 1);
}

void SplitFileName(const QString& path, QString& stem, QString& extension) {
    QString folder;
    SplitFullPath(path, folder, stem, extension);
}
