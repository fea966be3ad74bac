#include "about/AboutDialog.h"
#include "chooser/ChooserWindow.h"
#include "editor/MpegLibForm.h"
#include "shell/LangStrings.h"
#include "support/ShowWatcher.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(AboutTest, CreditLinesComeInGroupsOfThreeTwoFiveTwoInEitherLanguage) {
    QStringList secondLines; // the first one is the program's name
    for (const qint32 langBase : {1000, 2000}) {
        SetLangBase(langBase);
        QStringList expected;
        int offset = 248;
        for (const int size : {3, 2, 5, 2}) {
            for (int i = 0; i < size; ++i)
                expected << LoadLangString(langBase, offset++);
            expected << QString(); // the empty line after a group, or the end of the last line
        }
        Dialog_About about;
        EXPECT_EQ(about.Label1->text().split(u'\n'), expected) << langBase;
        secondLines << expected[1];
    }
    SetLangBase(1000);
    EXPECT_NE(secondLines[0], secondLines[1]) << "both languages show the same text";
}

TEST(AboutTest, ShowsTheWholeCreditAndTheLogoOnTheBlueGreyBackground) {
    Dialog_About about;
    EXPECT_EQ(about.Image1->pixmap().size(), QSize(120, 120)) << "logo resource not found";
    about.show();
    // What the user sees, not just the palette: the corners of the painted window.
    const QImage shot = about.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(1, 1)), QColor(148, 181, 198));
    EXPECT_EQ(QColor(shot.pixel(shot.width() - 2, shot.height() - 2)), QColor(148, 181, 198));
    EXPECT_GE(about.Label1->height(), about.Label1->sizeHint().height());
    EXPECT_GE(about.Label1->width(), about.Label1->sizeHint().width());
}

// Opened by a window's About button, the box is modal over that window and OK closes it.
void ExpectModalOver(QWidget* opener, QPushButton* button) {
    opener->show();
    const QWidget* parent = nullptr;
    bool shownModally = false;
    ShowWatcher<Dialog_About> watcher([&](Dialog_About* about) {
        parent = about->parentWidget();
        // Once the box runs its own event loop.
        QTimer::singleShot(0, about, [&, about] {
            shownModally = QApplication::activeModalWidget() == about;
            QTest::mouseClick(about->OKButton, Qt::LeftButton);
        });
    });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(watcher.shown, 1);
    EXPECT_EQ(parent, opener);
    EXPECT_TRUE(shownModally);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the box is still open";
    EXPECT_TRUE(opener->isVisible());
}

TEST(AboutTest, TheEditorsAndTheChoosersAboutButtonOpenTheBox) {
    MpegLibForm editor;
    ExpectModalOver(&editor, editor.Command1);
    frmTest chooser;
    ExpectModalOver(&chooser, chooser.Command3);
}

} // namespace
