#include "editor/MpegLibForm.h"

#include "editor/EventWatch.h"
#include "editor/Tag.h"
#include "editor/Twips.h"
#include "session/EditorSession.h"
#include "stream/NumberText.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {

constexpr double IconBaseTwips = 195;
constexpr double IconSpanTwips = 12450;

QString SelectedText(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

} // namespace

void MpegLibForm::ConnectChapterList() {
    connect(List1, &QListWidget::itemClicked, this, [this] { List1_Click(); });
    connect(List1, &QListWidget::itemDoubleClicked, this, [this] { List1_DblClick(); });
    connect(List2, &QListWidget::itemDoubleClicked, this, [this] { List2_DblClick(); });
    new EventWatch(List1, QEvent::FocusIn, [this](int) { List1_GotFocus(); });
    new EventWatch(List2, QEvent::FocusIn, [this](int) { List2_GotFocus(); });
    connect(Command_Delete, &QPushButton::clicked, this, [this] { Command_Delete_Click(); });
    connect(Check_ChapterIcons, &QCheckBox::stateChanged, this,
            [this] { Check_ChapterIcons_Click(); });
}

void MpegLibForm::List1_Click() {
    Session->SelectChapter(SelectedText(List1));
}

void MpegLibForm::List1_DblClick() {
    Session->VisitChapter(SelectedText(List1));
}

void MpegLibForm::List2_DblClick() {
    Session->VisitChapter(SelectedText(List2));
}

void MpegLibForm::List1_GotFocus() {
    ActiveList = 1;
    List2->clearSelection();
    List2->setCurrentItem(nullptr);
}

void MpegLibForm::List2_GotFocus() {
    ActiveList = 2;
    List1->clearSelection();
    List1->setCurrentItem(nullptr);
}

void MpegLibForm::Command_Delete_Click() {
    if (ActiveList != 1)
        Session->DeleteFileChapter(SelectedText(List2));
    else
        Session->DeleteChapter(SelectedText(List1));
}

void MpegLibForm::Check_ChapterIcons_Click() {
    if (!Check_ChapterIcons->isChecked()) {
        for (QLabel* icon : Label8)
            icon->hide();
        return;
    }
    if (!Session->IconsBuilt) {
        Session->BuildChapterIcons();
        return;
    }
    // Only icons that stand for a chapter are shown (element 0 may be unused).
    for (QLabel* icon : Label8)
        icon->setVisible(!Tag(icon).isEmpty());
}

int MpegLibForm::ChapterIconLeft(int sliderValue) const {
    const double twips = IconBaseTwips + RoundHalfEven(sliderValue / 32000.0 * IconSpanTwips);
    return TwipsToWholePixelsX(twips);
}
