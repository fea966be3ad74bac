#include "crop/PictureBox.h"
#include "editor/PositionSlider.h"
#include "support/DecoderSupport.h"
#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Lets the window finish the painting its set-up asked for, so that counting starts clean. The
// focus goes to Play beforehand: the picture repaints when a click takes the focus away from it.
void Settle(MpegLibForm& f) {
    f.Command2->setFocus();
    QTest::qWait(50);
}

// Milliseconds of an "HH:MM:SS.mmm" timecode.
qint64 Milliseconds(const QString& tc) {
    return ((tc.mid(0, 2).toLongLong() * 60 + tc.mid(3, 2).toLongLong()) * 60 +
            tc.mid(6, 2).toLongLong()) *
               1000 +
           tc.mid(9, 3).toLongLong();
}

// Clicks Play and returns when playback has ended. `during` runs `afterMs` into playback. A
// playback still running after `limitMs` is stopped and reported as a failure.
void PlayAndRun(MpegLibForm& f, int afterMs, const std::function<void()>& during,
                int limitMs = 20000) {
    QTimer action;
    action.setSingleShot(true);
    QObject::connect(&action, &QTimer::timeout, during);
    if (during)
        action.start(afterMs);
    ASSERT_TRUE(f.Command2->isEnabled());
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    const bool ended = QTest::qWaitFor([&] { return f.Session->Playing == FlagFalse; }, limitMs);
    if (!ended)
        f.Session->Playing = FlagFalse;
    EXPECT_TRUE(ended) << "playback did not end";
    QTest::qWait(10);
}

void MoveToLastGop(MpegLibForm& f) {
    for (;;) {
        const qint64 before = f.Session->CurrentPos;
        f.Session->NextGopStep();
        if (f.Session->CurrentPos == before)
            return;
    }
}

// The controls playback takes away while it runs.
std::vector<QWidget*> HeldControls(const MpegLibForm& f) {
    return {f.Command_NextFrame,
            f.Command4,
            f.Command_NextIFrame,
            f.Command_StepBack,
            f.Check_ScaleRGB,
            f.Command_CreateChapters,
            f.Command_CreateChapters2,
            f.Command_CreateChapters3,
            f.Command_GetChapterFile,
            f.Command_Delete,
            f.List1,
            f.List2,
            f.Command_SavePic,
            f.Option_Clips,
            f.Option_Pics,
            f.Slider1,
            f.Check_UseOffset};
}

QStringList Enabled(const std::vector<QWidget*>& controls) {
    QStringList names;
    for (const QWidget* control : controls)
        if (control->isEnabled())
            names << control->objectName();
    return names;
}

class Playback : public ::testing::Test {
protected:
    EditorFixture fx;
    MpegLibForm* f = nullptr;

    void Start(const QString& video) {
        ASSERT_TRUE(fx.Start(TestVideo(video)));
        f = fx.form.get();
        f->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
    }
};

// Pictures follow one another at most once per frame period of the stream; a stream without a
// usable frame rate plays at 25 pictures a second.
TEST_F(Playback, ShowsPicturesAtTheFrameRate) {
    const struct {
        const char* video;
        float frameRate; // 0: as scanned
        double periodMs;
    } cases[] = {
        {"pal.mpg", 0, 40.0},
        {"ntsc_df.mpg", 0, 1001.0 / 30.0},
        {"pal.m2v", -1, 40.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.video);
        Start(QString::fromLatin1(c.video));
        if (c.frameRate != 0)
            GlobalVars().FrameRate = c.frameRate;
        Settle(*f);
        PaintCounter paints(f->Picture1);
        QElapsedTimer clock;
        qint64 stopMs = 0;
        int steps = 0;
        clock.start();
        PlayAndRun(*f, 1000, [&] {
            stopMs = clock.elapsed();
            steps = paints.count;
            QTest::mouseClick(f->Command2, Qt::LeftButton);
        });
        ASSERT_GT(stopMs, 0);
        // Never more pictures than periods went by; how many fewer a busy machine shows is not
        // for a test to judge (the period itself is FramePeriodNs's).
        const double periods = double(stopMs) / c.periodMs;
        EXPECT_GE(steps, 1);
        EXPECT_LE(steps, int(periods) + 1) << stopMs << " ms";
        EXPECT_EQ(f->Session->Playing, FlagFalse);
        EXPECT_EQ(f->Command2->text(), "Play");
        // No step after the pause.
        EXPECT_EQ(paints.count, steps);
        if (c.frameRate == 0 && c.periodMs == 40.0) {
            EXPECT_EQ(Milliseconds(f->Text1->text()), qint64(steps) * 40);
        }
    }
}

