#include "crop/CropDialog.h"
#include "crop/PictureBox.h"
#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <array>
#include <gtest/gtest.h>
#include <memory>

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

std::array<qint16*, 4> RecordMargins() { // left, top, right, bottom
    Global_var_module& g = GlobalVars();
    return {&g.CropLeft, &g.CropTop, &g.CropRight, &g.CropBottom};
}

QString Record() {
    QStringList margins;
    for (const qint16* margin : RecordMargins())
        margins << QString::number(*margin);
    return margins.join(u' ');
}

// A stand-in for the editor: a check box, a picture at (8, 96) and four hidden white bars.
class CropDialogTest : public ::testing::Test {
protected:
    QWidget host;
    CropTargets targets{new QCheckBox(&host),  new PictureBox(&host), new PictureBox(&host),
                        new PictureBox(&host), new PictureBox(&host), new PictureBox(&host)};
    const std::vector<PictureBox*> bars{targets.left, targets.top, targets.right, targets.bottom};
    std::unique_ptr<Crop_Dialog> dialog;

    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        host.resize(800, 700);
        host.show();
    }
    void TearDown() override { GlobalVars() = Global_var_module{}; }

    void Open(QSize picture, QSize video, const QString& margins) {
        dialog.reset();
        targets.checkCrop->setChecked(false);
        targets.picture->setGeometry(QRect(QPoint(8, 96), picture));
        for (PictureBox* bar : bars)
            bar->hide();
        Global_var_module& g = GlobalVars();
        g.VideoWidth = qint16(video.width());
        g.VideoHeight = qint16(video.height());
        for (int i = 0; i < 4; ++i)
            *RecordMargins()[i] = qint16(margins.split(u' ')[i].toInt());
        dialog = std::make_unique<Crop_Dialog>(targets, &host);
        dialog->show();
    }
    // The record and the margin texts hold `margins`, a bar shows where its margin is above 0,
    // and the final "width height aspect" is `sizes`.
    void Check(const QString& margins, const QString& sizes) {
        EXPECT_EQ(Record(), margins);
        const Crop_Dialog& d = *dialog;
        EXPECT_EQ((QStringList{d.Text2->text(), d.Text1->text(), d.Text3->text(), d.Text4->text()})
                      .join(u' '),
                  margins);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(bars[i]->isVisible(), margins.split(u' ')[i].toInt() > 0) << "bar " << i;
        EXPECT_EQ((QStringList{d.Label1->text(), d.Label2->text(), d.Label5->text()}).join(u' '),
                  sizes);
    }
};

// Margins outside the bars' range (only the command line gives them): a bar that has to move
// brings its margin into range, one that stays keeps the margin.
TEST_F(CropDialogTest, LoadShowsTheRecordsMargins) {
    const struct {
        QSize video;
        const char *given, *shown, *sizes;
        QList<int> values; // HScroll1, VScroll1, HScroll2, VScroll2
        bool cropSup;
    } cases[] = {
        // clang-format off
        {{720, 576}, "8 8 8 8", "8 8 8 8", "704 560 1.26", {8, 8, 292, 292}, true},
        {{720, 480}, "0 16 2 4", "0 16 2 4", "718 460 1.56", {0, 16, 298, 296}, true},
        {{352, 288}, "8 8 8 8", "8 8 8 8", "336 272 1.24", {8, 8, 292, 292}, false},
        {{720, 576}, "0 288 0 288", "0 288 0 288", "720 0 ERROR", {0, 288, 300, 12}, true},
        {{720, 576}, "400 -8 0 8", "300 -8 0 8", "420 576 0.73", {300, 0, 300, 292}, true},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        Open({720, 576}, c.video, c.given);
        EXPECT_TRUE(targets.checkCrop->isChecked());
        Check(c.shown, c.sizes);
        EXPECT_EQ((QList<int>{dialog->HScroll1->value(), dialog->VScroll1->value(),
                              dialog->HScroll2->value(), dialog->VScroll2->value()}),
                  c.values);
        EXPECT_EQ(dialog->Command_CreateCropSUP->isEnabled(), c.cropSup);
    }
}

