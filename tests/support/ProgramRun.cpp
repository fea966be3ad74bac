#include "support/ProgramRun.h"

#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The program folder (the program may always write there) and the folders libraries below the
// program fill (font caches, the window system's runtime folder).
const char* const UnwatchedFolders[] = {"app", "cache", "runtime"};

// A program waiting for the user uses less than this in a second of processor time.
constexpr double IdleSeconds = 0.5;
constexpr int MaxIdleChecks = 8;

QByteArray Hash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("unreadable");
    QCryptographicHash hash(QCryptographicHash::Sha1);
    // Sparse videos of gigabytes: their size and both ends tell a change well enough.
    if (file.size() > (qint64(64) << 20)) {
        hash.addData(file.read(1 << 20));
        file.seek(file.size() - (1 << 20));
        hash.addData(file.read(1 << 20));
        return QByteArray::number(file.size()) + ':' + hash.result().toHex();
    }
    hash.addData(&file);
    return hash.result().toHex();
}

// Processor time (user + system) of a running process in seconds; -1 when unknown.
double CpuSeconds(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = fields[11].toDouble() + fields[12].toDouble(); // utime, stime
    return ticks / double(sysconf(_SC_CLK_TCK));
}

std::vector<QByteArray> Environment(const ProgramSandbox& box,
                                    const QMap<QByteArray, QByteArray>& changes) {
    const QByteArray root = QFile::encodeName(box.root());
    QMap<QByteArray, QByteArray> own = {
        {"HOME", root + "/home"},
        {"TMPDIR", root + "/tmp"},
        {"XDG_CONFIG_HOME", root + "/home/.config"},
        {"XDG_DATA_HOME", root + "/home/.local/share"},
        {"XDG_CACHE_HOME", root + "/cache"},
        {"XDG_RUNTIME_DIR", root + "/runtime"},
        {"QT_QPA_PLATFORM", "offscreen"},
    };
    own.insert(changes);
    std::vector<QByteArray> env;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (!own.contains(entry.left(entry.indexOf('='))))
            env.push_back(entry);
    }
    for (auto it = own.cbegin(); it != own.cend(); ++it) {
        if (!it.value().isNull())
            env.push_back(it.key() + '=' + it.value());
    }
    return env;
}

} // namespace

ProgramSandbox::ProgramSandbox() {
    if (!root_.isValid())
        return;
    QDir dir(root_.path());
    for (const char* name : {"videos", "out", "app", "home", "tmp", "cache", "runtime", "cwd"})
        dir.mkdir(QString::fromLatin1(name));
    QFile::setPermissions(folder("runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // A hard link where the file system allows it, else a copy.
    const QByteArray from = QFile::encodeName(CueboardBinary());
    const QByteArray to = QFile::encodeName(binary());
    valid_ = link(from.constData(), to.constData()) == 0 || QFile::copy(CueboardBinary(), binary());
}

QMap<QString, QByteArray> ProgramSandbox::Snapshot() const {
    QMap<QString, QByteArray> files;
    const QDir base(root());
    QDirIterator it(root(), QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = base.relativeFilePath(path);
        const QString top = relative.section(u'/', 0, 0);
        if (std::any_of(std::begin(UnwatchedFolders), std::end(UnwatchedFolders),
                        [&](const char* name) { return top == QLatin1String(name); }))
            continue;
        files.insert(relative, Hash(path));
    }
    return files;
}

QStringList ChangedFiles(const QMap<QString, QByteArray>& before,
                         const QMap<QString, QByteArray>& after) {
    QStringList changed;
    for (auto it = after.begin(); it != after.end(); ++it) {
        if (before.value(it.key()) != it.value())
            changed << it.key();
    }
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (!after.contains(it.key()))
            changed << it.key() + QStringLiteral(" (removed)");
    }
    return changed;
}

ProcessResult RunProgram(const ProgramSandbox& box, const QList<QByteArray>& args,
                         const ProcessOptions& options) {
    // Everything the child needs is prepared before fork: after it only system calls run.
    const QByteArray binary = QFile::encodeName(box.binary());
    std::vector<QByteArray> argBytes{binary};
    argBytes.insert(argBytes.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (QByteArray& a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> envBytes = Environment(box, options.environment);
    std::vector<char*> envp;
    for (QByteArray& e : envBytes)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const QByteArray cwd = QFile::encodeName(box.root() + QStringLiteral("/cwd"));
    // Output goes through pipes: a file size limit would stop writes to log files as well.
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0)
        return {};
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return {};
    }

    ProcessResult result;
    const pid_t pid = fork();
    if (pid < 0) {
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
            close(fd);
        return result;
    }
    if (pid == 0) {
        const int null = open("/dev/null", O_RDONLY);
        if (null < 0 || chdir(cwd.constData()) != 0)
            _exit(127);
        dup2(null, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        if (options.fileSizeLimit >= 0) {
            // The signal a file size limit sends would end the process; ignored, writes fail.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(options.fileSizeLimit), rlim_t(options.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }

    close(outPipe[1]);
    close(errPipe[1]);
    fcntl(outPipe[0], F_SETFL, O_NONBLOCK);
    fcntl(errPipe[0], F_SETFL, O_NONBLOCK);
    const auto drain = [&] {
        char buffer[65536];
        for (const auto& [fd, target] :
             {std::pair{outPipe[0], &result.out}, std::pair{errPipe[0], &result.err}}) {
            ssize_t n = 0;
            while ((n = read(fd, buffer, sizeof buffer)) > 0)
                target->append(buffer, n);
        }
    };

    int status = 0;
    bool ended = false;
    double cpuAtStop = -1;
    bool measuring = false;
    qint64 measuredUntil = options.stopAfterMs;
    int checks = 0;
    QElapsedTimer clock;
    clock.start();
    for (qint64 waited = 0; waited < options.timeoutMs; waited = clock.elapsed()) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            ended = true;
            break;
        }
        if (options.stopAfterMs > 0 && !measuring && waited >= options.stopAfterMs) {
            cpuAtStop = CpuSeconds(pid);
            measuring = true;
        }
        // One second of processor time is measured at a time, until a second passes idle or
        // MaxIdleChecks seconds were all busy: on a loaded machine the start may take longer.
        if (measuring && waited >= measuredUntil + 1000) {
            const double cpu = CpuSeconds(pid);
            const double busy = cpu - cpuAtStop;
            result.busySeconds = result.busySeconds < 0 ? busy : std::min(result.busySeconds, busy);
            cpuAtStop = cpu;
            measuredUntil = waited;
            if (result.busySeconds < IdleSeconds || ++checks >= MaxIdleChecks) {
                kill(pid, SIGTERM);
                waitpid(pid, &status, 0);
                ended = true;
                break;
            }
        }
        drain();
        QThread::msleep(20);
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    result.finished = ended;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    drain();
    close(outPipe[0]);
    close(errPipe[0]);
    return result;
}
