#include "editor/MpegLibForm.h"

#include "crop/PictureBox.h"
#include "editor/BusyIndicator.h"
#include "editor/PositionSlider.h"
#include "editor/Tag.h"
#include "editor/Twips.h"
#include "session/EditorSession.h"
#include "session/ShownSize.h"
#include "shell/GlobalVars.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace {

// Chapter icons: 375 x 375 twips at top 1015 twips; the left of a fresh icon is the slider's 0.
constexpr double IconSizeTwips = 375;
constexpr double IconTopTwips = 1015;
constexpr double IconLeftTwips = 195;

// The chapter list makes room for the file-chapter list below it.
constexpr double ShortListHeightTwips = 1875;

// Fills a list box with the session's entries, keeping the current entry when it is still there.
void FillList(QListWidget* list, const QStringList& entries) {
    const QListWidgetItem* current = list->currentItem();
    const QString kept = current && current->isSelected() ? current->text() : QString();
    const QSignalBlocker blocker(list);
    list->clear();
    list->addItems(entries);
    if (kept.isEmpty())
        return;
    const QList<QListWidgetItem*> found = list->findItems(kept, Qt::MatchExactly);
    if (!found.isEmpty())
        list->setCurrentItem(found.first());
}

} // namespace

void MpegLibForm::ConnectSession() {
    Session->SetPictureArea(QSize(PictureAreaWidth, PictureAreaHeight), DisplayAspect);
    connect(Session, &EditorSession::pictureChanged, this, &MpegLibForm::ShowPicture);
    connect(Session, &EditorSession::positionChanged, this, &MpegLibForm::ShowPosition);
    connect(Session, &EditorSession::previewChanged, this, &MpegLibForm::ShowPreview);
    connect(Session, &EditorSession::optionsChanged, this, &MpegLibForm::ShowOptions);
    connect(Session, &EditorSession::chaptersChanged, this, &MpegLibForm::ShowChapters);
    connect(Session, &EditorSession::fileChaptersChanged, this, &MpegLibForm::ShowFileChapters);
    connect(Session, &EditorSession::playingChanged, this, &MpegLibForm::ShowPlaying);
    connect(Session, &EditorSession::captionChanged, this,
            [this] { setWindowTitle(Session->Caption); });
    connect(Session, &EditorSession::busyStarted, this, [this](const QString& what) {
        delete busy_;
        busy_ = new BusyIndicator(this, what);
    });
    connect(Session, &EditorSession::busyProgress, this, [this](qint64 done, qint64 total) {
        if (busy_)
            busy_->Progress(done, total);
    });
    connect(Session, &EditorSession::busyEnded, this, [this] {
        delete busy_;
        busy_ = nullptr;
    });
}

void MpegLibForm::ShowPicture() {
    const QImage& picture = Session->Picture();
    Picture1->setPicture(picture);
    if (!picture.isNull()) {
        // The session hands out pictures larger than the picture area scaled to fit inside it.
        const TVideoFrameInfo& info = Session->MpegLib.FrameInfo;
        const QSize stream(info.Width, info.Height);
        if (Picture1->size() != picture.size() || Picture1->streamSize() != stream) {
            Picture1->setStreamSize(stream);
            Picture1->resize(picture.size());
            PlaceCropBars();
        }
    }
    Picture1->repaint();
}

