// Hostile input: damaged, huge and non-video files, a full disk, garbage chapter lists and odd
// command lines. ProgramTest::Run checks that every run ends, without a crash or a stray write.
#include "support/ProgramRun.h"

#include <cstdio>
#include <unistd.h>

namespace {

using BadInput = ProgramTest;

// Every `every`-th byte from `from` on with one bit changed.
QByteArray WithBitFlips(QByteArray bytes, qsizetype from, qsizetype every) {
    for (qsizetype i = from; i < bytes.size(); i += every)
        bytes[i] = char(bytes[i] ^ (1 << (i % 8)));
    return bytes;
}

QStringList Lines(const QByteArray& bytes) {
    return QString::fromLatin1(bytes).split(u"\r\n"_qs, Qt::SkipEmptyParts);
}

const QByteArray Chapters = "/chapters=00:00:00.000,00:00:02.000";

TEST_F(BadInput, DamagedVideosStillGiveTheirChapters) {
    const QByteArray vob = ReadAll(TestVideo("pal_dvd.vob")), mpg = ReadAll(TestVideo("pal.mpg"));
    const QByteArray m2v = ReadAll(TestVideo("pal.m2v"));
    const struct {
        const char* name;
        QByteArray bytes;
        int chapters; // at least these come out, the first at 00:00:00.000
    } rows[] = {
        {"cut_in_the_middle.vob", vob.left(vob.size() / 2 + 1001), 2},
        {"cut_after_one_gop.mpg", mpg.left(150000), 1},
        {"bit_flips.mpg", WithBitFlips(mpg, 8192, 4099), 1},
        {"bit_flips.m2v", WithBitFlips(m2v, 8192, 997), 1},
        {"bit_flips_everywhere.vob", WithBitFlips(vob, 0, 101), 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const RunResult run =
            Run({Arg(AddVideo(r.name, r.bytes)), "/outdir=" + Arg(Dir("out")), Chapters, "/auto"});
        EXPECT_FALSE(run.err.contains(" @ 0x")) << "ffmpeg's own log: " << run.err.constData();
        const QString stem = QFileInfo(QString::fromLatin1(r.name)).completeBaseName();
        const QStringList chapters = Lines(ReadAll(Dir("out/") + stem + u"_Celltimes.txt"_qs));
        EXPECT_GE(chapters.size(), r.chapters);
        EXPECT_TRUE(r.chapters == 0 || chapters.value(0) == u"00:00:00.000");
        ExpectWholeFiles(Dir("out"));
    }
}

// Files that are no usable video and odd command lines: the exit code, the message on standard
// error and where the chapter list of film.mpg (two chapters) is written.
TEST_F(BadInput, RefusedFilesAndOddCommandLines) {
    const QString video = AddVideo(u"film.mpg"_qs, ReadAll(TestVideo(u"pal.mpg"_qs)));
    const QByteArray m2v = ReadAll(TestVideo(u"pal.m2v"_qs)), out = "/outdir=" + Arg(Dir("out"));
    // The sequence header without any GOP header: the chooser takes it, the editor refuses it.
    const QByteArray noGop =
        Arg(AddVideo(u"nogop.m2v"_qs, m2v.left(m2v.indexOf(QByteArray::fromHex("000001B8"))) +
                                          QByteArray(4096, '\0')));
    const QByteArray empty = Arg(AddVideo(u"empty.mpg"_qs, {})), folder = Arg(Dir("videos/f.mpg"));
    const QByteArray text = Arg(AddVideo(u"text.mpg"_qs, ReadAll(TestVideo(u"notmpeg.bin"_qs))));
    const QByteArray zeros = Arg(AddVideo(u"zeros.vob"_qs, QByteArray(3 << 20, '\0')));
    const QByteArray mpeg1 = Arg(TestVideo(u"mpeg1.mpg"_qs)), missing = Arg(Dir("videos/no.mpg"));
    QDir().mkpath(Dir("videos/f.mpg"));
    const QByteArray big(100 * 1024, 'x'), bigTimes = QByteArray("00:00:01.000,").repeated(7900);
    // A file whose name is not UTF-8, made by its bytes: Qt would re-encode the name.
    const QByteArray odd = Arg(Dir("videos")) + "/fil\xff\xfem.mpg";
    ASSERT_EQ(std::rename(Arg(AddVideo("plain.mpg", ReadAll(video))).constData(), odd.data()), 0);
    const auto W = [&](const QByteArray& v) { return QList<QByteArray>{v, out, Chapters}; };
    const auto A = [&](const QByteArray& v) { return W(v) << "/auto"; };
    const QByteArray film = Arg(video), noHeader = "No sequence header found!\n";
    const struct {
        QList<QByteArray> args;
        int exitCode;            // -1: a window waits for the user
        QByteArray err;          // standard error, whole when it ends a line, else its start
        const char* listIn = ""; // the folder the chapter list is written in; empty: none
    } rows[] = {
        // clang-format off
        {A(empty), 1, noHeader}, {W(empty), 1, noHeader}, {A(text), 1, noHeader}, {W(text), 1, noHeader},
        {A(zeros), 1, noHeader}, {W(zeros), 1, noHeader}, {A(folder), 1, noHeader}, {W(folder), 1, noHeader},
        {A(mpeg1), 1, "Only MPEG2 videos can be used\n"}, {W(mpeg1), 1, "Only MPEG2 videos can be used\n"},
        {A(noGop), 1, "No GOP Header found\n"}, {W(noGop), 1, "No GOP Header found\n"},
        {A(missing), 1, "File not found\n"}, {W(missing), -1, ""}, // the chooser stays open
        {A('"' + film), 0, "", "out"},
        // The folder's value runs to the end of the line and names no folder: the video's one.
        {{film, "/outdir=\"" + Arg(Dir("out")), Chapters, "/auto"}, 0, "", "videos"},
        {{film, out, "/chapters=\"00:00:00.000,00:00:02", "/auto"}, 3, "Sorry, automatic failed"},
        {{"\"\"\"", "\"", "/auto"}, 1, "File not found"},
        {{film, "/outdir=" + big, Chapters, "/auto"}, 0, "", "videos"},
        {{film, out, "/chapters=" + bigTimes, "/auto"}, 3, "Wrong Format!"},
        {{film, out, Chapters, "/clips=" + big, "/auto"}, 0, "", "out"},
        {{film, out, Chapters, "/crop=" + big, "/auto"}, 0, "", "out"},
        {A(Arg(Dir("videos")) + '/' + big + ".mpg"), 1, "File not found"},
        // Qt reads file names as UTF-8: a name that is not cannot be opened.
        {A(odd), 1, "File not found"},
        {{film, out, "/chapters=\xff\xfe\x80:00:00", "/auto"}, 3, "Wrong Format!"},
        {{"", "/outdir=", "/chapters=", "/clips=", "/crop=", "/markonly", "/auto"}, 1, "File not found"},
        // clang-format on
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.args.join(' ').left(200).toStdString());
        const RunResult run =
            Run(r.args, {.allowed = {r.listIn}, .stopAfterMs = r.exitCode < 0 ? 2500 : 0});
        EXPECT_EQ(run.exitCode, r.exitCode) << run.err.left(300).constData();
        EXPECT_TRUE(Matches(run.err, r.err.isEmpty() ? "" : "cueboard: " + r.err))
            << run.err.left(300).constData();
        EXPECT_EQ(run.out, "");
        const QString where = Dir(*r.listIn ? r.listIn : "out");
        EXPECT_EQ(Lines(ReadAll(where + u"/film_Celltimes.txt"_qs)).size(), *r.listIn ? 2 : 0);
        ExpectWholeFiles(where);
        for (const QString& name : FilesIn(where).filter(u"film_"_qs))
            QFile::remove(where + u'/' + name);
    }
    unlink(odd.constData()); // Qt cannot name this file to remove it with the rest of the tree
}

TEST_F(BadInput, HugeSparseVobIsCutAboveFourGiB) {
    // 5 GiB: a DVD-style VOB from 00:00:00 at the start and one from 10:00:00 at the end.
    const QByteArray tail = ReadAll(TestVideo(u"tc10h.vob"_qs));
    const qint64 size = qint64(5) << 30;
    ASSERT_TRUE(
        MakeSparseFile(Dir("videos/big.vob"), size, ReadAll(TestVideo(u"pal_dvd.vob"_qs)), tail));
    Run({Arg(Dir("videos/big.vob")), "/outdir=" + Arg(Dir("out")),
         "/chapters=00:00:00.000,00:00:06.000,10:00:02.000", "/clips=1", "/auto"});
    const QStringList chapters = Lines(ReadAll(Dir("out/big_Celltimes.txt")));
    ASSERT_EQ(chapters.size(), 3) << chapters.join(' ').toStdString();
    EXPECT_TRUE(chapters[0] == u"00:00:00.000" && chapters[1].startsWith(u"00:00:0") &&
                chapters[2].startsWith(u"10:00:0"))
        << chapters.join(' ').toStdString();
    // The last clip is the tail video's bytes from a pack header on: cut above 4 GiB.
    const QByteArray clip =
        ReadAll(Dir("out/big_") + QString(chapters[2]).replace(u':', u'_') + u".vob"_qs);
    const qsizetype inTail = tail.indexOf(clip.left(2048));
    ASSERT_TRUE(clip.size() > 2048 && inTail >= 0) << "the clip is not a piece of the video's end";
    EXPECT_GE(size - tail.size() + inTail, qint64(4) << 30);
    EXPECT_EQ(clip, tail.mid(inTail, clip.size()));
    ExpectWholeFiles(Dir("out"));
}

TEST_F(BadInput, FullDiskKeepsThePreviousChapterListAndLeavesNoPieces) {
    const QString video = AddVideo(u"film.mpg"_qs, ReadAll(TestVideo(u"pal.mpg"_qs)));
    const QByteArray previous = "00:00:00.000\r\n00:00:04.000\r\n00:00:08.000\r\n";
    // 0: nothing fits; 20000: the list fits, a picture of 1.2 MB and a clip of 100000 bytes do not.
    for (const qint64 limit : {0, 20000}) {
        for (const QList<QByteArray>& clips : {QList<QByteArray>(), {"/clips=1"}}) {
            SCOPED_TRACE(std::to_string(limit) + clips.join().toStdString());
            ASSERT_TRUE(WriteAll(Dir("out/film_Celltimes.txt"), previous));
            const RunResult run =
                Run(QList<QByteArray>{Arg(video), "/outdir=" + Arg(Dir("out")), Chapters, "/auto"} +
                        clips,
                    {.fileSizeLimit = limit});
            EXPECT_EQ(run.exitCode, 2);
            EXPECT_TRUE(run.err.startsWith("cueboard: Could not write ")) << run.err.constData();
            const QByteArray list = ReadAll(Dir("out/film_Celltimes.txt"));
            EXPECT_TRUE(limit > 0 ? Lines(list).size() == 2 : list == previous) << list.constData();
            EXPECT_EQ(FilesIn(Dir("out")), QStringList{"film_Celltimes.txt"});
            EXPECT_EQ(FilesIn(Dir("app")), QStringList{"cueboard"});
        }
    }
}

// The editor opens with the list it cannot read and leaves it as it is (Run sees any write).
TEST_F(BadInput, GarbageChapterListsNeitherStopTheEditorNorGetOverwritten) {
    const QString video = AddVideo(u"film.mpg"_qs, ReadAll(TestVideo(u"pal.mpg"_qs)));
    for (const QByteArray& list :
         {RandomBytes(200000, 4711), "00:00:01.000," + QByteArray(1 << 20, '9') + "\r\n",
          TimeLines(10000), QByteArray("99:99:99.999\r\n::::\r\n-1:-1:-1\r\n1e309:00:00\r\n")}) {
        SCOPED_TRACE(list.left(40).toHex().toStdString());
        ASSERT_TRUE(WriteAll(Dir("out/film_Celltimes.txt"), list));
        Run({Arg(video), "/outdir=" + Arg(Dir("out"))}, {.allowed = {}, .stopAfterMs = 4000});
    }
}

} // namespace
