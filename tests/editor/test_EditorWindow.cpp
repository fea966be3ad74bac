#include "chapters/ChapterFileImport.h"
#include "crop/PictureBox.h"
#include "editor/MpegLibForm.h"
#include "editor/PositionSlider.h"
#include "editor/Tag.h"
#include "editor/Twips.h"
#include "session/ShownSize.h"
#include "support/EditorFixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

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

// Once the file dialog `name` of the window shows, `look` sees it and the dialog is accepted.
std::unique_ptr<QTimer> Answer(QWidget* window, const char* name,
                               std::function<void(QFileDialog*)> look) {
    auto poll = std::make_unique<QTimer>();
    QObject::connect(poll.get(), &QTimer::timeout, [window, name, look, timer = poll.get()] {
        auto* dialog = window->findChild<QFileDialog*>(QLatin1String(name));
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        look(dialog);
        static_cast<QDialog*>(dialog)->accept();
    });
    poll->start(20);
    return poll;
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

// A held arrow key on the picture steps once, on the real release; a key typed into the time
// box sends the focus to the slider and changes nothing.
TEST_F(EditorWindow, Keys) {
    Start("tc10h.m2v");
    for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Left}) {
        int steps = 0;
        const auto counter = QObject::connect(f->Text1, &QLineEdit::textChanged, [&] { ++steps; });
        const auto send = [&](QEvent::Type type, bool repeat) {
            QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
            QCoreApplication::sendEvent(f->Picture1, &event);
        };
        send(QEvent::KeyPress, false);
        for (int n = 0; n < 5; ++n) {
            send(QEvent::KeyRelease, true);
            send(QEvent::KeyPress, true);
        }
        EXPECT_EQ(steps, 0) << key;
        send(QEvent::KeyRelease, false);
        EXPECT_EQ(steps, 1) << key;
        QObject::disconnect(counter);
    }
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f));
    int clicks = 0;
    for (QPushButton* button : f->findChildren<QPushButton*>())
        QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    for (Qt::Key key : {Qt::Key_5, Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Escape}) {
        f->Text1->setFocus();
        const QString shown = f->Text1->text();
        QTest::keyClick(f->Text1, key);
        EXPECT_TRUE(f->Slider1->hasFocus() || key == Qt::Key_Return || key == Qt::Key_Escape);
        EXPECT_EQ(f->Text1->text(), shown) << key;
    }
    EXPECT_EQ(clicks, 0) << "no key clicks a button";
    EXPECT_TRUE(f->isVisible());
    // The offset box of a video that starts at 10:00:00 reaches the session.
    ASSERT_TRUE(f->Check_UseOffset->isVisible());
    const bool offset = f->Session->UseOffset;
    f->Check_UseOffset->click();
    EXPECT_EQ(f->Session->UseOffset, !offset);
}

// The keys of video tools move as their buttons do, even with the focus on the Save button, and
// never save.
TEST_F(EditorWindow, VideoToolKeys) {
    Start("pal_dvd.vob");
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f));
    int saves = 0;
    QObject::connect(f->Command_SavePic, &QPushButton::clicked, [&saves] { ++saves; });
    EditorSession& s = *f->Session;
    const qint64 lastGop =
        FindGopTimecode(s.SearchContext(), s.FileLength, SearchDirection::Backward).headerPos;
    const QStringList chapters = s.Chapters;
    const struct {
        Qt::Key key;
        std::function<bool(qint64 posBefore, const QString& shownBefore)> moved;
    } rows[] = {
        {Qt::Key_PageDown, [&](qint64 p, auto&) { return s.CurrentPos > p && s.AtGopStart; }},
        {Qt::Key_Period, [&](qint64, const QString& t) { return s.ShownTimecode > t; }},
        {Qt::Key_Comma, [&](qint64, const QString& t) { return s.ShownTimecode < t; }},
        {Qt::Key_End, [&](qint64, auto&) { return s.CurrentPos == lastGop; }},
        {Qt::Key_PageUp, [&](qint64 p, auto&) { return s.CurrentPos < p && s.AtGopStart; }},
        {Qt::Key_Home, [&](qint64, auto&) { return s.CurrentPos == 0; }},
        {Qt::Key_Space, [&](qint64, auto&) { return s.Playing == FlagTrue; }},
        {Qt::Key_Space, [&](qint64, auto&) { return s.Playing == FlagFalse; }},
    };
    for (const auto& row : rows) {
        f->Command_SavePic->setFocus();
        const qint64 pos = s.CurrentPos;
        const QString shown = s.ShownTimecode;
        QTest::keyClick(f->Command_SavePic, row.key);
        EXPECT_TRUE(row.moved(pos, shown)) << row.key;
        EXPECT_EQ(f->Text1->text(), s.ShownTimecode) << row.key;
    }
    // During playback only Space works.
    s.Command2_Click();
    const qint64 playing = s.CurrentPos;
    QTest::keyClick(f, Qt::Key_Home);
    EXPECT_NE(s.CurrentPos, 0);
    EXPECT_GE(s.CurrentPos, playing);
    QTest::keyClick(f, Qt::Key_Space);
    EXPECT_EQ(s.Playing, FlagFalse);
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(s.Chapters, chapters);
}

