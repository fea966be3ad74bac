// The editor on a 5 GiB VOB (sparse: a DVD-style video at its start, one whose time codes start
// at 10:00:00 at its end): slider, GOP steps, time search and clips above 4 GiB.
#include "editor/PositionSlider.h"
#include "support/EditorFixture.h"

#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr qint64 FourGiB = qint64(4) << 30;

class LargeVideo : public ::testing::Test {
protected:
    void SetUp() override {
        head = ReadAll(TestVideo(QStringLiteral("pal_dvd.vob")));
        tail = ReadAll(TestVideo(QStringLiteral("tc10h.vob")));
        ASSERT_FALSE(head.isEmpty());
        ASSERT_FALSE(tail.isEmpty());
        video = dir.filePath(QStringLiteral("big.vob"));
        ASSERT_TRUE(MakeSparseFile(video, Size, head, tail));
        ASSERT_TRUE(fx.Start(video));
    }

    // 0-based offset in the file of a byte of the tail video.
    qint64 TailStart() const { return Size - tail.size(); }

    static constexpr qint64 Size = qint64(5) << 30;
    QTemporaryDir dir;
    QByteArray head, tail;
    QString video;
    EditorFixture fx;
};

TEST_F(LargeVideo, SliderStepsAndSearchReachTheEnd) {
    MpegLibForm& f = *fx.form;
    EXPECT_EQ(f.Session->FileLength, Size);

    // The slider's end shows the last GOP, in the tail video.
    QTest::keyClick(f.Slider1, Qt::Key_End);
    EXPECT_GT(f.Session->CurrentPos, TailStart());
    EXPECT_TRUE(f.Text1->text().startsWith(QStringLiteral("10:00:0")))
        << f.Text1->text().toStdString();
    EXPECT_GE(f.Slider1->value(), 31990);

    // GOP steps back and forth above 4 GiB.
    const qint64 last = f.Session->CurrentPos;
    f.Session->PreviousGopStep();
    const qint64 before = f.Session->CurrentPos;
    EXPECT_LT(before, last);
    EXPECT_GT(before, FourGiB);
    f.Session->NextGopStep();
    EXPECT_GT(f.Session->CurrentPos, before);

    // Back to the start, then to a time of the tail video.
    QTest::keyClick(f.Slider1, Qt::Key_Home);
    EXPECT_EQ(f.Text1->text(), QStringLiteral("00:00:00.000"));
    ASSERT_TRUE(f.Session->GoToTimecode(QStringLiteral("10:00:02.000")));
    EXPECT_GT(f.Session->CurrentPos, TailStart());
    EXPECT_TRUE(f.Text1->text().startsWith(QStringLiteral("10:00:0")))
        << f.Text1->text().toStdString();
    EXPECT_EQ(f.Slider1->value(), int(double(f.Session->CurrentPos) / f.Session->BytesPerStep));
    EXPECT_TRUE(fx.messages.messages.empty());
}

TEST_F(LargeVideo, ClipsAreCutAboveFourGiB) {
    MpegLibForm& f = *fx.form;
    ASSERT_TRUE(f.Session->GoToTimecode(QStringLiteral("10:00:02.000")));
    f.Option_Clips->setChecked(true);
    f.Text_Sec->setText(QStringLiteral("1"));
    const QString shown = f.Text1->text();
    f.Command_SavePic_Click();

    const QString name = QStringLiteral("big_") + QString(shown).replace(u':', u'_') + ".vob";
    const QByteArray clip = ReadAll(QDir(fx.outDir.path()).filePath(name));
    ASSERT_GT(clip.size(), 2048) << name.toStdString();
    // The clip is the tail's bytes from a pack header before the GOP on.
    const qsizetype inTail = tail.indexOf(clip.left(2048));
    ASSERT_GE(inTail, 0);
    EXPECT_GT(TailStart() + inTail, FourGiB);
    EXPECT_LT(TailStart() + inTail, f.Session->ClipStartPos);
    EXPECT_EQ(clip, tail.mid(inTail, clip.size()));
    EXPECT_TRUE(clip.startsWith(QByteArray::fromHex("000001BA")));
    EXPECT_TRUE(f.Session->SaveFailures.isEmpty());
}

} // namespace
