#include "crop/CropDialog.h"

#include "crop/CropSettings.h"
#include "crop/CropSup.h"
#include "crop/PictureBox.h"
#include "widgets/Controls.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

// One pixel per arrow click, eight per click beside the thumb: crop margins usually come in
// multiples of eight.
constexpr int SmallStep = 1;
constexpr int LargeStep = 8;
constexpr int MarginTextWidth = 44;
constexpr int ScrollBarLength = 120;

// Qt's horizontal scroll bar steps its value down on the right arrow key (its controls are
// inverted to suit the mouse wheel); here the arrow keys move the thumb the way they point.
class MarginScrollBar : public QScrollBar {
public:
    MarginScrollBar(Qt::Orientation orientation, QWidget* parent)
        : QScrollBar(orientation, parent) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        if (orientation() == Qt::Horizontal && (key == Qt::Key_Left || key == Qt::Key_Right)) {
            const bool towardsMaximum = (key == Qt::Key_Right) != isRightToLeft();
            triggerAction(towardsMaximum ? SliderSingleStepAdd : SliderSingleStepSub);
            event->accept();
            return;
        }
        QScrollBar::keyPressEvent(event);
    }
};

QScrollBar* MakeMarginBar(QWidget* parent, const char* name, Qt::Orientation orientation,
                          bool reversed) {
    QScrollBar* bar = new MarginScrollBar(orientation, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, CropBarMaximum);
    bar->setSingleStep(SmallStep);
    bar->setPageStep(LargeStep);
    // Every bar starts at "no margin": the load step then runs the change handling of each bar
    // whose margin is not 0.
    bar->setValue(reversed ? CropBarMaximum : 0);
    if (orientation == Qt::Horizontal)
        bar->setMinimumWidth(ScrollBarLength);
    else
        bar->setMinimumHeight(ScrollBarLength * 2 / 3);
    return bar;
}

QLineEdit* MakeMarginText(QWidget* parent, const char* name) {
    auto* text = MakeControl<QLineEdit>(parent, name);
    text->setFixedWidth(MarginTextWidth);
    text->setAlignment(Qt::AlignCenter);
    return text;
}

} // namespace

struct Crop_Dialog::MarginControls {
    QScrollBar* bar;
    QLineEdit* text;
    bool reversed;
    qint16& margin;
};

Crop_Dialog::Crop_Dialog(const CropTargets& targets, QWidget* parent)
    : QDialog(parent), targets_(targets) {
    setObjectName(QStringLiteral("Crop_Dialog"));
    setModal(true);
    CreateControls();
    LayOut();
    Connect();
    Form_Load();
}

Crop_Dialog::MarginControls Crop_Dialog::Controls(CropSide side) const {
    Global_var_module& g = GlobalVars();
    switch (side) {
    case CropSide::Left:
        return {HScroll1, Text2, false, g.CropLeft};
    case CropSide::Top:
        return {VScroll1, Text1, false, g.CropTop};
    case CropSide::Right:
        return {HScroll2, Text3, true, g.CropRight};
    case CropSide::Bottom:
        return {VScroll2, Text4, true, g.CropBottom};
    }
    Q_UNREACHABLE();
}

void Crop_Dialog::CreateControls() {
    Command_Black = MakeControl<QPushButton>(this, "Command_Black");
    Command_White = MakeControl<QPushButton>(this, "Command_White");
    Command_SetToOrvel =
        MakeControl<QPushButton>(this, "Command_SetToOrvel", QStringLiteral("--> Orvel"));
    Command_CreateCropSUP =
        MakeControl<QPushButton>(this, "Command_CreateCropSUP", QStringLiteral("Create CropSUP"));
    Command_CreateCropSUP->setEnabled(false);
    OKButton = MakeControl<QPushButton>(this, "OKButton", QStringLiteral("OK"));
    OKButton->setDefault(true);

    Label0 = MakeControl<QLabel>(this, "Label0");
    Label1 = MakeControl<QLabel>(this, "Label1");
    Label2 = MakeControl<QLabel>(this, "Label2");
    Label4 = MakeControl<QLabel>(this, "Label4", QStringLiteral("Aspect:"));
    Label5 = MakeControl<QLabel>(this, "Label5");

    Text1 = MakeMarginText(this, "Text1");
    Text2 = MakeMarginText(this, "Text2");
    Text3 = MakeMarginText(this, "Text3");
    Text4 = MakeMarginText(this, "Text4");

    HScroll1 = MakeMarginBar(this, "HScroll1", Qt::Horizontal, false);
    HScroll2 = MakeMarginBar(this, "HScroll2", Qt::Horizontal, true);
    VScroll1 = MakeMarginBar(this, "VScroll1", Qt::Vertical, false);
    VScroll2 = MakeMarginBar(this, "VScroll2", Qt::Vertical, true);
}

