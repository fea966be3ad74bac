#include "editor/MpegLibForm.h"

#include "editor/EventWatch.h"
#include "editor/ListEntries.h"

#include "editor/PositionSlider.h"
#include "editor/Tag.h"
#include "editor/Twips.h"
#include "export/CellTimes.h"
#include "export/SaveNames.h"
#include "shell/GlobalVars.h"
#include "stream/NumberText.h"

#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
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

// While raw stream times are shown the lists take no clicks.
static bool ListsLocked(const MpegLibForm& form) {
    return !form.Check_UseOffset->isHidden() && !form.Check_UseOffset->isChecked();
}

void MpegLibForm::List1_Click() {
    if (ListsLocked(*this))
        return;
    const QString entry = SelectedText(List1);
    if (entry.isEmpty() || !Check_NoChapter->isChecked())
        return;
    // The caption ends in the 12-character timecode of the chapter the image or clip is saved as.
    SetTag(Check_SaveAsZero, entry);
    Check_SaveAsZero->setText(Check_SaveAsZero->text().chopped(12) + entry);
}

void MpegLibForm::List1_DblClick() {
    if (ListsLocked(*this))
        return;
    const QString entry = SelectedText(List1);
    if (!entry.isEmpty())
        GoToTimecode(entry);
}

void MpegLibForm::List2_DblClick() {
    if (ListsLocked(*this))
        return;
    const QString entry = SelectedText(List2);
    if (!entry.isEmpty())
        GoToTimecode(entry);
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
    if (ActiveList != 1) {
        if (QListWidgetItem* item = List2->currentItem(); item && item->isSelected())
            delete List2->takeItem(List2->row(item));
        return;
    }
    const QString entry = SelectedText(List1);
    if (entry.isEmpty())
        return;
    const Global_var_module& g = GlobalVars();
    // The still image, the clip and a clip's index file of that chapter, named as Save current
    // names them; missing ones are fine.
    const auto saved = [&g, &entry](const QString& suffix) {
        return RelocateName(ComposeSaveName(g.VideoFile, entry, false, suffix), g.OutDir);
    };
    const QString clip = saved(QStringLiteral(".vob"));
    for (const QString& file : {saved(QStringLiteral(".bmp")), clip, IndexFileFor(clip)})
        QFile::remove(file);
    RemoveChapterIcon(entry);
    delete List1->takeItem(List1->row(List1->currentItem()));
    RewriteCellTimesAfterDelete(CellTimesPath, EntriesOf(List1));
}

void MpegLibForm::Check_ChapterIcons_Click() {
    if (!Check_ChapterIcons->isChecked()) {
        for (QLabel* icon : Label8)
            icon->hide();
        return;
    }
    if (Tag(Check_ChapterIcons) != u"1") {
        BuildChapterIcons();
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

void MpegLibForm::AddChapterIconFor(const QString& timecode) {
    QLabel* icon = AddChapterIcon();
    SetTag(icon, timecode);
    icon->move(ChapterIconLeft(Slider1->value()), icon->y());
    icon->setVisible(Check_ChapterIcons->isChecked());
}

void MpegLibForm::BuildChapterIcons() {
    ReturnTimecode = Text1->text();
    RemoveChapterIconsFromOne();
    Label8[0]->hide();
    SetTag(Label8[0], QString());
    const QStringList entries = EntriesOf(List1);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QLabel* icon = i == 0 ? Label8[0] : AddChapterIcon();
        // A failed visit has shown its message; the icon goes where the slider stands.
        GoToTimecode(entries[i]);
        icon->move(ChapterIconLeft(Slider1->value()), icon->y());
        SetTag(icon, entries[i]);
        icon->show();
    }
    SetTag(Check_ChapterIcons, QStringLiteral("1"));
    GoToTimecode(ReturnTimecode);
}

void MpegLibForm::RemoveChapterIcon(const QString& timecode) {
    struct Row {
        QString tag;
        int left;
        bool visible;
    };
    // Every other icon is kept, however many chapters there are.
    std::vector<Row> kept;
    for (QLabel* icon : Label8) {
        if (Tag(icon) != timecode)
            kept.push_back({Tag(icon), icon->x(), !icon->isHidden()});
    }
    RemoveChapterIconsFromOne();
    Label8[0]->hide();
    SetTag(Label8[0], QString());
    for (size_t k = 0; k < kept.size(); ++k) {
        QLabel* icon = k == 0 ? Label8[0] : AddChapterIcon();
        icon->move(kept[k].left, icon->y());
        SetTag(icon, kept[k].tag);
        icon->setVisible(kept[k].visible);
    }
}
