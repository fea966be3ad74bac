#include "crop/CropDialog.h"
#include "crop/PictureBox.h"
#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using Margins = QList<int>; // left, top, right, bottom

QString StoredAutoCropVal() {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                       QStringLiteral("OrvelStudio"));
    return settings.value(QStringLiteral("Startup/AutoCropVal")).toString();
}

Margins Record() {
    const Global_var_module& g = GlobalVars();
    return {g.CropLeft, g.CropTop, g.CropRight, g.CropBottom};
}

// A stand-in for the editor: a check box, a PAL-sized picture and four hidden white bars.
class CropDialogTest : public ::testing::Test {
protected:
    QWidget host;
    PictureBox* picture = new PictureBox(&host);
    CropTargets targets{new QCheckBox(&host),  picture,
                        new PictureBox(&host), new PictureBox(&host),
                        new PictureBox(&host), new PictureBox(&host)};
    std::unique_ptr<Crop_Dialog> dialog;

    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        host.resize(800, 700);
        picture->setGeometry(8, 96, 720, 576);
        for (PictureBox* bar : {targets.top, targets.bottom, targets.left, targets.right}) {
            bar->setBackColor(Qt::white);
            bar->hide();
        }
        host.show();
    }
    void TearDown() override { GlobalVars() = Global_var_module{}; }

    void Open(int width, int height, const Margins& m) {
        dialog.reset();
        Global_var_module& g = GlobalVars();
        g.VideoWidth = qint16(width);
        g.VideoHeight = qint16(height);
        g.CropLeft = qint16(m[0]);
        g.CropTop = qint16(m[1]);
        g.CropRight = qint16(m[2]);
        g.CropBottom = qint16(m[3]);
        dialog = std::make_unique<Crop_Dialog>(targets, &host);
        dialog->show();
    }
    QStringList Texts() const {
        return {dialog->Text2->text(), dialog->Text1->text(), dialog->Text3->text(),
                dialog->Text4->text()};
    }
    QStringList Sizes() const {
        return {dialog->Label1->text(), dialog->Label2->text(), dialog->Label5->text()};
    }
};

QStringList AsTexts(const Margins& m) {
    QStringList texts;
    for (int v : m)
        texts << QString::number(v);
    return texts;
}

TEST_F(CropDialogTest, LoadShowsTheRecordsMargins) {
    struct Case {
        int width, height;
        Margins margins;
        QStringList sizes;
        QList<int> values; // HScroll1, VScroll1, HScroll2, VScroll2
        bool cropSup;
    };
    const Case cases[] = {
        {720, 576, {8, 8, 8, 8}, {"704", "560", "1.26"}, {8, 8, 292, 292}, true},
        {720, 480, {0, 16, 2, 4}, {"718", "460", "1.56"}, {0, 16, 298, 296}, true},
        {352, 288, {8, 8, 8, 8}, {"336", "272", "1.24"}, {8, 8, 292, 292}, false},
        {720, 576, {0, 288, 0, 288}, {"720", "0", "ERROR"}, {0, 288, 300, 12}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sizes.join(' ').toStdString());
        targets.checkCrop->setChecked(false);
        Open(c.width, c.height, c.margins);
        EXPECT_TRUE(targets.checkCrop->isChecked());
        EXPECT_EQ(Record(), c.margins);
        EXPECT_EQ(Texts(), AsTexts(c.margins));
        EXPECT_EQ(Sizes(), c.sizes);
        EXPECT_EQ((QList<int>{dialog->HScroll1->value(), dialog->VScroll1->value(),
                              dialog->HScroll2->value(), dialog->VScroll2->value()}),
                  c.values);
        EXPECT_EQ(dialog->Command_CreateCropSUP->isEnabled(), c.cropSup);
        EXPECT_EQ(targets.left->isVisible(), c.margins[0] > 0);
        EXPECT_EQ(targets.top->isVisible(), c.margins[1] > 0);
        EXPECT_EQ(targets.right->isVisible(), c.margins[2] > 0);
        for (PictureBox* bar : {targets.top, targets.bottom, targets.left, targets.right})
            bar->hide();
    }
    EXPECT_EQ(dialog->windowTitle(), "Crop Settings");
    EXPECT_EQ(dialog->Command_SetToOrvel->toolTip(), "Save these settings as Orvel AutoCrop value");
    EXPECT_EQ(dialog->Label0->text(), "Final image size:");
}

