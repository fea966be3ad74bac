#include "shell/Startup.h"

#include "shell/CommandLine.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "stream/NumberText.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QVariant>
#include <unistd.h>

namespace {

constexpr qint32 DefaultLangBase = 1000;

} // namespace

// Permission bits say nothing for root, so the folder is tried for real.
bool CanCreateFilesIn(const QString& folder) {
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".cueboard-probe-XXXXXX")));
    return probe.open(); // removed again when `probe` goes out of scope
}

qint32 ReadLangBase() {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                       QStringLiteral("OrvelStudio"));
    const QVariant stored =
        settings.value(QStringLiteral("Startup/LangID"), QString::number(DefaultLangBase));
    // An unquoted comma in the settings file makes a list of the value; the leading-number rule
    // wants the text as written.
    const QString text = stored.typeId() == QMetaType::QStringList
                             ? stored.toStringList().join(u',')
                             : stored.toString();
    return ToInt32(LeadingNumber(text)).value_or(DefaultLangBase);
}

QString ChooseAppPath(const QString& exeDir, const QString& fallbackDir) {
    if (!exeDir.isEmpty() && CanCreateFilesIn(exeDir))
        return QDir::cleanPath(exeDir);
    if (fallbackDir.isEmpty())
        return QDir::cleanPath(exeDir);
    QDir().mkpath(fallbackDir);
    return QDir::cleanPath(fallbackDir);
}

QString DetermineAppPath() {
    return ChooseAppPath(QCoreApplication::applicationDirPath(),
                         QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}

QString SingleInstanceLockPath() {
    return QDir(QDir::tempPath()).filePath(QStringLiteral("cueboard-%1.lock").arg(getuid()));
}

std::unique_ptr<QLockFile> AcquireSingleInstance() {
    auto lock = std::make_unique<QLockFile>(SingleInstanceLockPath());
    // The first copy may run for days, so its lock must never count as stale by age. A lock left
    // behind by a copy that crashed is still taken over: its process id no longer runs.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0) || lock->error() != QLockFile::LockFailedError)
        return lock;
    return nullptr;
}

bool RunStartup(const QStringList& arguments, Global_var_module& record) {
    record.LangBase = ReadLangBase();
    SetLangBase(record.LangBase);
    record.ChapterTimes.clear();
    record.ClipSeconds = 0;
    record.AppPath = DetermineAppPath();
    record.OutDir.clear();
    record.CropTop = record.CropBottom = record.CropLeft = record.CropRight = 8;
    record.CropGiven = FlagFalse;
    ReadArguments(arguments, record);
    return record.VideoFile.size() > 3;
}
