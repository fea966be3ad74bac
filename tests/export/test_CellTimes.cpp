#include "export/CellTimes.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTime>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The interruption test starts this binary again with this variable naming the file to write.
constexpr char KilledWriterEnv[] = "CUEBOARD_CELLTIMES_KILLED_WRITER";
// The killed child may write this much of its new list before it dies.
constexpr rlim_t KilledWriterLimit = 64 * 1024;

// One mark per second from zero.
QStringList ManyMarks(int count) {
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks += QTime(0, 0).addSecs(i).toString("hh:mm:ss.zzz");
    return marks;
}

void KillAtFileSizeLimit(int) {
    kill(getpid(), SIGKILL);
}

// The child: the kernel signals when its new list reaches the size limit and the handler kills
// the process outright, in the middle of the write, as a crash or power cut would.
[[noreturn]] void RunKilledWriter(const QString& path) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    std::signal(SIGXFSZ, KillAtFileSizeLimit);
    const rlimit size{KilledWriterLimit, KilledWriterLimit};
    setrlimit(RLIMIT_FSIZE, &size);
    WriteCellTimes(path, ManyMarks(20000));
    _exit(0); // only reached when the write ran to its end
}

[[maybe_unused]] const bool killedWriterStarted = [] {
    const QByteArray path = qgetenv(KilledWriterEnv);
    if (!path.isEmpty())
        RunKilledWriter(QFile::decodeName(path));
    return false;
}();

// Paths that cannot be written, even by root.
QStringList UnwritablePaths(const QTemporaryDir& dir) {
    const QString plainFile = dir.filePath("plain");
    WriteAll(plainFile, "x");
    return {QStringLiteral("/proc/cueboard-test/x.txt"), plainFile + "/film_Celltimes.txt",
            dir.filePath("missing/film_Celltimes.txt")};
}

QStringList FolderEntries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

struct PathCase {
    const char* outDir;
    const char* video;
    const char* expected;
};

