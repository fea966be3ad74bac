// Hostile input against the real program, each run a separate process in a folder tree of its
// own: damaged and huge videos, output folders that cannot be written, garbage chapter files and
// odd command lines. Every run must end by itself (or wait idle in its window), never crash, keep
// the user's earlier chapter list and write nowhere but the output and program folders.
#include "support/ProgramRun.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

QByteArray Arg(const QString& text) {
    return QFile::encodeName(text);
}

QByteArray Option(const char* name, const QString& value) {
    return QByteArray(name) + Arg(value);
}

// Every byte-th byte from `from` on with one bit changed.
QByteArray WithBitFlips(QByteArray bytes, qsizetype from, qsizetype every) {
    for (qsizetype i = from; i < bytes.size(); i += every)
        bytes[i] = char(bytes[i] ^ (1 << (i % 8)));
    return bytes;
}

QStringList Lines(const QByteArray& bytes) {
    QStringList lines;
    for (const QByteArray& line : bytes.split('\n')) {
        if (!line.trimmed().isEmpty())
            lines << QString::fromLatin1(line.trimmed());
    }
    return lines;
}

class BadInput : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(box.isValid()); }

    QString AddVideo(const QString& name, const QByteArray& bytes) {
        const QString path = QDir(box.videos()).filePath(name);
        EXPECT_TRUE(WriteAll(path, bytes));
        return path;
    }

    // Runs the program and checks what holds for every run: it ended by itself with exit code 0
    // to 3 (or, with `stopAfterMs`, waited idle for the user until it was stopped), no sanitizer
    // complained, and no file changed outside the program folder and the `allowed` folders of the
    // tree. A run that ended by itself also took its single-instance lock away.
    ProcessResult Run(const QList<QByteArray>& args, QStringList allowed = {"out"},
                      ProcessOptions options = {}) {
        const QMap<QString, QByteArray> before = box.Snapshot();
        ProcessResult run = RunProgram(box, args, options);
        const std::string err = run.err.left(2000).toStdString();
        EXPECT_TRUE(run.finished) << "no end within the time limit: " << err;
        if (options.stopAfterMs > 0) {
            EXPECT_EQ(run.signal, SIGTERM) << "ended before it was stopped: " << err;
            EXPECT_LT(run.busySeconds, 0.5) << "busy while it should wait for the user";
            allowed << QStringLiteral("tmp"); // the lock of the stopped copy stays behind
        } else {
            EXPECT_EQ(run.signal, 0) << err;
            EXPECT_TRUE(run.exitCode >= 0 && run.exitCode <= 3) << run.exitCode << " " << err;
            EXPECT_TRUE(FilesIn(box.temp()).isEmpty())
                << FilesIn(box.temp()).join(' ').toStdString();
        }
        EXPECT_FALSE(run.err.contains("Sanitizer") || run.err.contains("runtime error:")) << err;
        for (const QString& changed : ChangedFiles(before, box.Snapshot())) {
            const QString top = changed.section(u'/', 0, 0);
            EXPECT_TRUE(allowed.contains(top))
                << "written outside the output folder: " << changed.toStdString();
        }
        return run;
    }

    // The output folder's images are whole bitmaps: the size their header states.
    void ExpectWholeImages(const QString& folder) {
        for (const QString& name : FilesIn(folder)) {
            if (!name.endsWith(u".bmp"))
                continue;
            const QByteArray image = ReadAll(QDir(folder).filePath(name));
            ASSERT_GE(image.size(), 54) << name.toStdString();
            EXPECT_TRUE(image.startsWith("BM"));
            const quint32 stated = quint8(image[2]) | quint8(image[3]) << 8 |
                                   quint8(image[4]) << 16 | quint32(quint8(image[5])) << 24;
            EXPECT_EQ(stated, quint32(image.size())) << name.toStdString();
        }
    }

    ProgramSandbox box;
};

const QByteArray Chapters = "/chapters=00:00:00.000,00:00:02.000";

