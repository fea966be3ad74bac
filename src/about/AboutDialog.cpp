#include "about/AboutDialog.h"

#include "widgets/Controls.h"
#include "shell/LangStrings.h"

#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int FirstCreditLine = 248;
constexpr int LastCreditLine = 259;
const QColor BackColor(148, 181, 198);

QFont CreditFont() {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setBold(true);
    return font;
}

} // namespace

Dialog_About::Dialog_About(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Dialog_About"));
    setWindowTitle(QStringLiteral("About Cueboard"));
    setModal(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/about/CueboardLogo.png")));
    Image1->setFixedSize(120, 120);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setFont(CreditFont());

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButton_Click(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Image1, 0, Qt::AlignHCenter);
    layout->addWidget(Label1);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Form_Load();
}

QString Dialog_About::CreditText() {
    QString text;
    for (int offset = FirstCreditLine; offset <= LastCreditLine; ++offset) {
        text += LoadLangString(offset) + u'\n';
        const int line = offset - FirstCreditLine + 1;
        if (line == 3 || line == 5 || line == 10)
            text += u'\n';
    }
    return text;
}

void Dialog_About::Form_Load() {
    QPalette colors = palette();
    colors.setColor(QPalette::Window, BackColor);
    setPalette(colors);
    setAutoFillBackground(true);
    Label1->setText(CreditText());
}

void Dialog_About::OKButton_Click() {
    accept();
}

Dialog_About::~Dialog_About() {
    DisconnectControls(this);
}