TEST(CellTimesPathFor, PutsTheVideoNameIntoTheOutputFolder) {
    const PathCase cases[] = {
        {"/filme", "/TempFilm/Test/Chart_Tip.mpv", "/filme/Chart_Tip_Celltimes.txt"},
        {"/out", "/v/a.b.mpv", "/out/a.b_Celltimes.txt"},
        {"/out", "/v.d/film", "/out/film_Celltimes.txt"},
        {"/out", "/v/film.", "/out/film._Celltimes.txt"},
        {"/out", "film.mpv", "/out/film_Celltimes.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CellTimesPathFor(c.outDir, c.video), QString::fromLatin1(c.expected)) << c.video;
}

struct BytesCase {
    QStringList entries;
    QByteArray bytes;
};

TEST(WriteCellTimes, WritesEveryEntryInTheGivenOrderWithCrLf) {
    const BytesCase cases[] = {
        {{}, ""},
        {{"00:05:00.000"}, "00:05:00.000\r\n"},
        {{"00:00:10.000", "00:02:31.240", "00:05:02.080"},
         "00:00:10.000\r\n00:02:31.240\r\n00:05:02.080\r\n"},
        // Sorting is the list's job; the file mirrors it as given.
        {{"00:05:00.000", "00:01:00.000"}, "00:05:00.000\r\n00:01:00.000\r\n"},
        {{"???", "00:01:00.000"}, "???\r\n00:01:00.000\r\n"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("film_Celltimes.txt");
    for (const auto& c : cases) {
        // A longer old list must not leave its tail behind.
        ASSERT_TRUE(WriteAll(path, QByteArray(500, ':')));
        EXPECT_TRUE(WriteCellTimes(path, c.entries)) << c.entries.join(' ').toStdString();
        EXPECT_EQ(ReadAll(path), c.bytes);
        EXPECT_EQ(FolderEntries(dir.path()), QStringList{"film_Celltimes.txt"});
    }
}

TEST(WriteCellTimes, RefusesEntriesThatAreNotOnePrintableAsciiLine) {
    const QStringList cases[] = {
        {"00:01:00.000", QString::fromUtf8("00:0\u00e4:00.000")},
        {"00:01:00.000\r\n00:02:00.000"},
        {"00:01:00.000", ""},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("film_Celltimes.txt");
    const QString fallback = dir.filePath("Celltimes.txt");
    const QByteArray old = "00:00:10.000\r\n";
    ASSERT_TRUE(WriteAll(path, old));
    for (const auto& entries : cases) {
        EXPECT_FALSE(WriteCellTimes(path, entries)) << entries.join(' ').toStdString();
        EXPECT_EQ(WriteCellTimesOrFallback(path, fallback, entries), QString());
        EXPECT_EQ(ReadAll(path), old);
        EXPECT_FALSE(QFile::exists(fallback));
    }
}

TEST(WriteCellTimesOrFallback, UsesTheFallbackOnlyWhenThePrimaryCannotBeWritten) {
    QTemporaryDir dir;
    const QString fallback = dir.filePath("Celltimes.txt");
    const QStringList marks = {"00:01:00.000", "00:05:00.000"};
    const QByteArray bytes = "00:01:00.000\r\n00:05:00.000\r\n";

    for (const QString& primary : UnwritablePaths(dir)) {
        QFile::remove(fallback);
        EXPECT_EQ(WriteCellTimesOrFallback(primary, fallback, marks), fallback)
            << primary.toStdString();
        EXPECT_EQ(ReadAll(fallback), bytes);
        EXPECT_FALSE(QFile::exists(primary));
    }

    QFile::remove(fallback);
    const QString primary = dir.filePath("film_Celltimes.txt");
    EXPECT_EQ(WriteCellTimesOrFallback(primary, fallback, marks), primary);
    EXPECT_EQ(ReadAll(primary), bytes);
    EXPECT_FALSE(QFile::exists(fallback));

    const QStringList unwritable = UnwritablePaths(dir);
    EXPECT_EQ(WriteCellTimesOrFallback(unwritable[0], unwritable[1], marks), QString());
}

TEST(RewriteCellTimesAfterDelete, RewritesTheRestOrDeletesTheEmptyList) {
    QTemporaryDir dir;
    const QString path = dir.filePath("film_Celltimes.txt");
    ASSERT_TRUE(WriteCellTimes(path, {"00:01:00.000", "00:02:00.000", "00:03:00.000"}));

    RewriteCellTimesAfterDelete(path, {"00:01:00.000", "00:03:00.000"});
    EXPECT_EQ(ReadAll(path), "00:01:00.000\r\n00:03:00.000\r\n");
    RewriteCellTimesAfterDelete(path, {});
    EXPECT_FALSE(QFile::exists(path));
    // Deleting again, with no file left, changes nothing.
    RewriteCellTimesAfterDelete(path, {});
    EXPECT_EQ(FolderEntries(dir.path()), QStringList());
}

TEST(RewriteCellTimesAfterDelete, LeavesTheFallbackFileAlone) {
    QTemporaryDir dir;
    const QString primary = UnwritablePaths(dir)[1];
    const QString fallback = dir.filePath("Celltimes.txt");
    ASSERT_EQ(WriteCellTimesOrFallback(primary, fallback, {"00:01:00.000", "00:02:00.000"}),
              fallback);
    const QByteArray written = ReadAll(fallback);

    RewriteCellTimesAfterDelete(primary, {"00:02:00.000"});
    EXPECT_EQ(ReadAll(fallback), written);
    RewriteCellTimesAfterDelete(primary, {});
    EXPECT_EQ(ReadAll(fallback), written);
    EXPECT_EQ(ReadAll(dir.filePath("plain")), "x");
}

TEST(WriteCellTimes, FullDiskKeepsThePreviousList) {
    QTemporaryDir dir;
    const QString path = dir.filePath("film_Celltimes.txt");
    const QByteArray old = "00:01:00.000\r\n00:02:00.000\r\n";
    ASSERT_TRUE(WriteAll(path, old));

    // A file size limit makes writes fail as on a full disk.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = WriteCellTimes(path, ManyMarks(1000));
    RewriteCellTimesAfterDelete(path, ManyMarks(999));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"film_Celltimes.txt"});
}

TEST(WriteCellTimes, KilledInTheMiddleLeavesThePreviousListWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath("film_Celltimes.txt");
    const QByteArray old = "00:01:00.000\r\n00:02:00.000\r\n";
    ASSERT_TRUE(WriteAll(path, old));

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(KilledWriterEnv, path);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=-*"});
    ASSERT_TRUE(child.waitForFinished(60000));
    ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << "the write was not interrupted";

    EXPECT_EQ(ReadAll(path), old);
    // Where the file system has no unnamed files, the unfinished temporary file may stay beside
    // the list under its own name.
    const QRegularExpression leftover("^film_Celltimes\\.txt\\.[A-Za-z0-9]{6}$");
    QStringList others = FolderEntries(dir.path());
    others.removeOne("film_Celltimes.txt");
    EXPECT_LE(others.size(), 1);
    for (const QString& name : others)
        EXPECT_TRUE(leftover.match(name).hasMatch()) << name.toStdString();

    // The next write is not disturbed by anything the killed one left.
    const QStringList marks = ManyMarks(3);
    EXPECT_TRUE(WriteCellTimes(path, marks));
    EXPECT_EQ(ReadCellTimes(path), marks);
}

struct ParseCase {
    QStringList lines;
    std::optional<QStringList> expected;
};

TEST(ParseCellTimes, CollectsTheTimesOfLinesWithAColon) {
    using L = QStringList;
    const ParseCase cases[] = {
        {{"Chapters", "", "00:01:00.000,00:02:00.000"}, L{"00:01:00.000", "00:02:00.000"}},
        {{"00:00:00.000", "00:05:00.000,00:10:00.000"},
         L{"00:00:00.000", "00:05:00.000", "00:10:00.000"}},
        {{"00:00:00.000"}, L{"00:00:00.000"}},
        // A lone time is taken only at 3 to 14 characters; several are taken at any length.
        {{"00:00:00.00000"}, L{"00:00:00.000"}},
        {{"00:00:00.000000"}, std::nullopt},
        {{"00:00:00.000000", "1:2"}, L{"00:00:00.000", "01:02:00"}},
        {{"1:2"}, L{"01:02:00"}},
        {{"1:"}, std::nullopt},
        {{"no colon", "", "12.5"}, std::nullopt},
        {{}, std::nullopt},
        // Entries found, none usable: the list is emptied.
        {{"abc:"}, L{}},
        {{"00:01:00.000,junk:,1:2:3a,12:34.5"}, L{"00:01:00.000", "00:12:34.500"}},
        {{"00:01:00.000,"}, L{"00:01:00.000"}},
        {{"00:01:00.000\r\n00:02:00.000", "00:03:00.000\n00:04:00.000\r00:05:00.000"},
         L{"00:01:00.000", "00:02:00.000", "00:03:00.000", "00:04:00.000", "00:05:00.000"}},
        // The file's order and repeats are kept; the list box sorts.
        {{"00:05:00.000", "00:01:00.000", "00:05:00.000"},
         L{"00:05:00.000", "00:01:00.000", "00:05:00.000"}},
        {{" 00:01:00.000", "1:02:03:4567"}, L{"01:02:03.456"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseCellTimes(c.lines), c.expected) << c.lines.join('|').toStdString();
}

struct ReadCase {
    const char* name;
    QByteArray bytes;
    std::optional<QStringList> expected;
};

TEST(ReadCellTimes, ReadsWhatTheWriterWritesAndHandEditedFiles) {
    using L = QStringList;
    const L three = {"00:00:10.000", "00:02:31.240", "00:05:02.080"};
    const qint64 limit = CellTimesReadLimit;
    // A time cut in half by the read limit, and one beyond it.
    QByteArray overLimit = "00:01:00.000\r\n";
    overLimit += QByteArray(limit - 7 - overLimit.size() - 2, 'x') + "\r\n";
    overLimit += "00:05:00.000\r\n00:09:00.000\r\n";

    const ReadCase cases[] = {
        {"crlf", "00:00:10.000\r\n00:02:31.240\r\n00:05:02.080\r\n", three},
        {"lf", "00:00:10.000\n00:02:31.240\n00:05:02.080", three},
        {"hand edited", "My film\r\n\r\n00:01:00.000,00:02:00.000\r\n",
         L{"00:01:00.000", "00:02:00.000"}},
        {"empty", "", std::nullopt},
        {"not ascii", QByteArray("00:01:00.000\xff\r\n00:02:00.000\0\r\n", 30), L{}},
        {"over the limit", overLimit, L{"00:01:00.000"}},
        {"first line over the limit", QByteArray(limit + 100, 'x') + "\n00:01:00.000\n",
         std::nullopt},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("film_Celltimes.txt");
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteAll(path, c.bytes));
        EXPECT_EQ(ReadCellTimes(path), c.expected) << c.name;
    }
}

TEST(ReadCellTimes, GivesNothingForWhatIsNotARegularFile) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Opening a pipe would wait for a writer forever.
    EXPECT_EQ(ReadCellTimes(fifo), std::nullopt);
    EXPECT_EQ(ReadCellTimes(dir.path()), std::nullopt);
    EXPECT_EQ(ReadCellTimes(dir.filePath("missing")), std::nullopt);
}

} // namespace