// One pixel per arrow key, eight per page; the arrows move the thumbs the way they point.
TEST_F(CropDialogTest, ScrollBarsSetTheMarginsAndBarsLive) {
    Open({720, 576}, {720, 576}, "8 8 8 8");
    const struct {
        QScrollBar* Crop_Dialog::*bar;
        Qt::Key key;
        const char *margins, *sizes;
    } steps[] = {
        // clang-format off
        {&Crop_Dialog::HScroll1, Qt::Key_Right, "9 8 8 8", "703 560 1.26"},
        {&Crop_Dialog::HScroll2, Qt::Key_Left, "9 8 9 8", "702 560 1.25"},
        {&Crop_Dialog::VScroll1, Qt::Key_PageDown, "9 16 9 8", "702 552 1.27"},
        {&Crop_Dialog::VScroll2, Qt::Key_PageUp, "9 16 9 16", "702 544 1.29"},
        {&Crop_Dialog::HScroll2, Qt::Key_End, "9 16 0 16", "711 544 1.31"},
        {&Crop_Dialog::VScroll1, Qt::Key_Home, "9 0 0 16", "711 560 1.27"},
        // clang-format on
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.margins);
        QTest::keyClick(dialog.get()->*s.bar, s.key);
        Check(s.margins, s.sizes);
    }
    EXPECT_EQ(targets.left->geometry(), QRect(8, 96, 9, 576));
    EXPECT_EQ(targets.bottom->geometry(), QRect(8, 656, 720, 16));
    for (const QColor color : {QColor(0, 0, 0), QColor(255, 255, 255)}) {
        QTest::mouseClick(color == Qt::black ? dialog->Command_Black : dialog->Command_White,
                          Qt::LeftButton);
        for (PictureBox* bar : bars)
            EXPECT_EQ(bar->backColor(), color);
    }
}

TEST_F(CropDialogTest, OversizedMarginsShowNegativeSizesAndKeepTheBarsInside) {
    Open({352, 288}, {352, 308}, "8 8 8 8");
    QTest::keyClick(dialog->VScroll1, Qt::Key_End);
    Check("8 300 8 8", "336 0 ERROR");
    EXPECT_EQ(targets.top->geometry(), QRect(8, 96, 352, 288));
    QTest::keyClick(dialog->VScroll2, Qt::Key_Home);
    Check("8 300 8 300", "336 -292 -1.15");
    EXPECT_EQ(targets.bottom->geometry(), QRect(8, 96, 352, 288));
}

TEST_F(CropDialogTest, SetToOrvelStoresTheTextsAsTheyStand) {
    const auto stored = [] {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, "OrvelStudio")
            .value("Startup/AutoCropVal")
            .toString();
    };
    Open({720, 576}, {720, 576}, "0 16 2 4");
    QTest::mouseClick(dialog->Command_SetToOrvel, Qt::LeftButton);
    EXPECT_EQ(stored(), "0, 16, -2, -4");

    // Typed text is stored as typed but becomes no margin until its bar moves.
    dialog->Text1->selectAll();
    QTest::keyClicks(dialog->Text1, "20");
    dialog->Text4->selectAll();
    QTest::keyClicks(dialog->Text4, "abc");
    QTest::mouseClick(dialog->Command_SetToOrvel, Qt::LeftButton);
    EXPECT_EQ(stored(), "0, 20, -2, -abc");
    EXPECT_EQ(Record(), "0 16 2 4");
    QTest::keyClick(dialog->VScroll1, Qt::Key_Down);
    QTest::keyClick(dialog->VScroll2, Qt::Key_Up);
    Check("0 17 2 5", "718 554 1.30");
}

TEST(CropDialogInEditor, OpensModallyAndKeepsTheMarginsWhenClosed) {
    QLocale::setDefault(QLocale::c());
    EditorFixture fx;
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
    MpegLibForm& f = *fx.form;
    f.show();
    ASSERT_FALSE(f.Check_Crop->isChecked());
    const QRect frame = f.Picture1->geometry();
    // Closed by OK the first time, by the window frame the second.
    for (bool byOk : {true, false}) {
        bool driven = false;
        QTimer::singleShot(0, &f, [&] {
            auto* dialog = f.findChild<Crop_Dialog*>();
            ASSERT_NE(dialog, nullptr);
            driven = dialog->isModal();
            EXPECT_TRUE(f.Check_Crop->isChecked());
            if (byOk) {
                for (PictureBox* bar :
                     {f.Picture_oben, f.Picture_unten, f.Picture_links, f.Picture_rechts})
                    EXPECT_TRUE(bar->isVisible()) << bar->objectName().toStdString();
                EXPECT_EQ(f.Picture_rechts->geometry(),
                          QRect(frame.right() - 7, frame.top(), 8, frame.height()));
                QTest::keyClick(dialog->HScroll2, Qt::Key_End);
                EXPECT_FALSE(f.Picture_rechts->isVisible());
                QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
            } else {
                QTest::keyClick(dialog->VScroll1, Qt::Key_PageDown);
                EXPECT_EQ(f.Picture_oben->geometry(), QRect(frame.topLeft(), QSize(720, 16)));
                dialog->close();
            }
        });
        QTest::mouseClick(f.Command_CropDialog, Qt::LeftButton);
        EXPECT_TRUE(driven);
        EXPECT_EQ(f.findChild<Crop_Dialog*>(), nullptr);
    }
    EXPECT_EQ(Record(), "8 16 0 8");
}

} // namespace
