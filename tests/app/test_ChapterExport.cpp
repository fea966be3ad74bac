// Chapter lists made by an unattended run, exported by --export-chapters and read back by the
// import and by the tools that author discs and files.
#include "chapters/ChapterFileImport.h"
#include "support/ProgramRun.h"

#include <QProcess>
#include <cmath>

namespace {

using ChapterExport = ProgramTest;

// Milliseconds of every capture of `pattern`, each "[HH:]MM:SS[.fff]" or seconds.
QList<qint64> TimesIn(const QString& text, const QString& pattern) {
    QList<qint64> ms;
    const QRegularExpression re(pattern, QRegularExpression::MultilineOption);
    for (auto m = re.globalMatch(text); m.hasNext();) {
        double seconds = 0;
        for (const QString& part : m.next().captured(1).split(u':'))
            seconds = seconds * 60 + part.toDouble();
        ms << std::llround(seconds * 1000);
    }
    return ms;
}

void ExpectNear(const QList<qint64>& got, const QList<qint64>& want, double ms, const char* what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (qsizetype i = 0; i < got.size(); ++i)
        EXPECT_LE(std::abs(got[i] - want[i]), std::ceil(ms)) << what << " chapter " << i;
}

TEST_F(ChapterExport, TheToolsReadTheMarksOfAnUnattendedRun) {
    // The tool's standard output, run in the tree's root.
    const auto tool = [&](const QString& command) {
        QProcess process;
        process.setWorkingDirectory(root.path());
        QStringList args = QProcess::splitCommand(command);
        process.start(args.takeFirst(), args);
        const bool ok = process.waitForFinished(120000) &&
                        process.exitStatus() == QProcess::NormalExit && process.exitCode() < 2;
        EXPECT_TRUE(ok) << command.toStdString(); // mkvmerge warns with exit code 1
        return ok ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
    };
    for (const QString name : {"pal_dvd.vob", "ntsc_dvd.vob", "ntsc_df.mpg", "ntsc_ndf.mpg"}) {
        SCOPED_TRACE(name.toStdString());
        const QString video = AddVideo(name, ReadAll(TestVideo(name)));
        ASSERT_EQ(Run({Arg(video), "/outdir=" + Arg(Dir("out")), "/markonly", "/auto",
                       "/chapters=00:00:02.500,00:00:05.000,00:00:07.600"})
                      .exitCode,
                  0);
        const QString marks = QString::fromLatin1(
            ReadAll(Dir("out/") + QFileInfo(name).completeBaseName() + u"_Celltimes.txt"_qs));
        const QList<qint64> want = TimesIn(marks, u"^(\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d)\r$"_qs);
        ASSERT_EQ(want.size(), 4) << marks.toStdString();
        for (const QByteArray format :
             {"dvdauthor", "markers", "ogm", "mkvxml", "ffmetadata", "youtube"}) {
            const RunResult run =
                Run({"--export-chapters", format, Arg(video), Arg(Dir("out"))}, {.allowed = {}});
            ASSERT_EQ(run.exitCode, 0) << format.constData();
            ASSERT_TRUE(WriteAll(Dir(format), run.out));
            const ChapterTextResult back = ReadChapterFile(run.out);
            ASSERT_TRUE(back.accepted) << format.constData();
            ExpectNear(TimesIn(back.entries.join(u'\n'), u"^(.+)$"_qs), want,
                       format == "youtube" ? 1000 : 1, format.constData()); // sites: whole seconds
        }
        // clang-format off
        for (const char* chapters : {"ogm", "mkvxml"}) {
            tool(u"mkvmerge -q -o ch.mkv --chapters %1 %2"_qs.arg(chapters, video));
            ExpectNear(TimesIn(tool(u"mkvextract ch.mkv chapters -s -"_qs), u"^CHAPTER\\d+=(\\S+)$"_qs), want, 1, chapters);
        }
        tool(u"ffmpeg -nostdin -v error -fflags +genpts -i %1 -i ffmetadata -map 0:v -map_chapters 1 -c copy -y ff.mkv"_qs.arg(video));
        ExpectNear(TimesIn(tool(u"ffprobe -v error -show_entries chapter=start_time -of csv=p=0 ff.mkv"_qs), u"^([0-9.]+)\\s*$"_qs), want, 1, "ffmpeg");
        // clang-format on
        if (name.endsWith(u".vob")) { // DVD-style streams dvdauthor takes as they are
            QDir(Dir("dvd")).removeRecursively();
            tool(u"dvdauthor -o dvd -x dvdauthor"_qs);
            // lsdvd lists each chapter's length: the starts add up.
            QList<qint64> starts{0};
            for (const qint64 length :
                 TimesIn(tool(u"lsdvd -c dvd"_qs), u"Chapter: \\d+, Length: ([0-9:.]+)"_qs))
                starts << starts.back() + length;
            starts.removeLast();
            ExpectNear(starts, want, name.startsWith(u"pal") ? 40 : 1001 / 30.0, "lsdvd");
        }
        QFile::remove(video);
    }
}

} // namespace
