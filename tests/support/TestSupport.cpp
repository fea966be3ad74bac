#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTime>

QString TestVideoDir() {
    const QByteArray fromEnv = qgetenv("CUEBOARD_TEST_VIDEOS");
    return fromEnv.isEmpty() ? QStringLiteral(CUEBOARD_TEST_VIDEOS)
                             : QString::fromLocal8Bit(fromEnv);
}

QString TestVideo(const QString& name) {
    return QDir(TestVideoDir()).filePath(name);
}

QString CueboardBinary() {
    return QStringLiteral(CUEBOARD_BINARY);
}

qint64 DecodedPictures(const QString& path) {
    QProcess probe;
    probe.start(u"ffprobe"_qs, u"-v error -count_frames -select_streams v:0 -show_entries "
                               u"stream=nb_read_frames -of csv=p=0"_qs.split(u' ')
                                   << path);
    if (!probe.waitForFinished(120000) || probe.exitCode() != 0)
        return -1;
    bool ok = false;
    const QString out = QString::fromLatin1(probe.readAllStandardOutput());
    const qint64 frames = out.section(u',', 0, 0).trimmed().toLongLong(&ok);
    return ok ? frames : -1;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

bool MakeSparseFile(const QString& path, qint64 size, const QByteArray& head,
                    const QByteArray& tail) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(head) == head.size() && file.resize(size) &&
           (tail.isEmpty() || (file.seek(size - tail.size()) && file.write(tail) == tail.size()));
}

void StoreLangId(const std::optional<QString>& value) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                       QStringLiteral("OrvelStudio"));
    if (value)
        settings.setValue(QStringLiteral("Startup/LangID"), *value);
    else
        settings.remove(QStringLiteral("Startup/LangID"));
    settings.sync();
}

QByteArray RandomBytes(qsizetype size, quint32 seed) {
    QByteArray bytes(size, '\0');
    QRandomGenerator random(seed);
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

QByteArray TimeLines(int count) {
    QByteArray lines;
    for (int i = 0; i < count; ++i)
        lines +=
            QTime(0, 0).addSecs(i).toString(QStringLiteral("hh:mm:ss.zzz")).toLatin1() + "\r\n";
    return lines;
}

QStringList Entries(const QListWidget* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->item(i)->text();
    return entries;
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}