// A drag on the thumb shows the time box and a preview, and the release lands on a GOP; a press
// on the groove is no drag.
TEST_F(EditorWindow, SliderDrag) {
    Start("pal_dvd.vob");
    for (int n = 0; n < 5; ++n)
        f->Session->NextGopStep();
    const PositionSlider* slider = f->Slider1;
    const QPoint thumb(13 + (slider->width() - 26) * slider->value() / 32000, 16);
    QTest::mousePress(f->Slider1, Qt::LeftButton, {}, thumb);
    EXPECT_FALSE(f->Text3->isHidden());
    EXPECT_EQ(f->Text3->text(), f->Text1->text().left(8));
    for (int dx : {40, 120, 200})
        QTest::mouseMove(f->Slider1, thumb + QPoint(dx, 0));
    EXPECT_EQ(f->Session->UsePreviewPos, FlagTrue);
    EXPECT_EQ(f->Text3->text(), f->Session->PreviewTimecode.left(8));
    EXPECT_EQ(f->Text3->x(), f->Slider1->x() + thumb.x() + 200 - 12);
    PaintCounter paints(f->Picture1);
    QTest::mouseRelease(f->Slider1, Qt::LeftButton, {}, thumb + QPoint(200, 0));
    QTest::qWait(50);
    EXPECT_TRUE(f->Text3->isHidden());
    EXPECT_EQ(f->Session->UsePreviewPos, FlagFalse);
    EXPECT_EQ(f->Session->AtGopStart, FlagTrue);
    EXPECT_EQ(paints.count, 1) << "one jump per release";
    ExpectShowsSession(*f, "after the drag");
    QTest::mousePress(f->Slider1, Qt::LeftButton, {}, QPoint(60, 16));
    EXPECT_TRUE(f->Text3->isHidden());
    EXPECT_EQ(f->Dragging, FlagFalse);
    QTest::mouseRelease(f->Slider1, Qt::LeftButton, {}, QPoint(60, 16));
}

