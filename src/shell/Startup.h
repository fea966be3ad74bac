#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QLockFile;
struct Global_var_module;

// Language base from the per-user settings store ("OrvelStudio", group "Startup", key "LangID",
// default 1000), read with the leading-number rule and rounded.
qint32 ReadLangBase();

// The folder the program writes its fallback outputs to: the executable's folder when it is
// writable, otherwise the per-user data folder (created on demand).
QString DetermineAppPath();

// True when a new file can be made in the folder (a probe file is made and removed again; it
// never touches files already there). Permission bits alone say nothing when running as root.
bool CanCreateFilesIn(const QString& folder);

// `exeDir` when a file can be created there, otherwise `fallbackDir`, which is created when
// missing.
QString ChooseAppPath(const QString& exeDir, const QString& fallbackDir);

// Takes the per-user single-instance lock; null when another copy of the program holds it. When
// the lock cannot be made at all (an unwritable temp folder) the program is let run: the result
// is then a lock object that holds nothing.
std::unique_ptr<QLockFile> AcquireSingleInstance();

// The lock file of the single-instance check: one per user in the temp folder.
QString SingleInstanceLockPath();

// The start-up settings of the record, in the order of the chooser's load step: language base
// (which also becomes the language of the run's texts), defaults, the program's arguments
// (ReadArguments), AutoMode and MarkOnly. Returns true when the editor is to be started for the
// video named (VideoFile longer than 3 characters).
bool RunStartup(const QStringList& arguments, Global_var_module& record);
