#include "about/AboutDialog.h"
#include "editor/MpegLibForm.h"
#include "shell/LangStrings.h"

#include "support/ShowWatcher.h"
#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include <gtest/gtest.h>

namespace {

// Once the box runs its own event loop: notes whether it is the modal window, then clicks OK.
void ClickOkLater(Dialog_About* about, bool* shownModally) {
    QTimer::singleShot(0, about, [about, shownModally] {
        *shownModally = QApplication::activeModalWidget() == about;
        QTest::mouseClick(about->OKButton, Qt::LeftButton);
    });
}

class AboutTest : public ::testing::Test {
protected:
    void TearDown() override { SetLangBase(1000); }
};

TEST_F(AboutTest, CreditLinesComeInGroupsOfThreeTwoFiveTwoInBothLanguages) {
    const int groups[] = {3, 2, 5, 2};
    QString firstEnglishLine;
    for (const qint32 langBase : {1000, 2000}) {
        SetLangBase(langBase);
        QStringList expected;
        int offset = 248;
        for (const int size : groups) {
            for (int i = 0; i < size; ++i)
                expected << LoadLangString(langBase, offset++);
            expected << QString(); // the empty line after a group, or the end of the last line
        }
        ASSERT_EQ(offset, 260);

        Dialog_About about;
        const QStringList lines = about.Label1->text().split(u'\n');
        EXPECT_EQ(lines, expected) << "language base " << langBase;
        for (int i = 0; i < 12; ++i) {
            EXPECT_TRUE(about.Label1->text().contains(LoadLangString(langBase, 248 + i)))
                << "credit line " << i + 1 << " missing, language base " << langBase;
        }
        if (langBase == 1000)
            firstEnglishLine = lines.value(1);
        else
            EXPECT_NE(lines.value(1), firstEnglishLine) << "German box shows the English text";
    }
}

TEST_F(AboutTest, ShowsTheLogoOnTheBlueGreyBackground) {
    Dialog_About about;
    EXPECT_EQ(about.windowTitle(), "About Cueboard");
    EXPECT_EQ(about.objectName(), "Dialog_About");

    const QPixmap logo = about.Image1->pixmap();
    ASSERT_FALSE(logo.isNull()) << "logo resource not found";
    EXPECT_EQ(logo.size(), QSize(120, 120));
    EXPECT_EQ(about.Image1->size(), QSize(120, 120));

    const QFont font = about.Label1->font();
    EXPECT_TRUE(font.bold());
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 8.25);
    EXPECT_EQ(font.styleHint(), QFont::SansSerif);

    // What the user sees, not just the palette: the corner of the painted window.
    about.show();
    const QImage shot = about.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(QColor(shot.pixel(1, 1)), QColor(148, 181, 198));
    EXPECT_EQ(QColor(shot.pixel(shot.width() - 2, shot.height() - 2)), QColor(148, 181, 198));
    // The whole credit text fits the box.
    EXPECT_GE(about.Label1->height(), about.Label1->sizeHint().height());
    EXPECT_GE(about.Label1->width(), about.Label1->sizeHint().width());
}

TEST_F(AboutTest, OkClosesTheModalBox) {
    Dialog_About about;
    EXPECT_EQ(about.OKButton->text(), "OK");
    bool shownModally = false;
    ShowWatcher<Dialog_About> watcher(
        [&](Dialog_About* shown) { ClickOkLater(shown, &shownModally); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
    EXPECT_EQ(watcher.shown, 1);
    EXPECT_TRUE(shownModally);
    EXPECT_FALSE(about.isVisible());
}

TEST_F(AboutTest, EditorAboutButtonOpensTheBoxOverTheEditor) {
    MpegLibForm editor;
    editor.show();
    QPointer<QWidget> parent;
    bool shownModally = false;
    ShowWatcher<Dialog_About> watcher([&](Dialog_About* about) {
        parent = about->parentWidget();
        ClickOkLater(about, &shownModally);
    });
    QTest::mouseClick(editor.Command1, Qt::LeftButton);
    EXPECT_EQ(watcher.shown, 1);
    EXPECT_EQ(parent, &editor);
    EXPECT_TRUE(shownModally);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the box is still open";
}

} // namespace
