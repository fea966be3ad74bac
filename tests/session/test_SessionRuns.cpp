#include "support/SessionFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

const QString Zero = QStringLiteral("00:00:00.000");

// The files a run over `marks` leaves: the cell-times file and one image or clip per mark.
QStringList ExpectedFiles(const QString& stem, const QStringList& marks, const char* suffix) {
    QStringList files{stem + u"_Celltimes.txt"_qs};
    for (const QString& mark : marks)
        files << stem + u'_' + Mark(mark) + QLatin1String(suffix);
    files.sort();
    return files;
}

// A program stream of `seconds` at 25 pictures per second in GOPs of 12; empty on failure.
QString MakeVideo(const QTemporaryDir& dir, int seconds) {
    const QString path = dir.filePath(u"long.mpg"_qs);
    QProcess ffmpeg;
    ffmpeg.start(u"ffmpeg"_qs, u"-nostdin -loglevel error -y -f lavfi -i "
                               u"testsrc2=size=176x144:rate=25:duration=%1 -an -c:v mpeg2video "
                               u"-threads 1 -g 12 -bf 2 -b:v 400k -f vob"_qs.arg(seconds)
                                       .split(u' ')
                                   << path);
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0 ? path : QString();
}

// The runs by count, by interval and over the file chapters: how many chapters (the last needs
// room for its image or clip; times of one GOP make one), each the GOP at or after or nearest its
// time, each image the picture of that GOP, the session back where the user stood. A run stops at
// a time it cannot find (here the GOP headers end past the middle), keeps what it made and stays
// on its last chapter; with the offset a stream starting at 10:00:00 gets times from its start.
TEST(SessionRuns, ChapterRuns) {
    QTemporaryDir dir;
    const QString longVideo = MakeVideo(dir, 123), broken = dir.filePath(u"pal.mpg"_qs);
    ASSERT_FALSE(longVideo.isEmpty()) << "ffmpeg could not make the video";
    QByteArray bytes = ReadAll(Video("pal.mpg"));
    const qsizetype from = bytes.size() * 55 / 100;
    ASSERT_TRUE(WriteAll(broken, bytes.left(from) +
                                     bytes.mid(from).replace(QByteArray::fromHex("000001B8"),
                                                             QByteArray::fromHex("000001B9"))));
    const QString notFound = u"ERROR: Cannot find time %1 !!!"_qs;
    const struct {
        const char* video;
        char kind; // c count, i interval minutes, f file chapters, p count after a picture step
        const char* value;
        const char* clipSeconds; // null: images
        int chapters;
        QString message;
    } rows[] = {
        {"pal.mpg", 'c', "1", nullptr, 1, {}},
        {"pal.mpg", 'i', "1", nullptr, 1, {}},
        {"pal.mpg", 'c', "5", nullptr, 5, {}},
        {"pal.mpg", 'c', "12", nullptr, 11, {}},
        {"pal.mpg", 'c', "4", "1", 4, {}},
        {"pal.mpg", 'c', "4", "3", 3, {}},
        {"pal.mpg", 'c', "3", "10", 2, {}},
        {"pal.m2v", 'c', "6", nullptr, 6, {}},
        {"pal_dvd.vob", 'c', "7", nullptr, 6, {}},
        {"ntsc_df.mpg", 'c', "6", nullptr, 6, {}},
        {"long", 'i', "1", nullptr, 3, {}},
        {"long", 'i', "1", "3", 2, {}}, // a 3-second clip at 2:00 would run into the last second
        {"pal.mpg", 'p', "3", nullptr, 3, {}},
        {"tc10h.m2v", 'c', "3", nullptr, 3, {}},
        {"pal.mpg", 'f', "00:00:03.000,00:00:06.000", nullptr, 3, {}},
        {"pal.mpg", 'f', "00:00:03.000,00:00:03.010", nullptr, 2, {}},
        {"pal.mpg", 'f', "00:00:03.000,00:00:30.000,00:00:40.000", nullptr, 2,
         notFound.arg(u"00:00:30.000")},
        {"broken", 'c', "5", nullptr, 3, notFound.arg(u"00:00:07")},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.video << " " << r.kind << r.value << " "
                                        << (r.clipSeconds ? r.clipSeconds : ""));
        const QString name = QString::fromLatin1(r.video);
        SessionRun run;
        ASSERT_TRUE(run.Start(name == u"long" ? longVideo
                                              : Video(name == u"broken" ? "pal.mpg" : r.video)));
        EditorSession& s = *run.s;
        if (name == u"broken") // the scan stays the whole video's
            GlobalVars().VideoFile = broken;
        const QString stem = QFileInfo(s.VideoFile()).completeBaseName();
        const std::vector<Gop> gops = GopsOf(s.VideoFile());
        if (s.OffsetVisible)
            s.SetUseOffset(true);
        for (int n = 0; n < 3; ++n)
            s.NextGopStep();
        if (r.kind == 'p')
            s.NextPictureStep();
        const QString shown = s.ShownTimecode;
        const qint64 shownPos = s.CurrentPos;
        s.Chapters = {u"00:00:05.000"_qs}; // left from earlier work: replaced
        s.Marks = {{u"00:00:05.000"_qs, 5}};
        s.SetNoChapter(true);
        s.SetClips(r.clipSeconds);
        s.SetClipSecondsText(QString::fromLatin1(r.clipSeconds));
        // A run ends its busy indicator before a message shows.
        qsizetype messagesWhenIdle = -1;
        QObject::connect(&s, &EditorSession::busyEnded, [&] {
            if (messagesWhenIdle < 0)
                messagesWhenIdle = qsizetype(run.messages.messages.size());
        });
        const QString value = QString::fromLatin1(r.value);
        if (r.kind == 'f')
            s.ImportClipboardText(value), s.Command_CreateChapters3_Click();
        else if (r.kind == 'i')
            s.Command_CreateChapters2_Click(value);
        else
            s.Command_CreateChapters_Click(value);
        const QStringList marks = s.Chapters;
        ASSERT_EQ(marks.size(), r.chapters) << marks.join(u' ').toStdString();
        EXPECT_EQ(run.messages.texts(),
                  r.message.isEmpty() ? QStringList() : QStringList{r.message});
        EXPECT_EQ(marks.first(), Zero);
        EXPECT_EQ(messagesWhenIdle, 0);
        for (int i = 1; i < marks.size(); ++i) {
            const Gop* gop =
                GopAt(gops, 0, s.OffsetVisible ? u"10"_qs + marks[i].mid(2) : marks[i]);
            ASSERT_TRUE(gop) << marks[i].toStdString();
            const double target = r.kind == 'f' ? TimecodeSeconds(s.FileChapters[i]).value_or(0)
                                  : r.kind == 'i'
                                      ? 60.0 * i
                                      : i * GlobalVars().DurationSeconds / value.toInt();
            double before = -1, after = 1e9; // the GOP times around the target
            for (const Gop& g : gops) {
                const double t = g.seconds - gops.front().seconds;
                before = t <= target + 1e-6 ? t : before;
                after = t >= target - 1e-6 ? std::min(after, t) : after;
            }
            const double at = gop->seconds - gops.front().seconds;
            EXPECT_TRUE(at == before || at == after) << marks[i].toStdString();
            const QString image = run.Out(stem + u'_' + Mark(marks[i]) + u".bmp"_qs);
            EXPECT_TRUE(r.clipSeconds ||
                        HashRows(QImage(image)) == PictureHashAt(s.VideoFile(), gop->pos - 1))
                << image.toStdString();
        }
        EXPECT_EQ(ReadAll(s.CellTimesPath), CellTimesOf(marks));
        EXPECT_EQ(run.Files(), ExpectedFiles(stem, marks, r.clipSeconds ? ".vob" : ".bmp"));
        EXPECT_EQ(s.Marks.size(), size_t(marks.size()));
        const bool stopped = !r.message.isEmpty() && r.kind != 'f';
        if (r.kind != 'p') { // (a run from inside a GOP comes back to the nearest GOP)
            EXPECT_EQ(s.ShownTimecode, stopped ? marks.last() : shown);
            EXPECT_EQ(s.CurrentPos, stopped ? GopAt(gops, 0, marks.last())->pos : shownPos);
            EXPECT_EQ(HashRows(s.Picture()), PictureHashAt(s.VideoFile(), s.CurrentPos - 1));
        }
    }
}

} // namespace
