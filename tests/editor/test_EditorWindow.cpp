#include "crop/PictureBox.h"
#include "editor/MpegLibForm.h"
#include "editor/PositionSlider.h"
#include "editor/Twips.h"
#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// The window shows what its session holds.
void ExpectShowsSession(const MpegLibForm& f, const std::string& where) {
    const EditorSession& s = *f.Session;
    EXPECT_EQ(f.Text1->text(), s.ShownTimecode) << where;
    EXPECT_EQ(f.Slider1->value(), s.SliderValue) << where;
    EXPECT_EQ(f.Picture1->picture(), s.Picture()) << where;
    EXPECT_EQ(f.Command_SavePic->text(), s.SaveCaption) << where;
    EXPECT_EQ(f.Command_SavePic->isEnabled(), s.SaveEnabled()) << where;
    EXPECT_EQ(f.windowTitle(), s.Caption) << where;
    EXPECT_EQ(Entries(f.List1), s.Chapters) << where;
    EXPECT_EQ(Entries(f.List2), s.FileChapters) << where;
    EXPECT_EQ(f.List2->isHidden(), !s.FileChaptersShown) << where;
    EXPECT_EQ(f.List1->height(), s.FileChaptersShown ? TwipsToWholePixelsY(1875) : 225) << where;
    EXPECT_EQ(f.Check_ChapterOnly->isChecked(), s.ChapterOnly) << where;
    EXPECT_EQ(f.Check_NoChapter->isChecked(), s.NoChapter) << where;
    EXPECT_EQ(f.Option_Clips->isChecked(), s.Clips) << where;
    EXPECT_EQ(f.Command_CreateChapters->isEnabled(), s.CreateEnabled()) << where;
}

class EditorWindow : public ::testing::Test {
protected:
    EditorFixture fx;
    MpegLibForm* f = nullptr;
    void Start(const char* video = "pal.mpg") {
        ASSERT_TRUE(fx.Start(TestVideo(QString::fromLatin1(video))));
        f = fx.form.get();
        f->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
    }
};

// Every control hands its action to the session, and the window then shows the session.
TEST_F(EditorWindow, ControlsAreWiredToTheSession) {
    Start();
    QGuiApplication::clipboard()->setText(u"00:00:03.000,00:00:06.000"_qs);
    const struct {
        const char* action;
        std::function<void()> act;
        std::function<bool(const EditorSession&)> done;
    } rows[] = {
        {"next GOP button", [&] { QTest::mouseClick(f->Command_NextIFrame, Qt::LeftButton); },
         [](const EditorSession& s) { return s.CurrentPos > 0 && s.AtGopStart == FlagTrue; }},
        {"next picture button", [&] { QTest::mouseClick(f->Command_NextFrame, Qt::LeftButton); },
         [](const EditorSession& s) { return s.AtGopStart == FlagFalse; }},
        {"right key on the picture", [&] { QTest::keyClick(f->Picture1, Qt::Key_Right); },
         [](const EditorSession& s) { return s.AtGopStart == FlagTrue; }},
        {"end key on the slider", [&] { QTest::keyClick(f->Slider1, Qt::Key_End); },
         [](const EditorSession& s) { return s.CurrentPos == GlobalVars().LastGopPos; }},
        {"previous GOP button", [&] { QTest::mouseClick(f->Command_StepBack, Qt::LeftButton); },
         [](const EditorSession& s) { return s.CurrentPos < GlobalVars().LastGopPos; }},
        {"save button", [&] { QTest::mouseClick(f->Command_SavePic, Qt::LeftButton); },
         [](const EditorSession& s) { return s.Chapters.size() == 1 && s.Marks.size() == 1; }},
        {"mark only", [&] { f->Check_ChapterOnly->click(); },
         [](const EditorSession& s) { return s.ChapterOnly; }},
        {"no mark", [&] { f->Check_NoChapter->click(); },
         [](const EditorSession& s) { return s.NoChapter && !s.ChapterOnly; }},
        {"clips", [&] { QTest::mouseClick(f->Option_Clips, Qt::LeftButton, {}, QPoint(6, 8)); },
         [](const EditorSession& s) { return s.Clips; }},
        {"clip seconds", [&] { f->Text_Sec->setText(u"3"_qs); },
         [](const EditorSession& s) { return s.ClipSecondsText == u"3"; }},
        {"images", [&] { QTest::mouseClick(f->Option_Pics, Qt::LeftButton, {}, QPoint(6, 8)); },
         [](const EditorSession& s) { return !s.Clips; }},
        {"crop", [&] { f->Check_Crop->click(); }, [](const EditorSession& s) { return s.Crop; }},
        {"clipboard import", [&] { f->Command_GetChapterClipBoard->click(); },
         [](const EditorSession& s) { return s.FileChapters.size() == 3; }},
        {"count run",
         [&] {
             f->Text_NumChap->setText(u"2"_qs);
             f->Command_CreateChapters->click();
         },
         [](const EditorSession& s) { return s.Chapters.size() == 2; }},
        {"double click on a chapter",
         [&] {
             f->List1->setCurrentRow(1);
             f->List1_DblClick();
         },
         [](const EditorSession& s) { return s.ShownTimecode == s.Chapters[1]; }},
        {"delete",
         [&] {
             f->List1_GotFocus();
             f->List1->setCurrentRow(1);
             f->Command_Delete->click();
         },
         [](const EditorSession& s) { return s.Chapters.size() == 1; }},
    };
    for (const auto& r : rows) {
        r.act();
        EXPECT_TRUE(r.done(*f->Session)) << r.action;
        ExpectShowsSession(*f, r.action);
    }
    // The icon of the mark stands over the slider at the mark's place.
    const QStringList tags = IconTags(*f);
    EXPECT_EQ(tags, QStringList{f->Session->Chapters});
    EXPECT_TRUE(fx.messages.messages.empty()) << fx.messages.texts().join(u'|').toStdString();
}

// Held buttons step after 300 ms and then every 10 ms; a click is one step.
TEST_F(EditorWindow, HeldButtonsRepeatAndClicksStepOnce) {
    Start("pal.m2v");
    int steps = 0;
    std::vector<int> intervals;
    QObject::connect(f->Text1, &QLineEdit::textChanged, [&] {
        ++steps;
        intervals.push_back(f->Timer1->isActive() ? f->Timer1->interval() : 0);
    });
    const struct {
        QPushButton* button;
        int repeats;
    } rows[] = {{f->Command_NextFrame, 10}, {f->Command_NextIFrame, 3}, {f->Command_StepBack, 3}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.button->objectName().toStdString());
        if (r.button == f->Command_StepBack)
            QTest::keyClick(f->Slider1, Qt::Key_End);
        steps = 0;
        QTest::mouseClick(r.button, Qt::LeftButton);
        EXPECT_EQ(steps, 1);
        EXPECT_FALSE(f->Timer1->isActive());
        steps = 0;
        intervals.clear();
        QTest::mousePress(r.button, Qt::LeftButton);
        EXPECT_EQ(steps, 0);
        EXPECT_EQ(f->Timer1->interval(), 300);
        ASSERT_TRUE(QTest::qWaitFor([&] { return steps >= r.repeats; }, 10000));
        EXPECT_EQ(intervals, std::vector<int>(intervals.size(), 10));
        const int before = steps;
        QTest::mouseRelease(r.button, Qt::LeftButton);
        EXPECT_GE(steps, before + 1);
        EXPECT_LE(steps, before + 2);
        EXPECT_FALSE(f->Timer1->isActive());
    }
}

} // namespace
