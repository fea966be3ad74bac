#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "shell/Startup.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

namespace {

TEST(Startup, ReadsLangBaseWithTheLeadingNumberRule) {
    const struct {
        std::optional<QString> stored;
        qint32 langBase;
    } cases[] = {
        {u"2000"_qs, 2000},
        {u" 2000abc"_qs, 2000},
        {u"abc"_qs, 0},
        {std::nullopt, 1000},
        {u"1e3"_qs, 1000},
        {u"2000.5"_qs, 2000},
        {u"2001.5"_qs, 2002},
        {u""_qs, 0},
        {u"99999999999"_qs, 1000},
    };
    for (const auto& c : cases) {
        StoreLangId(c.stored);
        EXPECT_EQ(ReadLangBase(), c.langBase) << c.stored.value_or(u"(missing)"_qs).toStdString();
    }
    StoreLangId(std::nullopt);
}

TEST(Startup, ChoosesAWritableAppPath) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString fallback = tmp.filePath(u"data/cueboard"_qs);
    EXPECT_EQ(ChooseAppPath(tmp.path(), fallback), tmp.path());
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList()); // the probe file is gone again
    EXPECT_EQ(ChooseAppPath(u"/proc"_qs, fallback), fallback);
    EXPECT_TRUE(QFileInfo(fallback).isDir());
}

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        savedTmpDir = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    }
    void TearDown() override { qputenv("TMPDIR", savedTmpDir); }

    // A lock file as a copy with process id `pid` would leave it, last written `ageSeconds` ago,
    // with nobody holding it.
    void LeaveLockFile(qint64 pid, qint64 ageSeconds) {
        QByteArray contents;
        {
            QLockFile real(tmp.filePath(u"template.lock"_qs));
            ASSERT_TRUE(real.tryLock());
            QFile file(real.fileName());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            contents = file.readAll();
        }
        contents = QByteArray::number(pid) + contents.mid(contents.indexOf('\n'));
        QFile file(SingleInstanceLockPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.write(contents) == contents.size() && file.flush());
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                                     QFileDevice::FileModificationTime));
    }

    QTemporaryDir tmp;
    QByteArray savedTmpDir;
};

TEST_F(SingleInstanceTest, SecondCopyIsRefusedWhileTheFirstRuns) {
    EXPECT_EQ(SingleInstanceLockPath(), tmp.filePath(u"cueboard-%1.lock"_qs.arg(getuid())));
    auto first = AcquireSingleInstance();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isLocked());
    EXPECT_EQ(AcquireSingleInstance(), nullptr);
    first.reset();
    EXPECT_NE(AcquireSingleInstance(), nullptr);
}

TEST_F(SingleInstanceTest, LockOfACrashedCopyIsTakenOverButAnOldLiveOneIsNot) {
    QProcess gone;
    gone.start(u"true"_qs);
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 deadPid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());

    LeaveLockFile(deadPid, 0);
    auto lock = AcquireSingleInstance();
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(lock->isLocked());
    lock.reset();

    LeaveLockFile(QCoreApplication::applicationPid(), 3600);
    EXPECT_EQ(AcquireSingleInstance(), nullptr);
}

TEST_F(SingleInstanceTest, UnwritableTempFolderDoesNotStopTheProgram) {
    qputenv("TMPDIR", "/proc");
    const auto lock = AcquireSingleInstance();
    ASSERT_NE(lock, nullptr);
    EXPECT_FALSE(lock->isLocked());
}

TEST(Startup, RunStartupResetsTheRecordAndReadsTheCommandLine) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    StoreLangId(u"2000"_qs);
    const struct {
        QStringList arguments;
        QString video;
        bool startEditor;
    } cases[] = {
        {{tmp.path(), u"/auto"_qs}, tmp.path(), true},
        {{tmp.path()}, tmp.path(), true},
        {{u"/"_qs}, u"/"_qs, false},
    };
    for (const auto& c : cases) {
        Global_var_module record;
        record.ChapterTimes = record.OutDir = u"old"_qs;
        record.ClipSeconds = 5;
        record.CropLeft = record.CropTop = record.CropRight = record.CropBottom = 1;
        record.CropGiven = FlagTrue;
        EXPECT_EQ(RunStartup(c.arguments, record), c.startEditor);
        EXPECT_EQ(record.VideoFile, c.video);
        EXPECT_EQ(record.LangBase, 2000);
        EXPECT_EQ(LoadLangString(211), LoadLangString(2000, 211)); // the run's texts follow
        EXPECT_EQ(record.AppPath, QCoreApplication::applicationDirPath());
        EXPECT_EQ(record.ChapterTimes + record.OutDir, u""_qs);
        EXPECT_EQ(record.ClipSeconds, 0);
        EXPECT_EQ(
            (std::array{record.CropLeft, record.CropTop, record.CropRight, record.CropBottom}),
            (std::array<qint16, 4>{8, 8, 8, 8}));
        EXPECT_EQ(record.CropGiven, FlagFalse);
    }
    StoreLangId(std::nullopt);
    SetLangBase(1000);
}

} // namespace