// Arranged like the picture: the top margin above, the bottom one below, left and right at the
// sides, the resulting size in a frame in the middle and the buttons underneath.
void Crop_Dialog::LayOut() {
    auto* picture = new QFrame(this);
    picture->setFrameStyle(QFrame::Box | QFrame::Plain);
    auto* size = new QGridLayout(picture);
    size->addWidget(Label0, 0, 0, 1, 3, Qt::AlignHCenter);
    size->addWidget(Label1, 1, 0, Qt::AlignRight);
    size->addWidget(new QLabel(QStringLiteral("x"), picture), 1, 1, Qt::AlignHCenter);
    size->addWidget(Label2, 1, 2, Qt::AlignLeft);
    size->addWidget(Label4, 2, 0, Qt::AlignRight);
    size->addWidget(Label5, 2, 1, 1, 2, Qt::AlignLeft);

    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(Text1, 0, Qt::AlignBottom);
    top->addWidget(VScroll1);
    top->addStretch();

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(Text4, 0, Qt::AlignTop);
    bottom->addWidget(VScroll2);
    bottom->addStretch();

    auto* grid = new QGridLayout;
    grid->addLayout(top, 0, 2);
    grid->addWidget(Text2, 1, 0);
    grid->addWidget(HScroll1, 1, 1);
    grid->addWidget(picture, 1, 2);
    grid->addWidget(HScroll2, 1, 3);
    grid->addWidget(Text3, 1, 4);
    grid->addLayout(bottom, 2, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command_Black);
    buttons->addWidget(Command_White);
    buttons->addSpacing(12);
    buttons->addWidget(Command_SetToOrvel);
    buttons->addWidget(Command_CreateCropSUP);
    buttons->addStretch();
    buttons->addWidget(OKButton);

    auto* whole = new QVBoxLayout(this);
    whole->addLayout(grid);
    whole->addSpacing(8);
    whole->addLayout(buttons);
    whole->setSizeConstraint(QLayout::SetFixedSize);
}

void Crop_Dialog::Connect() {
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });
    connect(HScroll2, &QScrollBar::valueChanged, this, [this] { HScroll2_Change(); });
    connect(VScroll1, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });
    connect(VScroll2, &QScrollBar::valueChanged, this, [this] { VScroll2_Change(); });
    connect(Command_Black, &QPushButton::clicked, this, [this] { Command_Black_Click(); });
    connect(Command_White, &QPushButton::clicked, this, [this] { Command_White_Click(); });
    connect(Command_SetToOrvel, &QPushButton::clicked, this,
            [this] { Command_SetToOrvel_Click(); });
    connect(Command_CreateCropSUP, &QPushButton::clicked, this,
            [this] { Command_CreateCropSUP_Click(); });
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButton_Click(); });
}

void Crop_Dialog::Form_Load() {
    Global_var_module& g = GlobalVars();
    setWindowTitle(LoadLangString(239));
    Command_Black->setText(LoadLangString(240));
    Command_White->setText(LoadLangString(241));
    Command_SetToOrvel->setToolTip(LoadLangString(242));
    Label0->setText(LoadLangString(243));

    // The editor's handler of the check box shows the bars.
    if (targets_.checkCrop != nullptr)
        targets_.checkCrop->setChecked(true);

    Text1->setText(QString::number(g.CropTop));
    Text2->setText(QString::number(g.CropLeft));
    Text3->setText(QString::number(g.CropRight));
    Text4->setText(QString::number(g.CropBottom));

    // A margin outside 0..300 (only the command line can give one) puts the thumb at the end; if
    // that moves the bar, its change handling brings the margin into the bar's range.
    for (CropSide side : {CropSide::Left, CropSide::Top, CropSide::Right, CropSide::Bottom}) {
        const MarginControls c = Controls(side);
        c.bar->setValue(BarValueOfMargin(c.margin, c.reversed));
    }

    ShowFinalSize();
    Command_CreateCropSUP->setEnabled(CropSupAvailable(g.VideoHeight));
}

void Crop_Dialog::MarginBar_Change(CropSide side) {
    const MarginControls c = Controls(side);
    const int margin = MarginOfBar(c.bar->value(), c.reversed);
    PictureBox* bar = CropBar(targets_, side);
    if (margin == 0) {
        c.text->setText(QStringLiteral("0"));
        if (bar != nullptr)
            bar->hide();
    } else {
        c.text->setText(QString::number(margin));
        PlaceCropBar(targets_, side, margin);
        if (bar != nullptr)
            bar->show();
    }
    c.margin = MarginFromText(c.text->text(), c.margin);
    ShowFinalSize();
}

void Crop_Dialog::ShowFinalSize() {
    const Global_var_module& g = GlobalVars();
    const int width = FinalWidth(g.VideoWidth, g.CropLeft, g.CropRight);
    const int height = FinalHeight(g.VideoHeight, g.CropTop, g.CropBottom);
    Label1->setText(QString::number(width));
    Label2->setText(QString::number(height));
    // The program's locale gives the decimal separator.
    Label5->setText(AspectText(width, height, QLocale()));
}

void Crop_Dialog::HScroll1_Change() {
    MarginBar_Change(CropSide::Left);
}
void Crop_Dialog::HScroll2_Change() {
    MarginBar_Change(CropSide::Right);
}
void Crop_Dialog::VScroll1_Change() {
    MarginBar_Change(CropSide::Top);
}
void Crop_Dialog::VScroll2_Change() {
    MarginBar_Change(CropSide::Bottom);
}

void Crop_Dialog::Command_Black_Click() {
    SetCropBarColor(targets_, QColor(0, 0, 0));
}
void Crop_Dialog::Command_White_Click() {
    SetCropBarColor(targets_, QColor(255, 255, 255));
}

void Crop_Dialog::Command_SetToOrvel_Click() {
    WriteAutoCropVal(AutoCropValText(Text2->text(), Text1->text(), Text3->text(), Text4->text()));
}

void Crop_Dialog::Command_CreateCropSUP_Click() {
    // The file lies beside the video; the button shows no message either way.
    const Global_var_module& g = GlobalVars();
    WriteCropSup(CropSupPath(g.VideoFile), g.VideoHeight, g.DurationSeconds, g.CropTop,
                 g.CropBottom);
}

void Crop_Dialog::OKButton_Click() {
    accept();
}

Crop_Dialog::~Crop_Dialog() {
    DisconnectControls(this);
}
