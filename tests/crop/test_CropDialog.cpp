#include "crop/CropDialog.h"
#include "crop/PictureBox.h"
#include "shell/GlobalVars.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
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

} // namespace
