#include "app/ExportChaptersCommand.h"
#include "chooser/ChooserWindow.h"
#include "editor/MessageBoxes.h"
#include "session/AutoRun.h"
#include "shell/CommandLine.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "shell/MessageSeam.h"
#include "shell/Startup.h"
#include "stream/FileAccess.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLockFile>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

void PrintLine(FILE* out, const QString& line) {
    const QByteArray bytes = line.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
    std::fputc('\n', out);
}

void PrintUsage() {
    const char* usage =
        "Usage: cueboard [VIDEO [OPTIONS]]\n"
        "       cueboard --info VIDEO\n"
        "       cueboard --export-chapters FORMAT VIDEO [OUTDIR] [--names=TEMPLATE]\n"
        "\n"
        "Viewer and chapter editor for MPEG-2 video (.m2v, .mpv, .mpg, .vob).\n"
        "\n"
        "Options after the video (the authoring front-end passes them):\n"
        "  /outdir=\"DIR\"          folder for the chapter file, images and clips\n"
        "  /chapters=\"T1,T2,...\"  chapter times (HH:MM:SS.mmm) to create\n"
        "  /clips=\"S\"             save clips of S seconds instead of images\n"
        "  /crop=\"L,T,-R,-B\"      crop margins in pixels\n"
        "  /markonly              save chapter marks only, no images or clips\n"
        "  /auto                  run the whole job without user action and quit\n"
        "                         (exit 1: video refused or missing, 2: some\n"
        "                         images, clips or the chapter list not written,\n"
        "                         3: the run failed or stopped before its last\n"
        "                         chapter); needs no display\n"
        "\n"
        "  --info VIDEO   print the stream report of VIDEO and exit\n"
        "                 (exit 1: no sequence header, 2: file cannot be read)\n"
        "  --export-chapters FORMAT VIDEO [OUTDIR]\n"
        "                 print the chapter list of VIDEO's cell-times file (in\n"
        "                 OUTDIR, default the video's folder) in FORMAT: dvdauthor,\n"
        "                 markers, ogm, mkvxml, ffmetadata or youtube (exit 1: no\n"
        "                 cell-times file, 2: it cannot be read); --names=TEMPLATE\n"
        "                 names the chapters, %1 their number (\"Chapter %1\")\n"
        "  --help         show this text\n"
        "  --version      show the version\n";
    std::fputs(usage, stdout);
}

// Reason why `path` cannot be read as a video, or empty text when it can.
QString UnreadableReason(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("no such file");
    if (info.isDir())
        return QStringLiteral("is a folder, not a video file");
    if (FileSizeOf(path) == 0 && !OpenFile(path).isOpen())
        return QStringLiteral("cannot be opened for reading");
    return QString();
}

// Scans `path` and prints its report. Exit codes: 0 report printed, 1 no sequence header,
// 2 the file cannot be read.
int PrintStreamReport(const QString& path) {
    const QString reason = UnreadableReason(path);
    if (!reason.isEmpty()) {
        PrintLine(stderr, QStringLiteral("cueboard: %1: %2").arg(path, reason));
        return 2;
    }
    if (!ScanMpegHeaders(path)) {
        PrintLine(stdout, QStringLiteral("Info:"));
        PrintLine(stdout, LoadLangString(201));
        return 1;
    }
    for (const QString& line : ShowFileInfo())
        PrintLine(stdout, line);
    return 0;
}

// The script options: --help, --version and --info, recognised only as the first argument.
// Returns -1 when the command line is not one of them.
int RunScriptOption(const QStringList& args) {
    const QString first = args.value(0);
    if (first == u"--help" || first == u"-h") {
        PrintUsage();
        return 0;
    }
    if (first == u"--version") {
        PrintLine(stdout, QStringLiteral("Cueboard " CUEBOARD_VERSION));
        return 0;
    }
    if (first == u"--info") {
        if (args.size() != 2) {
            PrintLine(stderr, QStringLiteral("Usage: cueboard --info VIDEO"));
            return 2;
        }
        GlobalVars().LangBase = ReadLangBase();
        SetLangBase(GlobalVars().LangBase);
        return PrintStreamReport(args[1]);
    }
    return -1;
}

bool HasEnv(const char* name) {
    return !qEnvironmentVariableIsEmpty(name);
}

// The one line a start without a display ends with.
void NoDisplayLine(const QString& why) {
    WriteMessageLine(QStringLiteral("no display to show the windows on (%1); /auto and --info work "
                                    "without one")
                         .arg(why));
}

// Picks where the windows go before the window system is contacted; false after one line on
// standard error when there is no display to show them on.
bool ChooseWindowSystem() {
    if (HasEnv("QT_QPA_PLATFORM") || HasEnv("WAYLAND_DISPLAY") || HasEnv("DISPLAY"))
        return true;
    NoDisplayLine(QStringLiteral("DISPLAY and WAYLAND_DISPLAY are not set"));
    return false;
}

// The single-instance lock while the window system starts: a start that gives up lets it go.
QLockFile* StartingLock = nullptr;

// While the window system starts: a display that is named but cannot be reached makes Qt give up
// with a fatal message, which becomes the one clear line and exit code 1 instead of an abort.
void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg) {
        NoDisplayLine(QStringLiteral("the window system could not be reached"));
        if (StartingLock)
            StartingLock->unlock();
        std::_Exit(1);
    }
    if (type == QtWarningMsg || type == QtInfoMsg || type == QtDebugMsg)
        return; // the platform plugins' own diagnostics are not for the user
    WriteMessageLine(text);
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const QString first = args.value(0);
    if (first == u"--export-chapters") {
        QCoreApplication app(argc, argv);
        return RunExportChapters(args.mid(1));
    }
    if (first == u"--help" || first == u"-h" || first == u"--version" || first == u"--info") {
        QCoreApplication app(argc, argv);
        return RunScriptOption(args);
    }

    // The lock records the application name, which must be the executable's name for Qt to
    // tell a live first copy from a stale lock; it is taken before the window system is
    // contacted, so a second copy ends silently and at once.
    QCoreApplication::setApplicationName(QStringLiteral("cueboard"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CUEBOARD_VERSION));
    const std::unique_ptr<QLockFile> instanceLock = AcquireSingleInstance();
    if (!instanceLock)
        return 0;

    Global_var_module options;
    ReadArguments(args, options);
    // The unattended run needs no window and no window system.
    if (options.AutoMode != FlagFalse) {
        QCoreApplication app(argc, argv);
        RunStartup(args, GlobalVars());
        return RunAutomatic(GlobalVars());
    }
    if (!ChooseWindowSystem())
        return 1;
    StartingLock = instanceLock.get();
    const QtMessageHandler qtMessages = qInstallMessageHandler(StartupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtMessages);
    StartingLock = nullptr;
    QApplication::setApplicationDisplayName(QStringLiteral("Cueboard"));
    InstallMessageBoxes();

    // The chooser's load step settles the run; a video named on the command line is opened in
    // the editor once the chooser is shown, and closing the chooser ends the program.
    frmTest chooser;
    chooser.Form_Load(args);
    chooser.show();
    app.exec();
    return chooser.ExitCode;
}