TEST_F(CropDialogTest, ScrollBarsSetTheMarginsAndBarsLive) {
    Open(720, 576, {8, 8, 8, 8});
    struct Step {
        QScrollBar* Crop_Dialog::*bar;
        Qt::Key key;
        Margins margins;
        QStringList sizes;
    };
    // One pixel per arrow key, eight per page; the arrows move the thumbs the way they point.
    const Step steps[] = {
        {&Crop_Dialog::HScroll1, Qt::Key_Right, {9, 8, 8, 8}, {"703", "560", "1.26"}},
        {&Crop_Dialog::HScroll2, Qt::Key_Left, {9, 8, 9, 8}, {"702", "560", "1.25"}},
        {&Crop_Dialog::VScroll1, Qt::Key_PageDown, {9, 16, 9, 8}, {"702", "552", "1.27"}},
        {&Crop_Dialog::VScroll2, Qt::Key_PageUp, {9, 16, 9, 16}, {"702", "544", "1.29"}},
        {&Crop_Dialog::HScroll2, Qt::Key_End, {9, 16, 0, 16}, {"711", "544", "1.31"}},
        {&Crop_Dialog::VScroll1, Qt::Key_Home, {9, 0, 0, 16}, {"711", "560", "1.27"}},
    };
    for (const Step& s : steps) {
        QScrollBar* bar = dialog.get()->*s.bar;
        SCOPED_TRACE(bar->objectName().toStdString());
        QTest::keyClick(bar, s.key);
        EXPECT_EQ(Record(), s.margins);
        EXPECT_EQ(Texts(), AsTexts(s.margins));
        EXPECT_EQ(Sizes(), s.sizes);
    }
    EXPECT_FALSE(targets.right->isVisible());
    EXPECT_FALSE(targets.top->isVisible());
    EXPECT_TRUE(targets.left->isVisible());
    EXPECT_EQ(targets.left->geometry(), QRect(8, 96, 9, 576));
    EXPECT_EQ(targets.bottom->geometry(), QRect(8, 656, 720, 16));

    for (auto [button, color] : {std::pair{dialog->Command_Black, QColor(0, 0, 0)},
                                 std::pair{dialog->Command_White, QColor(255, 255, 255)}}) {
        QTest::mouseClick(button, Qt::LeftButton);
        for (PictureBox* bar : {targets.top, targets.bottom, targets.left, targets.right})
            EXPECT_EQ(bar->backColor(), color);
    }
}

TEST_F(CropDialogTest, OversizedMarginsShowNegativeSizesAndKeepTheBarsInside) {
    picture->setGeometry(8, 96, 352, 288);
    Open(352, 308, {8, 8, 8, 8});
    QTest::keyClick(dialog->VScroll1, Qt::Key_End);
    EXPECT_EQ(Record(), (Margins{8, 300, 8, 8}));
    EXPECT_EQ(Sizes(), (QStringList{"336", "0", "ERROR"}));
    EXPECT_EQ(targets.top->geometry(), QRect(8, 96, 352, 288));
    QTest::keyClick(dialog->VScroll2, Qt::Key_Home);
    EXPECT_EQ(Sizes(), (QStringList{"336", "-292", "-1.15"}));
    EXPECT_EQ(targets.bottom->geometry(), QRect(8, 96, 352, 288));

    // Margins outside the bars' range (only the command line gives them): a bar that has to move
    // brings its margin into range, one that stays keeps the margin.
    Open(720, 576, {400, -8, 0, 8});
    EXPECT_EQ(Record(), (Margins{300, -8, 0, 8}));
    EXPECT_EQ(Texts(), (QStringList{"300", "-8", "0", "8"}));
    EXPECT_EQ(Sizes(), (QStringList{"420", "576", "0.73"}));
}

TEST_F(CropDialogTest, SetToOrvelStoresTheTextsAsTheyStand) {
    Open(720, 576, {0, 16, 2, 4});
    QTest::mouseClick(dialog->Command_SetToOrvel, Qt::LeftButton);
    EXPECT_EQ(StoredAutoCropVal(), "0, 16, -2, -4");

    // Typed text is stored as typed but becomes no margin until its bar moves.
    dialog->Text1->selectAll();
    QTest::keyClicks(dialog->Text1, "20");
    dialog->Text4->selectAll();
    QTest::keyClicks(dialog->Text4, "abc");
    QTest::mouseClick(dialog->Command_SetToOrvel, Qt::LeftButton);
    EXPECT_EQ(StoredAutoCropVal(), "0, 20, -2, -abc");
    EXPECT_EQ(Record(), (Margins{0, 16, 2, 4}));
    EXPECT_EQ(Sizes(), (QStringList{"718", "556", "1.29"}));
    QTest::keyClick(dialog->VScroll1, Qt::Key_Down);
    QTest::keyClick(dialog->VScroll2, Qt::Key_Up);
    EXPECT_EQ(Record(), (Margins{0, 17, 2, 5}));
    EXPECT_EQ(Texts(), (QStringList{"0", "17", "2", "5"}));
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
            if (dialog == nullptr)
                return;
            driven = dialog->isModal();
            EXPECT_TRUE(f.Check_Crop->isChecked());
            if (byOk) {
                EXPECT_EQ(dialog->Label5->text(), "1.26");
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
    EXPECT_EQ(Record(), (Margins{8, 16, 0, 8}));
}

} // namespace
