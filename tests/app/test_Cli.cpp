#include "shell/Startup.h"
#include "support/ProgramRun.h"

#include <QLockFile>
#include <QSettings>

namespace {

using Cli = ProgramTest;

// The unattended run and window starts as services, ssh and cron make them. Each row's video is
// copied into "videos"; `where` is the folder its cell-times file, images and clips must land in.
TEST_F(Cli, UnattendedRunsWriteTheirFilesAndTellHowTheyEnded) {
    const QString none; // a null value removes the variable
    const QMap<QString, QString> noDisplay{
        {"DISPLAY", none}, {"WAYLAND_DISPLAY", none}, {"QT_QPA_PLATFORM", none}};
    QMap<QString, QString> stale = noDisplay, noWindowSystem = noDisplay;
    stale.insert("DISPLAY", ":97");
    // A window system that cannot start at all: making a GUI application there aborts.
    const QTemporaryDir noPlugins;
    noWindowSystem.insert("QT_QPA_PLATFORM", "xcb");
    noWindowSystem.insert("QT_QPA_PLATFORM_PLUGIN_PATH", noPlugins.path());
    // Root may write into any folder it owns; /proc is read-only for root too.
    const QString readOnly = geteuid() == 0 ? u"/proc"_qs : Dir("readonly");
    QDir().mkpath(Dir("readonly"));
    QFile::setPermissions(Dir("readonly"), QFile::ReadOwner | QFile::ExeOwner);
    // A folder whose chapter file's path would be too long for the front-end.
    QString deep = Dir("out");
    while (deep.size() < 260)
        deep += u"/folder_with_a_long_name_for_the_path_test"_qs;
    QDir().mkpath(deep);
    const QByteArray O = "/outdir=" + Arg(Dir("out")), A = "/auto", M = "/markonly";
    const QByteArray C = "/chapters=00:00:00.000,00:00:02.000", C3 = C + ",00:00:30.000";
    const QStringList pal{"00:00:00.000", "00:00:01.840"};
    const struct {
        const char* video;
        QList<QByteArray> options; // after the video
        QMap<QString, QString> environment;
        int exitCode;
        QByteArray err; // the one line on standard error, or its start
        const char* where = "out";
        const char* kind = "";  // the files made for each mark beside the cell-times file
        QStringList marks = {}; // the cell-times file's lines; empty: no file
    } rows[] = {
        // clang-format off
        {"pal.m2v", {O, C3, A}, noDisplay, 3, "cueboard: ERROR: Cannot find time 00:00:30.000 !!!\n", "out", ".bmp", pal},
        {"pal.m2v", {O, C, M, A}, stale, 0, "", "out", "", pal},
        {"pal.m2v", {O, C, A}, noWindowSystem, 0, "", "out", ".bmp", pal},
        {"pal.m2v", {O, A}, noDisplay, 3, "cueboard: Sorry, automatic failed\n"},
        {"pal.m2v", {"/outdir=" + Arg(deep), C, A}, {}, 3, "cueboard: Sorry, automatic failed\n"},
        // A low-rate tail: the search's corrections pointed past the end of the file.
        {"vbrtail.m2v", {O, "/chapters=00:00:00.000,00:00:07.300,00:00:07.900", M, A}, noDisplay, 0, "", "out", "",
         {"00:00:00.000", "00:00:07.120", "00:00:07.600"}},
        // Picture-code bytes in the audio must not end the clips early.
        {"tones.vob", {O, "/chapters=00:00:01.000", "/clips=3", A}, noDisplay, 0, "", "out", ".vob",
         {"00:00:00.000", "00:00:00.880"}},
        {"pal.m2v", {"/outdir=" + Arg(readOnly), C, A}, {}, 0, "", "app", ".bmp", pal},
        // A missing folder counts as none given: the video's own folder, none made.
        {"pal.m2v", {"/outdir=" + Arg(Dir("missing/folder")), C, A}, {}, 0, "", "videos", ".bmp", pal},
        {"pal.m2v", {O}, noDisplay, 1, "cueboard: no display"},
        {"pal.m2v", {O}, stale, 1, "cueboard: no display"},
        // clang-format on
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.options.join(' ').toStdString());
        const QString video = Dir("videos/") + r.video, where = Dir(r.where);
        ASSERT_TRUE(QFile::copy(TestVideo(r.video), video));
        const RunResult run = Run(QList<QByteArray>{Arg(video)} + r.options,
                                  {.allowed = {r.where}, .environment = r.environment});
        EXPECT_EQ(run.exitCode, r.exitCode);
        EXPECT_TRUE(run.err.startsWith(r.err) && run.err.count('\n') == !r.err.isEmpty())
            << run.err.constData();
        EXPECT_EQ(run.out, "");
        // The files by name and the cell-times file by its bytes.
        const QString stem = QFileInfo(video).completeBaseName() + u'_';
        QStringList expected{r.video, "cueboard"};
        for (const QString& mark : *r.kind ? r.marks : QStringList())
            expected << stem + QString(mark).replace(u':', u'_') + QLatin1String(r.kind);
        if (!r.marks.isEmpty())
            expected << stem + u"Celltimes.txt"_qs;
        QStringList files = FilesIn(where) + FilesIn(Dir("videos")) + FilesIn(Dir("app"));
        files.removeDuplicates();
        files.sort();
        expected.sort();
        EXPECT_EQ(files, expected);
        EXPECT_EQ(QString::fromLatin1(ReadAll(where + u'/' + stem + u"Celltimes.txt"_qs)),
                  r.marks.isEmpty() ? QString() : r.marks.join(u"\r\n") + u"\r\n"_qs);
        ExpectWholeFiles(where);
        for (const QString& name : FilesIn(where)) {
            EXPECT_TRUE(!name.endsWith(u".vob") || DecodedPictures(where + u'/' + name) >= 3 * 25)
                << "a clip shorter than 3 s";
            if (name != u"cueboard")
                QFile::remove(where + u'/' + name);
        }
        QFile::remove(video);
        EXPECT_FALSE(QFileInfo::exists(Dir("missing")));
    }
}

