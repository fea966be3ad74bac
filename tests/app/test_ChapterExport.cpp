#include "chapters/ChapterFileImport.h"
#include "support/ProgramRun.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <cmath>
#include <gtest/gtest.h>

// A chapter list made by an unattended run, exported by --export-chapters, and read by the tools
// that author discs and files: dvdauthor (and lsdvd), mkvmerge (and mkvextract), ffmpeg (and
// ffprobe). Each export also reads back through the editor's chapter-file import.

namespace {

struct Tool {
    int exitCode = -1;
    QByteArray out;
};

Tool RunTool(const QString& program, const QStringList& args, const QString& dir = {}) {
    QProcess process;
    if (!dir.isEmpty())
        process.setWorkingDirectory(dir);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput()};
}

// Milliseconds of "[HH:]MM:SS[.fff]" or of seconds as a decimal number.
qint64 MsOf(const QString& text) {
    const QStringList parts = text.trimmed().split(u':');
    double seconds = 0;
    for (const QString& part : parts)
        seconds = seconds * 60 + part.toDouble();
    return std::llround(seconds * 1000);
}

QList<qint64> MsOfMarks(const QStringList& marks) {
    QList<qint64> ms;
    for (const QString& mark : marks)
        ms << MsOf(mark);
    return ms;
}

// Every capture of `pattern` in the text, as milliseconds.
QList<qint64> TimesIn(const QByteArray& text, const QString& pattern) {
    QList<qint64> ms;
    const QRegularExpression re(pattern, QRegularExpression::MultilineOption);
    for (auto m = re.globalMatch(QString::fromUtf8(text)); m.hasNext();)
        ms << MsOf(m.next().captured(1));
    return ms;
}

void ExpectWithinAFrame(const QList<qint64>& got, const QList<qint64>& want, double frameMs,
                        const char* tool) {
    ASSERT_EQ(got.size(), want.size()) << tool;
    for (qsizetype i = 0; i < got.size(); ++i)
        EXPECT_LE(std::abs(got[i] - want[i]), std::ceil(frameMs)) << tool << " chapter " << i;
}

class ChapterExport : public ::testing::Test {
protected:
    // The program on `args`, its standard output and exit code.
    Tool Cueboard(const QStringList& args) {
        QList<QByteArray> bytes;
        for (const QString& arg : args)
            bytes << QFile::encodeName(arg);
        const ProcessResult r = RunProgram(box, bytes, {.timeoutMs = 60000});
        return {r.finished && r.signal == 0 ? r.exitCode : -2, r.out};
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = QDir(box.root()).filePath(name);
        EXPECT_TRUE(WriteAll(path, bytes));
        return path;
    }
    ProgramSandbox box;
};

