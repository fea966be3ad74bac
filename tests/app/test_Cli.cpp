#include "shell/Startup.h"
#include "support/ProgramRun.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <csignal>
#include <gtest/gtest.h>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the program in its own folder tree (home, temp and settings folders of its own).
CliRun RunIn(const ProgramSandbox& box, const QStringList& args) {
    QList<QByteArray> bytes;
    for (const QString& arg : args)
        bytes << QFile::encodeName(arg);
    const ProcessResult result = RunProgram(box, bytes, {.timeoutMs = 30000});
    return {result.finished && result.signal == 0 ? result.exitCode : -2,
            QString::fromLocal8Bit(result.out), QString::fromLocal8Bit(result.err)};
}

// The front-end's language setting in the program's settings folder.
void SetLangId(const QString& home, const QString& value) {
    QSettings settings(QDir(home).filePath(QStringLiteral(".config/OrvelStudio.conf")),
                       QSettings::IniFormat);
    settings.setValue(QStringLiteral("Startup/LangID"), value);
}

class Cli : public ::testing::Test {
protected:
    CliRun Run(const QStringList& args) { return RunIn(box, args); }
    ProgramSandbox box;
};

// tones.vob's audio holds more picture-code bytes than its video has pictures: the play time from
// the GOP time codes must still be that of its pictures.
TEST_F(Cli, InfoPrintsTheStreamReport) {
    for (const char* name : {"pal_dvd.vob", "tones.vob"}) {
        SCOPED_TRACE(name);
        const QString video = TestVideo(QString::fromLatin1(name));
        const CliRun run = Run({QStringLiteral("--info"), video});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 12);
        EXPECT_EQ(lines[0], "Info:");
        EXPECT_EQ(lines[1], "Videowidth=720");
        EXPECT_EQ(lines[2], "Videoheight=576");
        EXPECT_EQ(lines[3], "Frames per second=25");
        EXPECT_EQ(lines[4], "Aspect ratio=4:3");
        EXPECT_EQ(lines[5], "MPEG Type=2");
        EXPECT_TRUE(lines.contains(QStringLiteral("Muxed=1")));
        EXPECT_TRUE(lines.contains(QStringLiteral("MuxOK=1")));
        EXPECT_TRUE(run.out.contains(QStringLiteral("   Duration in seconds (SCR)=")));
        const QStringList gop = lines.filter(QStringLiteral("Duration in seconds (GOP)="));
        ASSERT_EQ(gop.size(), 1);
        const double seconds = gop[0].section(u'=', 1).toDouble();
        EXPECT_NEAR(seconds, DecodedPictures(video) / 25.0, 1 / 25.0);
    }
}

TEST_F(Cli, InfoFollowsTheLanguageSetting) {
    SetLangId(box.home(), QStringLiteral("2000"));
    const CliRun run = Run({QStringLiteral("--info"), TestVideo(QStringLiteral("ntsc_df.mpg"))});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("Videobreite=720")));
    EXPECT_TRUE(run.out.contains(QString::fromUtf8("Videohöhe=480")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("Timecode: NTSC drop frame")));
}

TEST_F(Cli, InfoExitCodesTellWhatWentWrong) {
    QDir(box.home()).mkdir(QStringLiteral("folder.mpg"));
    WriteAll(QDir(box.home()).filePath(QStringLiteral("empty.mpg")), {});
    const struct {
        QString path;
        int exitCode;
        const char* stdoutStart;
    } cases[] = {
        {TestVideo(QStringLiteral("notmpeg.bin")), 1, "Info:\nNo sequence header found!\n"},
        {QDir(box.home()).filePath(QStringLiteral("empty.mpg")), 1, "Info:\n"},
        {QDir(box.home()).filePath(QStringLiteral("missing.mpg")), 2, ""},
        {QDir(box.home()).filePath(QStringLiteral("folder.mpg")), 2, ""},
    };
    for (const auto& c : cases) {
        const CliRun run = Run({QStringLiteral("--info"), c.path});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.path.toStdString();
        const QString start = QString::fromLatin1(c.stdoutStart);
        EXPECT_TRUE(start.isEmpty() ? run.out.isEmpty() : run.out.startsWith(start))
            << run.out.toStdString() << "|" << run.err.toStdString();
        if (c.exitCode == 2) {
            EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
            EXPECT_TRUE(run.err.contains(c.path));
        }
    }
    EXPECT_EQ(Run({QStringLiteral("--info")}).exitCode, 2);
}

