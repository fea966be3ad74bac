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
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                 QStringLiteral("-select_streams"), QStringLiteral("v:0"),
                 QStringLiteral("-show_entries"), QStringLiteral("stream=nb_read_frames"),
                 QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    if (!probe.waitForFinished(120000) || probe.exitCode() != 0)
        return -1;
    bool ok = false;
    const qint64 frames = QString::fromLatin1(probe.readAllStandardOutput())
                              .section(u',', 0, 0)
                              .trimmed()
                              .toLongLong(&ok);
    return ok ? frames : -1;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

bool MakeSparseFile(const QString& path, qint64 size, const QByteArray& head,
                    const QByteArray& tail) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (file.write(head) != head.size())
        return false;
    if (!file.resize(size))
        return false;
    if (!tail.isEmpty()) {
        if (!file.seek(size - tail.size()) || file.write(tail) != tail.size())
            return false;
    }
    return true;
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