TEST_F(ChapterExport, TheToolsReadTheMarksOfAnUnattendedRun) {
    const struct {
        const char* video;
        double frameMs;
        bool dvd; // a DVD-style stream dvdauthor takes as it is
    } rows[] = {{"pal_dvd.vob", 40, true},
                {"ntsc_dvd.vob", 1001.0 / 30, true},
                {"ntsc_df.mpg", 1001.0 / 30, false},
                {"ntsc_ndf.mpg", 1001.0 / 30, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.video);
        const QString video = QDir(box.videos()).filePath(QString::fromLatin1(r.video));
        QFile::remove(video);
        ASSERT_TRUE(QFile::copy(TestVideo(QString::fromLatin1(r.video)), video));
        QDir(box.out()).removeRecursively();
        QDir().mkpath(box.out());
        ASSERT_EQ(Cueboard({video, u"/outdir="_qs + box.out(),
                            u"/chapters=00:00:02.500,00:00:05.000,00:00:07.600"_qs, u"/markonly"_qs,
                            u"/auto"_qs})
                      .exitCode,
                  0);
        const QString stem = QFileInfo(video).completeBaseName();
        const QStringList marks =
            QString::fromLatin1(ReadAll(QDir(box.out()).filePath(stem + u"_Celltimes.txt"_qs)))
                .split(u"\r\n"_qs, Qt::SkipEmptyParts);
        ASSERT_EQ(marks.size(), 4);
        const QList<qint64> want = MsOfMarks(marks);

        // Each format reads back through the chapter-file import.
        QMap<QString, QByteArray> exported;
        for (const char* format :
             {"dvdauthor", "markers", "ogm", "mkvxml", "ffmetadata", "youtube"}) {
            const Tool t =
                Cueboard({u"--export-chapters"_qs, QString::fromLatin1(format), video, box.out()});
            ASSERT_EQ(t.exitCode, 0) << format;
            exported[QString::fromLatin1(format)] = t.out;
            const ChapterTextResult back = ReadChapterFile(t.out);
            ASSERT_TRUE(back.accepted) << format;
            // Video sites list whole seconds.
            ExpectWithinAFrame(MsOfMarks(back.entries), want,
                               QLatin1String(format) == u"youtube" ? 1000 : 1, format);
        }

        const Tool ogm = RunTool(u"mkvmerge"_qs,
                                 {u"-q"_qs, u"-o"_qs, box.root() + u"/ogm.mkv"_qs, u"--chapters"_qs,
                                  Write(u"ogm.txt"_qs, exported["ogm"]), video});
        ASSERT_LT(ogm.exitCode, 2) << "mkvmerge";
        const Tool xml = RunTool(u"mkvmerge"_qs,
                                 {u"-q"_qs, u"-o"_qs, box.root() + u"/xml.mkv"_qs, u"--chapters"_qs,
                                  Write(u"ch.xml"_qs, exported["mkvxml"]), video});
        ASSERT_LT(xml.exitCode, 2) << "mkvmerge";
        for (const char* mkv : {"/ogm.mkv", "/xml.mkv"}) {
            const Tool chapters = RunTool(u"mkvextract"_qs, {box.root() + QLatin1String(mkv),
                                                             u"chapters"_qs, u"-s"_qs, u"-"_qs});
            ExpectWithinAFrame(TimesIn(chapters.out, u"^CHAPTER\\d+=(\\S+)$"_qs), want, 1, mkv);
        }

        const QString mkv = box.root() + u"/ff.mkv"_qs;
        QFile::remove(mkv);
        ASSERT_EQ(
            RunTool(u"ffmpeg"_qs,
                    {u"-nostdin"_qs, u"-v"_qs, u"error"_qs, u"-fflags"_qs, u"+genpts"_qs, u"-i"_qs,
                     video, u"-i"_qs, Write(u"meta.txt"_qs, exported["ffmetadata"]), u"-map"_qs,
                     u"0:v"_qs, u"-map_chapters"_qs, u"1"_qs, u"-c"_qs, u"copy"_qs, mkv})
                .exitCode,
            0);
        const Tool probe =
            RunTool(u"ffprobe"_qs, {u"-v"_qs, u"error"_qs, u"-show_entries"_qs,
                                    u"chapter=start_time"_qs, u"-of"_qs, u"csv=p=0"_qs, mkv});
        ExpectWithinAFrame(TimesIn(probe.out, u"^([0-9.]+)\\s*$"_qs), want, 1, "ffmpeg");

        if (r.dvd) {
            const QString dvd = box.root() + u"/dvd"_qs;
            QDir(dvd).removeRecursively();
            const Tool authored =
                RunTool(u"dvdauthor"_qs,
                        {u"-o"_qs, dvd, u"-x"_qs, Write(u"dvd.xml"_qs, exported["dvdauthor"])});
            ASSERT_EQ(authored.exitCode, 0) << "dvdauthor";
            // lsdvd lists each chapter's length: the starts add up.
            const Tool listed = RunTool(u"lsdvd"_qs, {u"-c"_qs, dvd});
            QList<qint64> starts{0};
            for (const qint64 length : TimesIn(listed.out, u"Chapter: \\d+, Length: ([0-9:.]+)"_qs))
                starts << starts.back() + length;
            starts.removeLast();
            ExpectWithinAFrame(starts, want, r.frameMs, "lsdvd");
        }
    }
}