TEST_F(BadInput, DamagedVideosStillGiveTheirChapters) {
    const QByteArray vob = ReadAll(TestVideo(QStringLiteral("pal_dvd.vob")));
    const QByteArray mpg = ReadAll(TestVideo(QStringLiteral("pal.mpg")));
    const QByteArray m2v = ReadAll(TestVideo(QStringLiteral("pal.m2v")));
    const struct {
        const char* name;
        QByteArray bytes;
        int chapters; // chapters that must come out (the first is always there)
    } cases[] = {
        {"cut_in_the_middle.vob", vob.left(vob.size() / 2 + 1001), 2},
        {"cut_after_one_gop.mpg", mpg.left(150000), 1},
        {"bit_flips.mpg", WithBitFlips(mpg, 8192, 4099), 1},
        {"bit_flips.m2v", WithBitFlips(m2v, 8192, 997), 1},
        {"bit_flips_everywhere.vob", WithBitFlips(vob, 0, 101), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString video = AddVideo(QString::fromLatin1(c.name), c.bytes);
        const ProcessResult run =
            Run({Arg(video), Option("/outdir=", box.out()), Chapters, "/auto"});
        const QString stem = QFileInfo(video).completeBaseName();
        const QStringList chapters =
            Lines(ReadAll(QDir(box.out()).filePath(stem + QStringLiteral("_Celltimes.txt"))));
        EXPECT_GE(chapters.size(), c.chapters) << run.err.left(500).toStdString();
        if (c.chapters > 0) {
            ASSERT_FALSE(chapters.isEmpty());
            EXPECT_EQ(chapters[0], QStringLiteral("00:00:00.000"));
        }
        ExpectWholeImages(box.out());
    }
}

TEST_F(BadInput, FilesThatAreNoVideoAreRefusedWithAMessage) {
    QDir(box.videos()).mkdir(QStringLiteral("folder.mpg"));
    const struct {
        QString video;
        const char* message;
    } cases[] = {
        {AddVideo(QStringLiteral("empty.mpg"), {}), "No sequence header found!"},
        {AddVideo(QStringLiteral("text.mpg"), ReadAll(TestVideo(QStringLiteral("notmpeg.bin")))),
         "No sequence header found!"},
        {AddVideo(QStringLiteral("zeros.vob"), QByteArray(3 << 20, '\0')),
         "No sequence header found!"},
        {TestVideo(QStringLiteral("mpeg1.mpg")), "Only MPEG2 videos can be used"},
        {QDir(box.videos()).filePath(QStringLiteral("folder.mpg")), "No sequence header found!"},
        {QDir(box.videos()).filePath(QStringLiteral("missing.mpg")), "File not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.video.toStdString());
        for (const bool automatic : {true, false}) {
            QList<QByteArray> args{Arg(c.video), Option("/outdir=", box.out()), Chapters};
            if (automatic)
                args << "/auto";
            // Without a usable video and without /auto the chooser waits for the user.
            const bool waits = !automatic && QByteArray(c.message) == "File not found";
            ProcessOptions options;
            options.stopAfterMs = waits ? 2500 : 0;
            const ProcessResult run = Run(args, {}, options);
            if (!waits) {
                EXPECT_EQ(run.exitCode, 1);
                EXPECT_TRUE(run.err.contains(QByteArray("cueboard: ") + c.message))
                    << run.err.toStdString();
            }
        }
    }
}

TEST_F(BadInput, HugeSparseVobIsCutAboveFourGiB) {
    // 5 GiB: a DVD-style VOB from 00:00:00 at the start and one from 10:00:00 at the end.
    const QByteArray head = ReadAll(TestVideo(QStringLiteral("pal_dvd.vob")));
    const QByteArray tail = ReadAll(TestVideo(QStringLiteral("tc10h.vob")));
    const qint64 size = qint64(5) << 30;
    const QString video = QDir(box.videos()).filePath(QStringLiteral("big.vob"));
    ASSERT_TRUE(MakeSparseFile(video, size, head, tail));

    Run({Arg(video), Option("/outdir=", box.out()),
         "/chapters=00:00:00.000,00:00:06.000,10:00:02.000", "/clips=1", "/auto"});
    const QStringList chapters = Lines(ReadAll(QDir(box.out()).filePath("big_Celltimes.txt")));
    ASSERT_EQ(chapters.size(), 3) << chapters.join(' ').toStdString();
    EXPECT_EQ(chapters[0], QStringLiteral("00:00:00.000"));
    EXPECT_TRUE(chapters[1].startsWith(QStringLiteral("00:00:0"))) << chapters[1].toStdString();
    EXPECT_TRUE(chapters[2].startsWith(QStringLiteral("10:00:0"))) << chapters[2].toStdString();

    // The last clip is the tail video's bytes from a pack header on: cut above 4 GiB.
    const QByteArray clip = ReadAll(
        QDir(box.out()).filePath(QStringLiteral("big_") + QString(chapters[2]).replace(u':', u'_') +
                                 QStringLiteral(".vob")));
    ASSERT_GT(clip.size(), 2048);
    const qsizetype inTail = tail.indexOf(clip.left(2048));
    ASSERT_GE(inTail, 0) << "the clip is not a piece of the video's end";
    EXPECT_GE(size - tail.size() + inTail, qint64(4) << 30);
    EXPECT_EQ(clip, tail.mid(inTail, clip.size()));
    EXPECT_TRUE(clip.startsWith(QByteArray::fromHex("000001BA")));
}

TEST_F(BadInput, OutputFolderThatCannotBeUsed) {
    const QString video = AddVideo(QStringLiteral("film.mpg"), ReadAll(TestVideo("pal.mpg")));
    // Root may write into any folder it owns; the process file system is read-only for root too.
    QString readOnly = QStringLiteral("/proc");
    if (geteuid() != 0) {
        readOnly = QDir(box.root()).filePath(QStringLiteral("readonly"));
        QDir().mkpath(readOnly);
        QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
    }
    const QString missing = QDir(box.root()).filePath(QStringLiteral("missing/folder"));
    const struct {
        const char* what;
        QString outDir;
        QString expectedFolder; // where the chapter list and the images land
        QString allowed;
    } cases[] = {
        {"read-only", readOnly, box.app(), QStringLiteral("app")},
        // A missing folder counts as none given: the video's own folder.
        {"missing", missing, box.videos(), QStringLiteral("videos")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProcessResult run =
            Run({Arg(video), Option("/outdir=", c.outDir), Chapters, "/auto"}, {c.allowed});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QStringList files = FilesIn(c.expectedFolder);
        EXPECT_EQ(Lines(ReadAll(QDir(c.expectedFolder).filePath("film_Celltimes.txt"))).size(), 2)
            << files.join(' ').toStdString();
        EXPECT_TRUE(files.contains(QStringLiteral("film_00_00_00.000.bmp")))
            << files.join(' ').toStdString();
        ExpectWholeImages(c.expectedFolder);
        EXPECT_FALSE(QFileInfo::exists(missing));
        for (const QString& name : FilesIn(c.expectedFolder)) {
            if (name != u"cueboard" && name != u"film.mpg")
                QFile::remove(QDir(c.expectedFolder).filePath(name));
        }
    }
}

TEST_F(BadInput, FullDiskKeepsThePreviousChapterListAndLeavesNoPieces) {
    const QString video = AddVideo(QStringLiteral("film.mpg"), ReadAll(TestVideo("pal.mpg")));
    const QString list = QDir(box.out()).filePath(QStringLiteral("film_Celltimes.txt"));
    const QByteArray previous = "00:00:00.000\r\n00:00:04.000\r\n00:00:08.000\r\n";
    const struct {
        const char* what;
        qint64 limit;
        bool listWritten;
    } cases[] = {
        {"nothing fits", 0, false},
        // The list fits, a picture of 1.2 MB and a clip of 100000 bytes do not.
        {"only the list fits", 20000, true},
    };
    for (const auto& c : cases) {
        for (const char* kind : {"images", "clips"}) {
            SCOPED_TRACE(std::string(c.what) + ", " + kind);
            ASSERT_TRUE(WriteAll(list, previous));
            ProcessOptions options;
            options.fileSizeLimit = c.limit;
            QList<QByteArray> args{Arg(video), Option("/outdir=", box.out()), Chapters, "/auto"};
            if (QByteArray(kind) == "clips")
                args << "/clips=1";
            const ProcessResult run = Run(args, {QStringLiteral("out")}, options);
            // The unattended run says what it could not write and tells its caller.
            EXPECT_EQ(run.exitCode, 2);
            EXPECT_TRUE(run.err.contains("cueboard: Could not write ")) << run.err.toStdString();
            if (c.listWritten) {
                EXPECT_EQ(Lines(ReadAll(list)).size(), 2);
            } else {
                EXPECT_EQ(ReadAll(list), previous);
            }
            // Nothing half-written: only the list in the output folder, only the program in its
            // own folder.
            EXPECT_EQ(FilesIn(box.out()), QStringList{"film_Celltimes.txt"});
            EXPECT_EQ(FilesIn(box.app()), QStringList{"cueboard"});
        }
    }
}

TEST_F(BadInput, GarbageChapterListsNeitherStopTheEditorNorGetOverwritten) {
    const QString video = AddVideo(QStringLiteral("film.mpg"), ReadAll(TestVideo("pal.mpg")));
    const struct {
        const char* what;
        QByteArray list;
    } cases[] = {
        {"binary garbage", RandomBytes(200000, 4711)},
        {"one line of 1 MB", "00:00:01.000," + QByteArray(1 << 20, '9') + "\r\n"},
        {"10000 entries", TimeLines(10000)},
        {"times that are none", "99:99:99.999\r\n::::\r\n-1:-1:-1\r\n1e309:00:00\r\n"},
    };
    const QString listPath = QDir(box.out()).filePath(QStringLiteral("film_Celltimes.txt"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteAll(listPath, c.list));
        ProcessOptions options;
        options.stopAfterMs = 4000;
        Run({Arg(video), Option("/outdir=", box.out())}, {}, options);
        EXPECT_TRUE(ReadAll(listPath) == c.list) << "the chapter list was changed";
    }
}

TEST_F(BadInput, OddCommandLines) {
    const QString video = AddVideo(QStringLiteral("film.mpg"), ReadAll(TestVideo("pal.mpg")));
    const QByteArray big(100 * 1024, 'x');
    QByteArray bigTimes;
    while (bigTimes.size() < 100 * 1024)
        bigTimes += "00:00:01.000,";
    const QByteArray notUtf8 = QByteArray("fil\xff\xfe") + "m.mpg";
    // A file whose name is not UTF-8: made by its bytes, Qt would re-encode the name.
    const QString plain = AddVideo(QStringLiteral("plain.mpg"), ReadAll(TestVideo("pal.mpg")));
    ASSERT_EQ(std::rename(Arg(plain).constData(), (Arg(box.videos()) + '/' + notUtf8).constData()),
              0);
    const QByteArray out = Option("/outdir=", box.out());
    const QByteArray bigName = Arg(box.videos()) + '/' + big + ".mpg";
    const QByteArray oddName = Arg(box.videos()) + '/' + notUtf8;
    const struct {
        const char* what;
        QList<QByteArray> args;
        int exitCode;
        const char* message; // expected on standard error; empty: none at all
        const char* listIn;  // folder the chapter list is written to; empty: none written
    } cases[] = {
        {"quote before the video", {'"' + Arg(video), out, Chapters, "/auto"}, 0, "", "out"},
        // The folder's value runs to the end of the line and names no folder: the video's one.
        {"unclosed quote in the folder",
         {Arg(video), "/outdir=\"" + Arg(box.out()), Chapters, "/auto"},
         0,
         "",
         "videos"},
        {"unclosed quote in the times",
         {Arg(video), out, "/chapters=\"00:00:00.000,00:00:02", "/auto"},
         3,
         "Sorry, automatic failed",
         ""},
        {"only quotes", {"\"\"\"", "\"", "/auto"}, 1, "File not found", ""},
        {"100 KB folder", {Arg(video), "/outdir=" + big, Chapters, "/auto"}, 0, "", "videos"},
        {"100 KB times",
         {Arg(video), out, "/chapters=" + bigTimes, "/auto"},
         3,
         "Wrong Format!",
         ""},
        {"100 KB clip length", {Arg(video), out, Chapters, "/clips=" + big, "/auto"}, 0, "", "out"},
        {"100 KB crop", {Arg(video), out, Chapters, "/crop=" + big, "/auto"}, 0, "", "out"},
        {"100 KB video name", {bigName, out, Chapters, "/auto"}, 1, "File not found", ""},
        // Qt reads file names as UTF-8: a name that is not cannot be opened.
        {"video name not UTF-8", {oddName, out, Chapters, "/auto"}, 1, "File not found", ""},
        {"times not UTF-8",
         {Arg(video), out, "/chapters=\xff\xfe\x80:00:00", "/auto"},
         3,
         "Sorry, automatic failed",
         ""},
        {"options without values",
         {"", "/outdir=", "/chapters=", "/clips=", "/crop=", "/markonly", "/auto"},
         1,
         "File not found",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString listIn = QString::fromLatin1(c.listIn);
        const ProcessResult run = Run(c.args, {listIn});
        const std::string err = run.err.left(300).toStdString();
        EXPECT_EQ(run.exitCode, c.exitCode) << err;
        if (*c.message)
            EXPECT_TRUE(run.err.contains(QByteArray("cueboard: ") + c.message)) << err;
        else
            EXPECT_TRUE(run.err.isEmpty()) << err;
        const QString folder = listIn == u"out" ? box.out() : box.videos();
        if (!listIn.isEmpty()) {
            EXPECT_EQ(Lines(ReadAll(QDir(folder).filePath("film_Celltimes.txt"))).size(), 2);
            ExpectWholeImages(folder);
        }
        for (const QString& name : FilesIn(folder)) {
            if (name.contains(u"_"))
                QFile::remove(QDir(folder).filePath(name));
        }
    }
    // Qt cannot name this file to remove it with the rest of the tree.
    unlink((Arg(box.videos()) + '/' + notUtf8).constData());
}

} // namespace