TEST_F(Cli, HelpAndVersionCountOnlyAsFirstArgument) {
    CliRun run = Run({QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("/outdir=")));
    run = Run({QStringLiteral("--version")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("Cueboard ")));
    // After a video, "--help" is just part of the front-end's command line.
    run = Run({TestVideo(QStringLiteral("notmpeg.bin")), QStringLiteral("/outdir=") + box.home(),
               QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(run.out.contains(QStringLiteral("Usage:")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("No sequence header found!")))
        << run.err.toStdString();
}

TEST_F(Cli, VideosTheEditorCannotShowAreRefused) {
    // An MPEG-2 stream with its sequence header but without any GOP header: the chooser takes
    // it, the editor refuses it.
    const QByteArray stream = ReadAll(TestVideo(QStringLiteral("pal.m2v")));
    const qsizetype gop = stream.indexOf(QByteArray::fromHex("000001B8"));
    ASSERT_GT(gop, 0);
    const QString noGop = QDir(box.home()).filePath(QStringLiteral("nogop.m2v"));
    ASSERT_TRUE(WriteAll(noGop, stream.left(gop) + QByteArray(4096, '\0')));
    const struct {
        QString video;
        const char* message;
    } cases[] = {
        {TestVideo(QStringLiteral("notmpeg.bin")), "No sequence header found!"},
        {TestVideo(QStringLiteral("mpeg1.mpg")), "Only MPEG2 videos can be used"},
        {noGop, "No GOP Header found"},
    };
    for (const auto& c : cases) {
        const CliRun run = Run({c.video});
        EXPECT_EQ(run.exitCode, 1) << c.video.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("cueboard: ") + QString::fromLatin1(c.message)))
            << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
}

// Unattended runs as services, ssh and cron start them: no display, none of its variables set
// (or one naming a display that is not there). Failed runs say so by their exit code.
TEST_F(Cli, AutomaticRunsNeedNoDisplayAndTellHowTheyEnded) {
    const QByteArray none; // a null value removes the variable
    const QMap<QByteArray, QByteArray> noDisplay{
        {"DISPLAY", none}, {"WAYLAND_DISPLAY", none}, {"QT_QPA_PLATFORM", none}};
    QMap<QByteArray, QByteArray> staleDisplay = noDisplay;
    staleDisplay.insert("DISPLAY", ":97");
    // A window system that cannot start at all: a program that makes a GUI application aborts.
    const QTemporaryDir noPlugins;
    QMap<QByteArray, QByteArray> noWindowSystem = noDisplay;
    noWindowSystem.insert("QT_QPA_PLATFORM", "xcb");
    noWindowSystem.insert("QT_QPA_PLATFORM_PLUGIN_PATH", QFile::encodeName(noPlugins.path()));
    const QString out = box.out();
    const QString chapters = u"/chapters="_qs;
    const struct {
        const char* what;
        const char* video;
        QStringList options;
        QMap<QByteArray, QByteArray> environment;
        int exitCode;
        const char* message; // on standard error; empty: none
        QStringList marks;   // the cell-times file's lines; empty: no file
    } cases[] = {
        {"images",
         "pal.m2v",
         {chapters + "00:00:00.000,00:00:02.000,00:00:30.000", u"/auto"_qs},
         noDisplay,
         3,
         "ERROR: Cannot find time 00:00:30.000 !!!",
         {"00:00:00.000", "00:00:01.840"}},
        {"stale display",
         "pal.m2v",
         {chapters + "00:00:00.000,00:00:02.000", u"/markonly"_qs, u"/auto"_qs},
         staleDisplay,
         0,
         "",
         {"00:00:00.000", "00:00:01.840"}},
        {"no window system",
         "pal.m2v",
         {chapters + "00:00:00.000,00:00:02.000", u"/auto"_qs},
         noWindowSystem,
         0,
         "",
         {"00:00:00.000", "00:00:01.840"}},
        {"no times", "pal.m2v", {u"/auto"_qs}, noDisplay, 3, "Sorry, automatic failed", {}},
        // A low-rate tail: the search's corrections pointed past the end of the file.
        {"times in the tail",
         "vbrtail.m2v",
         {chapters + "00:00:00.000,00:00:07.300,00:00:07.900", u"/markonly"_qs, u"/auto"_qs},
         noDisplay,
         0,
         "",
         {"00:00:00.000", "00:00:07.120", "00:00:07.600"}},
        // Picture-code bytes in the audio must not end the clips early.
        {"clips with tone tracks",
         "tones.vob",
         {chapters + "00:00:01.000", u"/clips=3"_qs, u"/auto"_qs},
         noDisplay,
         0,
         "",
         {"00:00:00.000", "00:00:00.880"}},
        {"a window without a display", "pal.m2v", {}, noDisplay, 1, "no display", {}},
        {"a window on a stale display", "pal.m2v", {}, staleDisplay, 1, "no display", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString video = TestVideo(QString::fromLatin1(c.video));
        QList<QByteArray> args{QFile::encodeName(video)};
        for (const QString& option : QStringList{u"/outdir="_qs + out} + c.options)
            args << QFile::encodeName(option);
        const ProcessResult run =
            RunProgram(box, args, {.timeoutMs = 60000, .environment = c.environment});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.signal, 0) << run.err.constData();
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.constData();
        const QStringList err = QString::fromLocal8Bit(run.err).split(u'\n', Qt::SkipEmptyParts);
        if (*c.message) {
            ASSERT_EQ(err.size(), 1) << run.err.constData();
            EXPECT_TRUE(err[0].startsWith(u"cueboard: "_qs)) << run.err.constData();
            EXPECT_TRUE(err[0].contains(QString::fromLatin1(c.message))) << run.err.constData();
        } else {
            EXPECT_TRUE(err.isEmpty()) << run.err.constData();
        }
        const QString base = QFileInfo(video).completeBaseName();
        const QString cellTimes = QDir(out).filePath(base + u"_Celltimes.txt"_qs);
        QStringList marks;
        for (const QByteArray& line : ReadAll(cellTimes).split('\n'))
            if (!line.trimmed().isEmpty())
                marks << QString::fromLatin1(line.trimmed());
        EXPECT_EQ(marks, c.marks);
        // Images for the marks unless only marks or clips were asked for; clips of at least 3 s,
        // each starting with a pack header.
        const bool clips = c.options.contains(u"/clips=3"_qs);
        const bool images = !c.options.contains(u"/markonly"_qs) && !clips;
        for (const QString& mark : c.marks) {
            const QString image = base + u'_' + QString(mark).replace(u':', u'_') + u".bmp"_qs;
            EXPECT_EQ(QFileInfo::exists(QDir(out).filePath(image)), images) << image.toStdString();
        }
        const QStringList clipFiles = QDir(out).entryList({QStringLiteral("*.vob")});
        EXPECT_EQ(clipFiles.size(), clips ? c.marks.size() : 0);
        for (const QString& clip : clipFiles) {
            const QString path = QDir(out).filePath(clip);
            EXPECT_TRUE(ReadAll(path).startsWith(QByteArray::fromHex("000001BA")));
            EXPECT_GE(DecodedPictures(path), 3 * 25) << clip.toStdString();
        }
        for (const QString& name : QDir(out).entryList(QDir::Files))
            QFile::remove(QDir(out).filePath(name));
    }
}

TEST_F(Cli, WithoutAUsableVideoTheChooserStaysOpen) {
    const ProcessResult run = RunProgram(
        box, {QFile::encodeName(QDir(box.home()).filePath(QStringLiteral("nothing.mpg")))},
        {.stopAfterMs = 1500});
    EXPECT_EQ(run.signal, SIGTERM) << "the program ended instead of waiting";
    EXPECT_FALSE(run.err.contains("cueboard:"));
}

TEST_F(Cli, SecondCopyEndsAtOnceAndSilently) {
    // Hold the single-instance lock the way a running copy does, in the same temp folder.
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(box.temp()));
    std::unique_ptr<QLockFile> held = AcquireSingleInstance();
    qputenv("TMPDIR", oldTmp);
    ASSERT_TRUE(held);
    const QString missing = QDir(box.home()).filePath(QStringLiteral("nothing.mpg"));
    const CliRun run = Run({missing});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    held.reset();
    // With the first copy gone the start goes on, here to the chooser's refusal of the file.
    const CliRun again = Run({TestVideo(QStringLiteral("notmpeg.bin"))});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("No sequence header found!")))
        << again.err.toStdString();
}

} // namespace