// Script options count only as the first argument. --export-chapters reads the cell-times files
// beside the videos, which need not be there: none for a.mpg, a folder for b.mpg.
TEST_F(Cli, ScriptOptionsPrintTheirTextAndExitCodes) {
    const QString settings = Dir("home") + u"/.config/OrvelStudio.conf"_qs;
    const QString empty = AddVideo(u"empty.mpg"_qs, {}), missing = Dir("videos/missing.mpg");
    QDir().mkpath(Dir("videos/folder.mpg"));
    QDir().mkpath(Dir("videos/b_Celltimes.txt"));
    const QByteArray one = "00:00:00.000\r\n";
    for (const auto& [name, list] : {std::pair<const char*, QByteArray>{"c", one},
                                     {"d", "no times\r\n"},
                                     {"e", ""},
                                     {"f", one + "00:00:04.000\r\n"}})
        WriteAll(Dir("videos/") + name + u"_Celltimes.txt"_qs, list);
    const auto V = [](const char* name) { return Arg(TestVideo(QString::fromLatin1(name))); };
    const auto L = [&](const char* name) { return Arg(Dir("videos/") + name); };
    const QByteArray I = "--info", E = "--export-chapters", folder = Arg(Dir("videos/folder.mpg"));
    const QByteArray pal = "Info:\nVideowidth=720\nVideoheight=576\nFrames per second=25\n"
                           "Aspect ratio=4:3\nMPEG Type=2\nSize in MB=";
    const QByteArray usage = "Usage: cueboard --export-chapters FORMAT VIDEO ";
    const struct {
        QList<QByteArray> args;
        bool german;
        int exitCode;
        QByteArray out, err; // see Matches
        QList<QByteArray> outHas = {};
        double fps = 0; // the play time from the GOP time codes is that of the decoded pictures
    } rows[] = {
        // clang-format off
        {{I, V("pal_dvd.vob")}, false, 0, pal, "", {"Muxed=1", "MuxOK=1", "\n   Duration in seconds (SCR)="}, 25},
        // tones.vob's audio holds more picture-code bytes than its video has pictures.
        {{I, V("tones.vob")}, false, 0, pal, "", {"MuxOK=1"}, 25},
        {{I, V("ntsc_df.mpg")}, true, 0, "Info:\nVideobreite=720\nVideohöhe=480\nBilder pro Sekunde=29.97", "",
         {"\nTimecode: NTSC drop frame\n"}, 30000 / 1001.0},
        {{I, V("notmpeg.bin")}, false, 1, "Info:\nNo sequence header found!\n", ""},
        {{I, Arg(empty)}, false, 1, "Info:\nNo sequence header found!\n", ""},
        {{I, Arg(missing)}, false, 2, "", "cueboard: " + Arg(missing) + ": no such file\n"},
        {{I, folder}, false, 2, "", "cueboard: " + folder + ": is a folder, not a video file\n"},
        {{I}, false, 2, "", "Usage: cueboard --info VIDEO\n"},
        {{"--help"}, false, 0, "Usage: cueboard [VIDEO [OPTIONS]]", "", {"\n  /outdir=\"DIR\""}},
        {{"--version"}, false, 0, "Cueboard ", ""},
        // After a video, "--help" is part of the front-end's command line: here a refused file.
        {{V("notmpeg.bin"), "/outdir=" + Arg(Dir("out")), "--help"}, false, 1, "", "cueboard: No sequence header found!\n"},
        {{E, "ogm", L("a.mpg")}, false, 1, "", "cueboard: " + L("a_Celltimes.txt") + ": no chapter list\n"},
        {{E, "ogm", L("b.mpg")}, false, 2, "", "cueboard: " + L("b_Celltimes.txt") + ": cannot be read\n"},
        {{E, "chm", L("c.mpg")}, false, 2, "", "cueboard: unknown chapter format \"chm\"\n" + usage},
        {{E, "ogm"}, false, 2, "", usage},
        {{E, "ogm", L("d.mpg")}, false, 2, "", "cueboard: " + L("d_Celltimes.txt") + ": holds no chapter times\n"},
        {{E, "youtube", L("e.mpg")}, false, 0, "", ""},
        {{E, "youtube", L("c.mpg")}, false, 0, "0:00 Chapter 01\n", ""},
        {{E, "youtube", "--names=Scene %1", L("f.mpg")}, false, 0, "0:00 Scene 01\n0:04 Scene 02\n", ""},
        // clang-format on
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.args.join(' ').toStdString());
        if (r.german)
            QSettings(settings, QSettings::IniFormat).setValue(u"Startup/LangID"_qs, 2000);
        const RunResult run = Run(r.args, {.allowed = {}});
        QFile::remove(settings);
        EXPECT_EQ(run.exitCode, r.exitCode);
        EXPECT_TRUE(Matches(run.out, r.out)) << run.out.constData();
        EXPECT_TRUE(Matches(run.err, r.err)) << run.err.constData();
        for (const QByteArray& text : r.outHas)
            EXPECT_TRUE(run.out.contains(text)) << text.constData();
        if (r.fps > 0) {
            const auto gop = QRegularExpression(u"\\(GOP\\)=([0-9.]+)\n"_qs).match(run.out);
            ASSERT_TRUE(gop.hasMatch()) << run.out.constData();
            EXPECT_NEAR(gop.captured(1).toDouble(),
                        DecodedPictures(QFile::decodeName(r.args[1])) / r.fps, 1 / r.fps);
        }
    }
}

TEST_F(Cli, SecondCopyEndsAtOnceAndSilently) {
    // The single-instance lock as a running copy holds it, in the same temp folder.
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", Arg(Dir("tmp")));
    std::unique_ptr<QLockFile> held = AcquireSingleInstance();
    qputenv("TMPDIR", oldTmp);
    ASSERT_TRUE(held);
    const RunResult run = Run({Arg(TestVideo(u"notmpeg.bin"_qs)), "/auto"}, {.allowed = {"tmp"}});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
}

} // namespace
