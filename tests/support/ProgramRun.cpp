#include "support/ProgramRun.h"

#include <QDateTime>
#include <QDirIterator>
#include <QProcess>
#include <QtEndian>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The modification time of every file but those of the program folder and the libraries' caches:
// any write shows.
QMap<QString, QDateTime> Snapshot(const QString& root) {
    QMap<QString, QDateTime> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = QDir(root).relativeFilePath(it.next());
        if (!QStringList{"app", "cache", "runtime"}.contains(relative.section(u'/', 0, 0)))
            files.insert(relative, it.fileInfo().lastModified());
    }
    return files;
}

// Processor time (user + system) of a running process in seconds.
double CpuSeconds(qint64 pid) {
    const QByteArray stat = ReadAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

std::vector<char*> Pointers(std::vector<QByteArray>& strings) {
    std::vector<char*> pointers;
    for (QByteArray& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

void ProgramTest::SetUp() {
    ASSERT_TRUE(root.isValid());
    for (const char* name : {"videos", "out", "app", "home", "tmp", "cache", "runtime", "cwd"})
        QDir(root.path()).mkdir(QString::fromLatin1(name));
    QFile::setPermissions(Dir("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(QFile::copy(CueboardBinary(), Dir("app/cueboard")));
}

QString ProgramTest::AddVideo(const QString& name, const QByteArray& bytes) {
    EXPECT_TRUE(WriteAll(Dir("videos") + u'/' + name, bytes));
    return Dir("videos") + u'/' + name;
}

void ProgramTest::ExpectWholeFiles(const QString& folder) {
    for (const QString& name :
         FilesIn(folder).filter(QRegularExpression(u"_\\d\\d_\\d\\d_\\d\\d\\."_qs))) {
        const QByteArray bytes = ReadAll(folder + u'/' + name);
        if (name.endsWith(u".bmp")) {
            ASSERT_GT(bytes.size(), 54) << name.toStdString();
            EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 2), quint32(bytes.size()));
            EXPECT_TRUE(bytes.startsWith("BM") && bytes[28] == 24) << name.toStdString();
        }
        EXPECT_TRUE(!name.endsWith(u".vob") || bytes.startsWith(QByteArray::fromHex("000001BA")))
            << name.toStdString();
    }
}

RunResult ProgramTest::Run(const QList<QByteArray>& args, RunOptions options) {
    const QString r = root.path();
    // clang-format off
    QMap<QString, QString> vars{{"HOME", r + "/home"}, {"TMPDIR", r + "/tmp"},
        {"XDG_CONFIG_HOME", r + "/home/.config"}, {"XDG_DATA_HOME", r + "/home/.local/share"},
        {"XDG_CACHE_HOME", r + "/cache"}, {"XDG_RUNTIME_DIR", r + "/runtime"}, {"QT_QPA_PLATFORM", "offscreen"}};
    // clang-format on
    vars.insert(options.environment);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = vars.cbegin(); it != vars.cend(); ++it)
        it->isNull() ? env.remove(it.key()) : env.insert(it.key(), *it);
    // Made before the start: the child only calls the system. The arguments are bytes, so file
    // names that are not UTF-8 reach the program as they are.
    std::vector<QByteArray> argBytes{Arg(Dir("app/cueboard"))}, envBytes;
    argBytes.insert(argBytes.end(), args.begin(), args.end());
    for (const QString& e : env.toStringList())
        envBytes.push_back(Arg(e));
    const std::vector<char*> argv = Pointers(argBytes), envp = Pointers(envBytes);
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setWorkingDirectory(Dir("cwd"));
    process.setChildProcessModifier([&] {
        if (options.fileSizeLimit >= 0) {
            signal(SIGXFSZ, SIG_IGN); // writes over the limit fail instead of ending the process
            const rlimit limit{rlim_t(options.fileSizeLimit), rlim_t(options.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    });
    const QMap<QString, QDateTime> before = Snapshot(r);
    process.start(Dir("app/cueboard"), {});
    process.waitForStarted();
    // Waits of 50 ms: a run ends within 90 s; a window is measured a second at a time from
    // `stopAfterMs` on and stopped once idle for a second, or busy for eight (a loaded machine).
    double cpu = -1, busy = -1;
    bool hung = false;
    for (int tick = 1, checks = 0; process.state() && !process.waitForFinished(50); ++tick) {
        if ((hung = tick > 1800))
            process.kill();
        if (options.stopAfterMs > 0 && tick * 50 >= options.stopAfterMs && tick % 20 == 0) {
            const double now = CpuSeconds(process.processId());
            busy = cpu < 0 ? busy : busy < 0 ? now - cpu : std::min(busy, now - cpu);
            cpu = now;
            if ((busy >= 0 && busy < 0.5) || ++checks > 8)
                process.terminate();
        }
    }
    const RunResult result{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                           process.readAllStandardOutput(), process.readAllStandardError()};
    const int signal = process.exitStatus() == QProcess::CrashExit ? process.exitCode() : 0;
    const std::string err = result.err.left(2000).toStdString();
    EXPECT_FALSE(hung) << "no end within the time limit: " << err;
    if (options.stopAfterMs > 0) {
        EXPECT_EQ(signal, SIGTERM) << "ended instead of waiting for the user: " << err;
        EXPECT_LT(busy, 0.5) << "busy while it should wait for the user";
        options.allowed << QStringLiteral("tmp");
    } else {
        EXPECT_EQ(signal, 0) << err;
        EXPECT_TRUE(options.allowed.contains(u"tmp"_qs) || FilesIn(Dir("tmp")).isEmpty())
            << "the single-instance lock stayed";
    }
    EXPECT_FALSE(result.err.contains("Sanitizer") || result.err.contains("runtime error:")) << err;
    const QMap<QString, QDateTime> after = Snapshot(r);
    for (const QString& path : before.keys() + after.keys()) {
        EXPECT_TRUE(before.value(path) == after.value(path) ||
                    options.allowed.contains(path.section(u'/', 0, 0)))
            << "written: " << path.toStdString();
    }
    for (const QString& name : options.stopAfterMs > 0 ? FilesIn(Dir("tmp")) : QStringList())
        QFile::remove(Dir("tmp") + u'/' + name); // the lock a stopped copy left behind
    return result;
}