TEST_F(ChapterExport, ExitCodesTellWhatWentWrong) {
    const QString video = QDir(box.videos()).filePath(u"film.mpg"_qs);
    ASSERT_TRUE(QFile::copy(TestVideo(u"pal.mpg"_qs), video));
    const QString list = QDir(box.videos()).filePath(u"film_Celltimes.txt"_qs);
    const struct {
        const char* what;
        QByteArray list; // "-": none, "/": a folder in its place
        QStringList args;
        int exitCode;
        QByteArray out;
    } rows[] = {
        {"no chapter list", "-", {u"ogm"_qs, video}, 1, ""},
        {"a folder for the list", "/", {u"ogm"_qs, video}, 2, ""},
        {"unknown format", "00:00:00.000\r\n", {u"chm"_qs, video}, 2, ""},
        {"too few arguments", "00:00:00.000\r\n", {u"ogm"_qs}, 2, ""},
        {"garbage list", "no times\r\n", {u"ogm"_qs, video}, 2, ""},
        {"empty list", "", {u"youtube"_qs, video}, 0, ""},
        {"one chapter", "00:00:00.000\r\n", {u"youtube"_qs, video}, 0, "0:00 Chapter 01\n"},
        {"named chapters",
         "00:00:00.000\r\n00:00:04.000\r\n",
         {u"youtube"_qs, u"--names=Scene %1"_qs, video},
         0,
         "0:00 Scene 01\n0:04 Scene 02\n"},
    };
    for (const auto& r : rows) {
        QFile::remove(list);
        QDir(list).removeRecursively();
        if (r.list == "/") {
            ASSERT_TRUE(QDir().mkpath(list));
        } else if (r.list != "-") {
            ASSERT_TRUE(WriteAll(list, r.list));
        }
        const Tool t = Cueboard(QStringList{u"--export-chapters"_qs} + r.args);
        EXPECT_EQ(t.exitCode, r.exitCode) << r.what;
        EXPECT_EQ(t.out, r.out) << r.what;
    }
}

// What other tools' files that cannot be used give: the refusal of any unreadable chapter file.
TEST(ChapterFileImport, BrokenFilesOfOtherToolsAreRefused) {
    const QByteArray xml = "<?xml version=\"1.0\"?>\n<Chapters><EditionEntry><ChapterAtom>"
                           "<ChapterTimeStart>00:00:05.000000000</ChapterTimeStart></ChapterAtom>"
                           "</EditionEntry></Chapters>\n";
    const QByteArray project = "<dvdauthor><vmgm/><titleset><titles><pgc><vob file=\"a.vob\" "
                               "chapters=\"0,0:05.000\"/></pgc></titles></titleset></dvdauthor>";
    const struct {
        const char* what;
        QByteArray bytes;
        QStringList entries; // empty: refused
    } rows[] = {
        {"Matroska XML", xml, {u"00:00:00.000"_qs, u"00:00:05.000"_qs}},
        {"Matroska XML cut off", xml.left(xml.size() - 30), {}},
        {"dvdauthor project", project, {u"00:00:00.000"_qs, u"00:00:05.000"_qs}},
        {"dvdauthor project cut off", project.left(60), {}},
        {"ffmetadata without chapters", ";FFMETADATA1\ntitle=x\n", {}},
        {"ffmetadata",
         ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=7500\nEND=9000\n",
         {u"00:00:00.000"_qs, u"00:00:07.500"_qs}},
        {"simple chapters with a bad time", "CHAPTER01=xx\nCHAPTER01NAME=a\n", {}},
        {"garbage", RandomBytes(100000, 99), {}},
    };
    for (const auto& r : rows) {
        const ChapterTextResult result = ReadChapterFile(r.bytes);
        EXPECT_EQ(result.accepted ? result.entries : QStringList(), r.entries) << r.what;
    }
    QTemporaryDir dir;
    const QString huge = dir.filePath(u"huge.xml"_qs);
    ASSERT_TRUE(WriteAll(huge, xml + QByteArray(ChapterFileReadLimit, ' ')));
    QFile file(huge);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(ReadChapterFile(file).accepted) << "a file over the limit";
}

} // namespace
