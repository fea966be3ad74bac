#include "chapters/Timecode.h"
#include "support/EditorFixture.h"
#include "support/GopReference.h"

#include "support/GopScan.h"
#include <QLineEdit>
#include <cmath>

#include <gtest/gtest.h>

namespace {

QString TextOf(double seconds) {
    const qint64 ms = qint64(std::llround(seconds * 1000));
    return QStringLiteral("%1:%2:%3.%4")
        .arg(ms / 3600000, 2, 10, QChar(u'0'))
        .arg(ms / 60000 % 60, 2, 10, QChar(u'0'))
        .arg(ms / 1000 % 60, 2, 10, QChar(u'0'))
        .arg(ms % 1000, 3, 10, QChar(u'0'));
}

class GoTo : public ::testing::TestWithParam<const char*> {
protected:
    EditorFixture fx;
};

TEST_P(GoTo, LandsOnTheGopTheSearchChooses) {
    const QString video = TestVideo(QString::fromLatin1(GetParam()));
    ASSERT_TRUE(fx.Start(video));
    MpegLibForm& f = *fx.form;
    const std::vector<Gop> gops = ScanGops(video);
    ASSERT_GT(gops.size(), 5u);

    // Exactly the time of a GOP: that GOP (the zero time goes to the file start).
    for (const Gop& gop : gops) {
        if (gop.text == u"00:00:00.000")
            continue;
        ASSERT_TRUE(f.Session->GoToTimecode(gop.text));
        EXPECT_EQ(f.Session->CurrentPos, gop.pos) << gop.text.toStdString();
        EXPECT_EQ(f.Text1->text(), gop.text);
        EXPECT_EQ(f.Session->ClipStartPos, gop.pos);
        EXPECT_EQ(f.Session->AtGopStart, FlagTrue);
    }
    // Times in between: the GOP nearest the time.
    const double end = gops.back().seconds;
    for (double t = 0.137; t < end; t += end / 23.0) {
        const QString tc = TextOf(t);
        ASSERT_TRUE(f.Session->GoToTimecode(tc)) << tc.toStdString();
        const auto landed = std::find_if(
            gops.begin(), gops.end(), [&](const Gop& g) { return g.pos == f.Session->CurrentPos; });
        ASSERT_NE(landed, gops.end()) << tc.toStdString();
        EXPECT_EQ(f.Text1->text(), landed->text);
        double nearest = end;
        for (const Gop& g : gops)
            nearest = std::min(nearest, std::fabs(g.seconds - t));
        EXPECT_NEAR(std::fabs(landed->seconds - t), nearest, 1e-9) << tc.toStdString();
    }
    EXPECT_TRUE(fx.messages.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Videos, GoTo,
    ::testing::Values("pal.mpg", "pal.m2v", "pal_dvd.vob", "ntsc_df.mpg", "ntsc_ndf.mpg"),
    [](const auto& info) {
        return QString::fromLatin1(info.param).replace(u'.', u'_').toStdString();
    });

TEST(GoToTimecodeStart, ZeroOrUnreadableTimesGoToTheStart) {
    EditorFixture fx;
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
    MpegLibForm& f = *fx.form;
    for (const char* tc : {"00:00:00.000", "not a time", ""}) {
        f.Session->NextGopStep();
        f.Session->NextGopStep();
        ASSERT_TRUE(f.Session->GoToTimecode(QString::fromLatin1(tc)));
        EXPECT_EQ(f.Session->CurrentPos, 0);
        EXPECT_EQ(f.Text1->text(), "00:00:00.000");
    }
}

TEST(GoToTimecodeStart, FailsWithAMessageWithoutUsableGops) {
    EditorFixture fx;
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
    MpegLibForm& f = *fx.form;
    // The video's GOP headers vanish under the editor's feet.
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.mpg"));
    QByteArray bytes = ReadAll(TestVideo(QStringLiteral("pal.mpg")));
    bytes.replace(QByteArray::fromHex("000001B8"), QByteArray::fromHex("000001B9"));
    ASSERT_TRUE(WriteAll(broken, bytes));
    GlobalVars().VideoFile = broken;
    EXPECT_FALSE(f.Session->GoToTimecode(QStringLiteral("00:00:05.000")));
    EXPECT_EQ(fx.messages.texts(), QStringList{"ERROR: Cannot find time 00:00:05.000 !!!"});
}

TEST(GoToTimecodeStart, TimesBeyondTheEndFailWithAMessage) {
    EditorFixture fx;
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
    MpegLibForm& f = *fx.form;
    EXPECT_FALSE(f.Session->GoToTimecode(QStringLiteral("05:00:00.000")));
    EXPECT_EQ(fx.messages.texts(), QStringList{"ERROR: Cannot find time 05:00:00.000 !!!"});
    // Just after the last GOP: the last GOP.
    ASSERT_TRUE(f.Session->GoToTimecode(QStringLiteral("00:00:11.990")));
    EXPECT_EQ(f.Session->CurrentPos, GlobalVars().LastGopPos);
}

} // namespace