// The chapter list's "Export chapters..." writes the format the dialog's filter chose, under the
// name offered beside the cell-times file.
TEST_F(EditorWindow, ExportChaptersFromTheChapterList) {
    Start();
    f->Session->NextGopStep();
    f->Session->NextGopStep();
    f->Session->SaveCurrent();
    QAction* action = f->List1->findChild<QAction*>(u"Action_ExportChapters"_qs);
    ASSERT_TRUE(action);
    EXPECT_EQ(f->List1->contextMenuPolicy(), Qt::ActionsContextMenu);
    QString offered;
    const auto answer = Answer(f, "ExportChaptersDialog", [&](QFileDialog* dialog) {
        // As with a click on the filter box, the name field no longer has the focus, so the
        // dialog takes the name offered for the chosen format.
        if (QWidget* focused = QApplication::focusWidget())
            focused->clearFocus();
        dialog->selectNameFilter(u"Matroska XML chapters (*.xml)"_qs);
        emit dialog->filterSelected(u"Matroska XML chapters (*.xml)"_qs);
        offered = dialog->selectedFiles().value(0);
        if (auto* names = dialog->findChild<QLineEdit*>(u"ChapterNamesEdit"_qs))
            names->setText(u"Scene %1"_qs);
    });
    // The same entry is in the picture's menu and on Ctrl+E.
    EXPECT_TRUE(f->Picture1->actions().contains(action));
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f));
    QTest::keyClick(f, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(offered, fx.outDir.filePath(u"pal_chapters.xml"_qs));
    const ChapterTextResult back = ReadChapterFile(ReadAll(offered));
    EXPECT_EQ(back.entries, (QStringList{u"00:00:00.000"_qs} + f->Session->Chapters));
    EXPECT_TRUE(ReadAll(offered).contains("<ChapterString>Scene 02</ChapterString>"));
    EXPECT_EQ(f->Session->ChapterNameTemplate, "Scene %1");
    EXPECT_TRUE(fx.messages.messages.empty());
}

// Pictures larger than the picture area are shown whole inside it, at their display aspect when
// asked (a setting kept for the next window); the crop bars follow the shown scale, and saved
// pictures keep the stream's size.
TEST_F(EditorWindow, PicturesAreShownWholeAndAtTheirDisplayAspect) {
    const struct {
        const char* video;
        bool displayAspect;
        QSize shown;
    } rows[] = {
        {"pal.mpg", false, {720, 576}},  {"pal.mpg", true, {720, 540}},
        {"wide.mpg", false, {720, 576}}, {"wide.mpg", true, {720, 405}},
        {"hd.m2v", false, {720, 405}},   {"hd.m2v", true, {720, 405}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.video) + (row.displayAspect ? " aspect" : ""));
        WriteDisplayAspect(!row.displayAspect);
        fx.Prepare(TestVideo(QString::fromLatin1(row.video)));
        GlobalVars().CropGiven = FlagTrue;
        GlobalVars().CropLeft = 16;
        GlobalVars().CropTop = 0;
        GlobalVars().CropRight = 0;
        GlobalVars().CropBottom = 32;
        ASSERT_TRUE(fx.Load());
        f = fx.form.get();
        auto* aspect = f->Picture1->findChild<QAction*>(u"Action_DisplayAspect"_qs);
        ASSERT_TRUE(aspect);
        EXPECT_EQ(aspect->isChecked(), !row.displayAspect);
        aspect->trigger();
        EXPECT_EQ(ReadDisplayAspect(), row.displayAspect);
        const QRect frame = f->Picture1->geometry();
        EXPECT_EQ(frame.size(), row.shown);
        EXPECT_EQ(frame.topLeft(), QPoint(8, 96));
        EXPECT_LT(frame.right(), f->List1->x()) << "nothing drawn over the chapter list";
        const QSize stream(f->Session->MpegLib.FrameInfo.Width,
                           f->Session->MpegLib.FrameInfo.Height);
        EXPECT_EQ(f->Session->Picture().size(), row.shown) << "scaled by the frame source";
        EXPECT_EQ(f->Picture1->scaled(), row.shown != stream);
        EXPECT_EQ(f->Picture_links->width(),
                  std::lround(16.0 * row.shown.width() / stream.width()));
        EXPECT_EQ(f->Picture_unten->geometry().bottom(), frame.bottom());
        EXPECT_EQ(f->Picture_unten->height(),
                  std::lround(32.0 * row.shown.height() / stream.height()));
        f->Session->SaveCurrent();
        const QStringList bitmaps = QDir(fx.outDir.path()).entryList({u"*.bmp"_qs});
        ASSERT_EQ(bitmaps.size(), 1);
        const QImage saved(fx.outDir.filePath(bitmaps.first()));
        EXPECT_EQ(saved.size(), QSize(stream.width() - 16, stream.height() - 32));
        fx.form.reset();
        for (const QString& name : QDir(fx.outDir.path()).entryList(QDir::Files))
            QFile::remove(fx.outDir.filePath(name));
    }
    WriteDisplayAspect(false);
}

} // namespace