// Pause and Stop are handled inside the loop and give back the controls; what they give back
// depends on the save options, the file-chapter list, the stream's start time and the path.
TEST_F(Playback, PauseAndStopRestoreTheControls) {
    struct Case {
        const char* name;
        const char* video;
        std::function<void(EditorFixture&)> prepare; // before the load step
        std::function<void(MpegLibForm&)> setUp;     // before Play
        bool byStop;
        QString saveCaption;
        bool savePic, create, create3, chapterFile, kinds, useOffset;
    };
    const auto atGop = [](MpegLibForm& form) { form.Session->NextGopStep(); };
    const Case cases[] = {
        {"images, Pause", "pal.mpg", nullptr,
         [&](MpegLibForm& form) {
             atGop(form);
             form.Command_CreateChapters3->setEnabled(true); // List2 is hidden
         },
         false, "Save image", true, true, false, true, true, false},
        {"clips, Stop", "pal.mpg", nullptr,
         [&](MpegLibForm& form) {
             form.Option_Clips->setChecked(true);
             atGop(form);
         },
         true, "Save clip", false, true, false, true, true, false},
        {"file chapters shown", "pal.mpg", nullptr,
         [&](MpegLibForm& form) {
             form.Session->FileChapters = {QStringLiteral("00:00:05.000")};
             form.Session->FileChaptersShown = true;
             form.ShowFileChapters();
         },
         true, "Save image", true, true, true, true, true, false},
        {"stream starting at 10:00:00", "tc10h.m2v", nullptr, atGop, true, "Save image", true,
         false, false, true, true, true},
        {"mark only", "pal.mpg", nullptr,
         [&](MpegLibForm& form) {
             form.Check_ChapterOnly->setChecked(true);
             atGop(form);
         },
         false, "Set chapter mark", false, true, false, true, false, false},
        {"chapter file path too long", "pal.mpg",
         [](EditorFixture& fixture) {
             QString dir = fixture.outDir.path();
             for (char c : {'a', 'b', 'c'})
                 dir += '/' + QString(90, QLatin1Char(c));
             ASSERT_TRUE(QDir().mkpath(dir));
             GlobalVars().OutDir = dir;
         },
         atGop, true, "Save Current", false, false, false, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fx.Prepare(TestVideo(QString::fromLatin1(c.video)));
        if (c.prepare)
            c.prepare(fx);
        ASSERT_TRUE(fx.Load());
        f = fx.form.get();
        f->show();
        c.setUp(*f);

        QStringList enabledWhilePlaying;
        QString captionWhilePlaying;
        bool stopEnabled = false;
        PlayAndRun(*f, 150, [&] {
            enabledWhilePlaying = Enabled(HeldControls(*f));
            captionWhilePlaying = f->Command2->text();
            stopEnabled = f->Command3->isEnabled() && f->Command2->isEnabled();
            QTest::mouseClick(c.byStop ? f->Command3 : f->Command2, Qt::LeftButton);
        });
        EXPECT_EQ(enabledWhilePlaying, QStringList{});
        EXPECT_EQ(captionWhilePlaying, "Pause");
        EXPECT_TRUE(stopEnabled);

        EXPECT_EQ(f->Session->Playing, FlagFalse);
        EXPECT_EQ(f->Session->AtGopStart, FlagFalse);
        EXPECT_EQ(f->Command2->text(), "Play");
        for (QWidget* always : std::initializer_list<QWidget*>{
                 f->Command_NextFrame, f->Command4, f->Command_NextIFrame, f->Command_StepBack,
                 f->Check_ScaleRGB, f->List2, f->Slider1})
            EXPECT_TRUE(always->isEnabled()) << always->objectName().toStdString();
        EXPECT_EQ(f->Command_SavePic->text(), c.saveCaption);
        EXPECT_EQ(f->Command_SavePic->isEnabled(), c.savePic);
        EXPECT_EQ(f->Command_CreateChapters->isEnabled(), c.create);
        EXPECT_EQ(f->Command_CreateChapters2->isEnabled(), c.create);
        EXPECT_EQ(f->Command_CreateChapters3->isEnabled(), c.create3);
        EXPECT_EQ(f->Command_GetChapterFile->isEnabled(), c.chapterFile);
        EXPECT_EQ(f->Command_Delete->isEnabled(), c.chapterFile);
        EXPECT_EQ(f->List1->isEnabled(), c.chapterFile);
        EXPECT_EQ(f->Option_Pics->isEnabled(), c.kinds);
        EXPECT_EQ(f->Option_Clips->isEnabled(), c.kinds);
        EXPECT_EQ(f->Check_UseOffset->isEnabled(), c.useOffset);
        fx.form.reset();
    }
}

// Playback that runs into the end stops by itself after one step that shows no new picture and
// keeps its controls until Stop. Play from there runs one step and stops again; Stop then gives
// back the controls as they were before the first start.
TEST_F(Playback, RunningIntoTheEndStopsAfterOneStep) {
    for (const char* video : {"pal.mpg", "pal.m2v", "pal_dvd.vob"}) {
        SCOPED_TRACE(video);
        Start(QString::fromLatin1(video));
        // The last two groups of pictures are left to play.
        MoveToLastGop(*f);
        f->Session->PreviousGopStep();
        ASSERT_GT(f->Session->CurrentPos, 0);
        const bool createBefore = f->Command_CreateChapters->isEnabled();
        const qint64 startMs = Milliseconds(f->Text1->text());
        Settle(*f);
        PaintCounter paints(f->Picture1);

        PlayAndRun(*f, 0, nullptr, 5000);
        const int pictures = int((Milliseconds(f->Text1->text()) - startMs) / 40);
        EXPECT_GT(pictures, 2);
        EXPECT_EQ(paints.count, pictures + 1);
        EXPECT_EQ(f->Session->Playing, FlagFalse);
        EXPECT_EQ(f->Command2->text(), "Pause");
        EXPECT_EQ(Enabled(HeldControls(*f)), QStringList{});

        const qint64 end = f->Session->CurrentPos;
        PlayAndRun(*f, 0, nullptr, 5000);
        EXPECT_EQ(paints.count, pictures + 2);
        EXPECT_EQ(f->Session->CurrentPos, end);
        EXPECT_EQ(f->Command2->text(), "Pause");
        EXPECT_FALSE(f->Command_NextFrame->isEnabled());

        QTest::mouseClick(f->Command3, Qt::LeftButton);
        EXPECT_EQ(f->Command2->text(), "Play");
        EXPECT_TRUE(f->Command_NextFrame->isEnabled());
        EXPECT_EQ(f->Command_CreateChapters->isEnabled(), createBefore);
        fx.form.reset();
    }
}

// Pause and Play handled in one turn of the event loop: playback goes on in the loop that runs,
// the Play click returns at once rather than running a second loop inside the first.
TEST_F(Playback, PauseAndPlayInOneTurnContinueTheLoop) {
    Start(QStringLiteral("pal.mpg"));
    Settle(*f);
    PaintCounter paints(f->Picture1);
    QTimer stop;
    stop.setSingleShot(true);
    QObject::connect(&stop, &QTimer::timeout,
                     [&] { QTest::mouseClick(f->Command3, Qt::LeftButton); });
    int stepsAtPause = -1, stepsAfterPlay = -1;
    bool playing = false;
    PlayAndRun(*f, 200, [&] {
        stepsAtPause = paints.count;
        QTest::mouseClick(f->Command2, Qt::LeftButton);
        QTest::mouseClick(f->Command2, Qt::LeftButton);
        stepsAfterPlay = paints.count;
        playing = f->Session->Playing != FlagFalse;
        stop.start(300);
    });
    EXPECT_EQ(stepsAfterPlay, stepsAtPause);
    EXPECT_TRUE(playing);
    EXPECT_GT(paints.count, stepsAtPause + 3);
    EXPECT_EQ(f->Session->Playing, FlagFalse);
    EXPECT_EQ(f->Command2->text(), "Play");
    EXPECT_TRUE(f->Command_NextFrame->isEnabled());
}

// Closing the window while it plays keeps it open and stops playback after the current wait;
// Quit does nothing while playing and closes once Stop gave the controls back.
TEST_F(Playback, ClosingDuringPlaybackCancelsTheCloseAndStops) {
    Start(QStringLiteral("pal.mpg"));
    Settle(*f);
    PaintCounter paints(f->Picture1);
    bool openAfterQuit = false, playingAfterQuit = false, openAfterClose = false;
    int stepsAtClose = 0;
    PlayAndRun(*f, 200, [&] {
        f->Command4_Click();
        openAfterQuit = f->isVisible();
        playingAfterQuit = f->Session->Playing != FlagFalse;
        stepsAtClose = paints.count;
        f->close();
        openAfterClose = f->isVisible();
    });
    EXPECT_TRUE(openAfterQuit);
    EXPECT_TRUE(playingAfterQuit);
    EXPECT_TRUE(openAfterClose);
    EXPECT_GT(stepsAtClose, 0);
    EXPECT_EQ(paints.count, stepsAtClose);
    EXPECT_EQ(f->Session->Playing, FlagFalse);
    EXPECT_EQ(f->Command2->text(), "Pause");
    EXPECT_FALSE(f->Command4->isEnabled());

    QTest::mouseClick(f->Command4, Qt::LeftButton);
    EXPECT_TRUE(f->isVisible());
    QTest::mouseClick(f->Command3, Qt::LeftButton);
    QTest::mouseClick(f->Command4, Qt::LeftButton);
    EXPECT_FALSE(f->isVisible());
}

// Stop with nothing playing leaves the window as it is: the picture shown stays a GOP start.
TEST_F(Playback, StopWhileStoppedChangesNothing) {
    Start(QStringLiteral("pal.mpg"));
    f->Option_Clips->setChecked(true);
    f->Session->NextGopStep();
    ASSERT_EQ(f->Command_SavePic->text(), "Save clip+chapter");
    QTest::mouseClick(f->Command3, Qt::LeftButton);
    EXPECT_EQ(f->Session->AtGopStart, FlagTrue);
    EXPECT_EQ(f->Command_SavePic->text(), "Save clip+chapter");
    EXPECT_TRUE(f->Command_SavePic->isEnabled());
}

} // namespace
