#include "export/SaveNames.h"

#include "shell/FileNames.h"

QString ComposeSaveName(const QString& videoFile, const QString& timecode, bool withoutMark,
                        const QString& suffix) {
    const qsizetype dot = videoFile.lastIndexOf(u'.');
    const qsizetype slash = videoFile.lastIndexOf(u'/');
    const QString base = dot > slash ? videoFile.left(dot) : videoFile;
    QString mark = timecode;
    mark.replace(u':', u'_');
    return base + (withoutMark ? QStringLiteral("_NC_") : QStringLiteral("_")) + mark + suffix;
}

QString RelocateName(const QString& composedName, const QString& folder) {
    QString stem, extension;
    SplitFileName(composedName, stem, extension);
    if (!stem.startsWith(u'/'))
        stem.prepend(u'/');
    return folder + stem + u'.' + extension;
}

QString IndexFileFor(const QString& clipName) {
    const qsizetype dot = clipName.lastIndexOf(u'.');
    return (dot >= 0 ? clipName.left(dot + 1) : clipName + u'.') + QStringLiteral("d2v");
}