void MpegLibForm::ConnectPictureMenu() {
    auto* aspect = new QAction(QStringLiteral("Display aspect"), Picture1);
    aspect->setObjectName(QStringLiteral("Action_DisplayAspect"));
    aspect->setCheckable(true);
    aspect->setChecked(DisplayAspect);
    connect(aspect, &QAction::toggled, this, [this](bool on) {
        DisplayAspect = on;
        WriteDisplayAspect(on);
        Session->SetPictureArea(QSize(PictureAreaWidth, PictureAreaHeight), on);
    });
    Picture1->addAction(aspect);
    Picture1->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MpegLibForm::ShowPosition() {
    Text1->setText(Session->ShownTimecode);
    SliderBusy = FlagTrue;
    Slider1->setValue(Session->SliderValue);
    SliderBusy = FlagFalse;
    ShowOptions();
}

void MpegLibForm::ShowOptions() {
    const EditorSession& s = *Session;
    const QSignalBlocker blocks[] = {
        QSignalBlocker(Check_ChapterOnly), QSignalBlocker(Check_NoChapter),
        QSignalBlocker(Check_SaveAsZero),  QSignalBlocker(Check_UseOffset),
        QSignalBlocker(Option_Pics),       QSignalBlocker(Option_Clips),
        QSignalBlocker(Check_Crop),        QSignalBlocker(Check_SingleField),
        QSignalBlocker(Check_ScaleRGB)};
    Check_ChapterOnly->setChecked(s.ChapterOnly);
    Check_NoChapter->setChecked(s.NoChapter);
    Check_SaveAsZero->setChecked(s.SaveAsZero);
    Check_SaveAsZero->setEnabled(s.SaveAsZeroEnabled);
    if (!s.SaveAsCaption.isEmpty())
        Check_SaveAsZero->setText(s.SaveAsCaption);
    SetTag(Check_SaveAsZero, s.SaveAsTarget);
    Check_UseOffset->setChecked(s.UseOffset);
    if (s.OffsetVisible)
        Check_UseOffset->show();
    (s.Clips ? Option_Clips : Option_Pics)->setChecked(true);
    Check_ScaleRGB->setChecked(s.MpegLib.ScaleRgb != FlagFalse);
    if (Text_Sec->text() != s.ClipSecondsText)
        Text_Sec->setText(s.ClipSecondsText);
    const bool held = s.ControlsHeld;
    Option_Pics->setEnabled(s.KindsEnabled && !held);
    Option_Clips->setEnabled(s.KindsEnabled && !held);
    if (!s.SaveCaption.isEmpty())
        Command_SavePic->setText(s.SaveCaption);
    Command_SavePic->setEnabled(s.SaveEnabled());
    Command_CreateChapters->setEnabled(s.CreateEnabled());
    Command_CreateChapters2->setEnabled(s.CreateEnabled());
    Command_CreateChapters3->setEnabled(s.CreateEnabled() && s.FileChaptersShown);
}

void MpegLibForm::ShowChapters() {
    FillList(List1, Session->Chapters);
    // Element 0 of the icons always exists; the others are made for the chapters' marks.
    RemoveChapterIconsFromOne();
    Label8[0]->hide();
    SetTag(Label8[0], QString());
    const bool shown = Check_ChapterIcons->isChecked();
    for (size_t i = 0; i < Session->Marks.size(); ++i) {
        QLabel* icon = i == 0 ? Label8[0] : AddChapterIcon();
        icon->move(ChapterIconLeft(Session->Marks[i].sliderValue), icon->y());
        SetTag(icon, Session->Marks[i].timecode);
        icon->setVisible(shown);
    }
    SetTag(Check_ChapterIcons, Session->IconsBuilt ? QStringLiteral("1") : QStringLiteral("0"));
}

void MpegLibForm::ShowFileChapters() {
    FillList(List2, Session->FileChapters);
    if (Session->FileChaptersShown && List2->isHidden()) {
        List1->resize(List1->width(), TwipsToWholePixelsY(ShortListHeightTwips));
        Label5->show();
        List2->show();
    }
    ShowOptions();
}

void MpegLibForm::ShowPlaying() {
    const bool held = Session->ControlsHeld;
    Command2->setText(held ? QStringLiteral("Pause") : QStringLiteral("Play"));
    Command_NextFrame->setEnabled(!held);
    for (QWidget* control : std::initializer_list<QWidget*>{
             Command4, Command_NextIFrame, Command_StepBack, Check_ScaleRGB, List2, Slider1})
        control->setEnabled(!held);
    // The chapter file controls follow the chapter file's path: a path too long keeps them off.
    const bool chapterFile = !held && Session->PathTooLong == FlagFalse;
    Command_GetChapterFile->setEnabled(chapterFile);
    Command_Delete->setEnabled(chapterFile);
    List1->setEnabled(chapterFile);
    if (held || !Check_UseOffset->isHidden())
        Check_UseOffset->setEnabled(!held);
    ShowOptions();
}

// ---- Chapter icons --------------------------------------------------------------------------

QLabel* MpegLibForm::CreateChapterIcon() {
    auto* icon = MakeControl<QLabel>(this, "Label8", QStringLiteral("\u25C6"));
    const int size = TwipsToWholePixelsX(IconSizeTwips);
    icon->setGeometry(TwipsToWholePixelsX(IconLeftTwips), TwipsToWholePixelsY(IconTopTwips), size,
                      TwipsToWholePixelsY(IconSizeTwips));
    icon->setAlignment(Qt::AlignCenter);
    QFont font = icon->font();
    font.setPixelSize(qMax(1, size * 2 / 3));
    icon->setFont(font);
    icon->hide();
    return icon;
}

QLabel* MpegLibForm::AddChapterIcon() {
    QLabel* icon = CreateChapterIcon();
    icon->setGeometry(Label8.front()->geometry());
    Label8.push_back(icon);
    return icon;
}

void MpegLibForm::RemoveChapterIconsFromOne() {
    while (Label8.size() > 1) {
        delete Label8.back();
        Label8.pop_back();
    }
}
