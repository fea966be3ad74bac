#include "editor/MpegLibForm.h"

#include "crop/PictureBox.h"
#include "editor/BusyIndicator.h"
#include "editor/PositionSlider.h"
#include "editor/Twips.h"
#include "session/EditorSession.h"
#include "shell/GlobalVars.h"
#include "widgets/Controls.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

// The window before the editor start places it again.
constexpr QRect WindowGeometry(80, 25, 885, 700);

template <class T> T* Place(T* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, width, height);
    return widget;
}

QFont PointSmaller(const QWidget* widget, int points) {
    QFont font = widget->font();
    font.setPointSize(font.pointSize() - points);
    return font;
}

// The GOP steps carry heavy arrows, a few points larger so that they read as symbols.
QFont BoldSymbol(const QWidget* widget) {
    QFont font = widget->font();
    font.setBold(true);
    font.setPointSize(font.pointSize() + 3);
    return font;
}

PictureBox* HiddenPictureBox(QWidget* parent, const char* name, QColor color) {
    auto* box = MakeControl<PictureBox>(parent, name);
    box->setBackColor(color);
    box->setFocusPolicy(Qt::NoFocus);
    box->hide();
    return box;
}

QListWidget* SortedList(QWidget* parent, const char* name) {
    auto* list = MakeControl<QListWidget>(parent, name);
    list->setSortingEnabled(true);
    return list;
}

} // namespace

// Creation order is stacking order: where the fixed places make two controls overlap, the one
// that has to stay clickable or visible is created later (the crop dialog button over the crop
// box, the icon box over the list caption, the option and check boxes over the slider's margin).
MpegLibForm::MpegLibForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MpegLibForm"));
    setWindowTitle(QStringLiteral("Chapter Editor"));
    setGeometry(WindowGeometry);

    CreatePictures();
    Slider1 = MakeControl<PositionSlider>(this, "Slider1");
    CreateChapterPanel();
    CreateTopRow();
    CreateListPanel();

    // Crop bars over the edges of the picture, white until the crop dialog says otherwise.
    const QRect frame = Picture1->geometry();
    Picture_oben = Place(HiddenPictureBox(this, "Picture_oben", Qt::white), frame.left(),
                         frame.top(), frame.width(), 8);
    Picture_unten = Place(HiddenPictureBox(this, "Picture_unten", Qt::white), frame.left(),
                          frame.bottom() + 1 - 8, frame.width(), 8);
    Picture_links = Place(HiddenPictureBox(this, "Picture_links", Qt::white), frame.left(),
                          frame.top(), 8, frame.height());
    Picture_rechts = Place(HiddenPictureBox(this, "Picture_rechts", Qt::white),
                           frame.right() + 1 - 8, frame.top(), 8, frame.height());

    Text3 = Place(MakeControl<QLineEdit>(this, "Text3", QStringLiteral("00:00:00")), 8, 27, 64, 19);
    Text3->setReadOnly(true);
    Text3->setAlignment(Qt::AlignCenter);
    Text3->setFocusPolicy(Qt::NoFocus);
    Text3->hide();

    Label8.push_back(CreateChapterIcon());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(false);

    // A dialog's buttons would otherwise answer the Enter key: Enter in a text box must not start
    // a chapter run that replaces the list.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);

    ArrangeControls();

    Session = new EditorSession(GlobalVars(), this);
    ConnectSession();

    ConnectNavigation();
    ConnectSaveOptions();
    ConnectCrop();
    ConnectChapterList();
    ConnectChapterExport();
    ConnectSaveCurrent();
    ConnectChapterCreation();
    ConnectChapterImport();
    ConnectPlayback();
    ConnectKeys();
    ConnectPictureMenu();
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
}

MpegLibForm::~MpegLibForm() {
    DisconnectControls(this);
    Session->disconnect(this);
    delete busy_;
}

void MpegLibForm::keyPressEvent(QKeyEvent* event) {
    // Escape would reject the dialog without a close event and so skip the closing questions;
    // the editor closes only through close().
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MpegLibForm::closeEvent(QCloseEvent* event) {
    bool cancel = false;
    Form_QueryUnload(cancel);
    if (cancel) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void MpegLibForm::CreatePictures() {
    // The frame view takes the focus so that the arrow keys step through the video; its size
    // follows the opened video (a PAL picture until then).
    Picture1 = Place(MakeControl<PictureBox>(this, "Picture1"), 8, 96, PictureAreaWidth,
                     PictureAreaHeight);
    Picture2 = Place(HiddenPictureBox(this, "Picture2", Qt::black), 536, 24, 9, 9);
    Picture3 = Place(HiddenPictureBox(this, "Picture3", Qt::black), 548, 24, 9, 9);
}

void MpegLibForm::CreateChapterPanel() {
    Shape1 = MakeControl<QFrame>(this, "Shape1");
    Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape1->setLineWidth(1);
    Shape1->setAttribute(Qt::WA_TransparentForMouseEvents);

    Label4 = MakeControl<QLabel>(
        this, "Label4", QStringLiteral("Automatic  creation WARNING: Deletes old Chapter List"));
    Label4->setWordWrap(true);
    Label4->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    Frame1 = MakeControl<QGroupBox>(this, "Frame1", QStringLiteral("Create # Chapters"));
    Label6 = Place(MakeControl<QLabel>(Frame1, "Label6", QStringLiteral("Create")), 5, 24, 40, 17);
    Text_NumChap =
        Place(MakeControl<QLineEdit>(Frame1, "Text_NumChap", QStringLiteral("10")), 46, 22, 24, 19);
    Label7 =
        Place(MakeControl<QLabel>(Frame1, "Label7", QStringLiteral("Chapters")), 72, 24, 54, 17);
    Command_CreateChapters =
        Place(MakeControl<QPushButton>(Frame1, "Command_CreateChapters", QStringLiteral("Start")),
              5, 48, 119, 25);

    Frame2 = MakeControl<QGroupBox>(this, "Frame2", QStringLiteral("Create a Chapter for"));
    Label3 = Place(MakeControl<QLabel>(Frame2, "Label3", QStringLiteral("each")), 5, 24, 31, 17);
    Text_ChapTime =
        Place(MakeControl<QLineEdit>(Frame2, "Text_ChapTime", QStringLiteral("5")), 38, 22, 28, 19);
    Label2 =
        Place(MakeControl<QLabel>(Frame2, "Label2", QStringLiteral("minutes")), 70, 24, 54, 17);
    Command_CreateChapters2 =
        Place(MakeControl<QPushButton>(Frame2, "Command_CreateChapters2", QStringLiteral("Start")),
              5, 48, 119, 25);

    // Three buttons share the frame's width: a point smaller keeps their captions whole.
    Frame3 = MakeControl<QGroupBox>(this, "Frame3", QStringLiteral("Get File/Clipboard"));
    Command_GetChapterFile =
        Place(MakeControl<QPushButton>(Frame3, "Command_GetChapterFile", QStringLiteral("File")), 4,
              20, 27, 24);
    Command_GetChapterClipBoard =
        Place(MakeControl<QPushButton>(Frame3, "Command_GetChapterClipBoard",
                                       QStringLiteral("Clipboard")),
              33, 20, 58, 24);
    Command_CreateChapters3 =
        Place(MakeControl<QPushButton>(Frame3, "Command_CreateChapters3", QStringLiteral("Start")),
              93, 20, 32, 24);
    for (QPushButton* button :
         {Command_GetChapterFile, Command_GetChapterClipBoard, Command_CreateChapters3})
        button->setFont(PointSmaller(button, 1));
    // Turning the file chapters into chapters needs a filled List2 first.
    Command_CreateChapters3->setEnabled(false);
}

void MpegLibForm::CreateTopRow() {
    Check_UseOffset =
        MakeControl<QCheckBox>(this, "Check_UseOffset", QStringLiteral("Use TimeOffset"));
    Check_UseOffset->hide();
    Text1 =
        Place(MakeControl<QLineEdit>(this, "Text1", QStringLiteral("00:00:00.000")), 8, 3, 121, 19);

    // The fixed places leave this box only the strip above the crop box.
    Check_ScaleRGB = Place(
        MakeControl<QCheckBox>(this, "Check_ScaleRGB", QStringLiteral("ScaleRGB")), 136, 0, 90, 17);
    Check_ScaleRGB->setChecked(true); // the decoder starts with RGB scaling on
    Check_Crop = MakeControl<QCheckBox>(this, "Check_Crop", QStringLiteral("Crop"));
    Command_CropDialog =
        MakeControl<QPushButton>(this, "Command_CropDialog", QStringLiteral("..."));
    Command_CropDialog->setFont(PointSmaller(Command_CropDialog, 2));

    Command_StepBack = MakeControl<QPushButton>(this, "Command_StepBack", QStringLiteral("\u2B05"));
    Command_StepBack->setFont(BoldSymbol(Command_StepBack));
    Command_NextIFrame =
        MakeControl<QPushButton>(this, "Command_NextIFrame", QStringLiteral("\u27A1"));
    Command_NextIFrame->setFont(BoldSymbol(Command_NextIFrame));
    Command_NextFrame =
        MakeControl<QPushButton>(this, "Command_NextFrame", QStringLiteral("\u2192"));
    Command2 = MakeControl<QPushButton>(this, "Command2", QStringLiteral("Play"));
    Command3 = MakeControl<QPushButton>(this, "Command3", QStringLiteral("Stop"));

    Option_Pics = MakeControl<QRadioButton>(this, "Option_Pics", QStringLiteral("Images"));
    Option_Clips = MakeControl<QRadioButton>(this, "Option_Clips", QStringLiteral("Clips"));
    Option_Pics->setChecked(true);

    Frame4 = MakeControl<QGroupBox>(this, "Frame4");
    Check_ChapterOnly =
        Place(MakeControl<QCheckBox>(Frame4, "Check_ChapterOnly", QStringLiteral("Mark only")), 4,
              4, 90, 17);
    Check_ChapterOnly->setToolTip(QStringLiteral("Chaptermarks only, no images or clips"));
    Check_NoChapter =
        Place(MakeControl<QCheckBox>(Frame4, "Check_NoChapter", QStringLiteral("No Mark")), 92, 4,
              84, 17);
    Check_NoChapter->setToolTip(QStringLiteral("No chapter marks, only images or clips"));

    Text_Sec = MakeControl<QLineEdit>(this, "Text_Sec", QStringLiteral("10"));
    Text2 = MakeControl<QLineEdit>(this, "Text2", QStringLiteral("sec"));
    Text2->setReadOnly(true);
    Text2->setFrame(false);
    Text2->setFocusPolicy(Qt::NoFocus);
    QPalette labelLike = Text2->palette();
    labelLike.setColor(QPalette::Base, labelLike.color(QPalette::Window));
    Text2->setPalette(labelLike);

    Command_SavePic =
        MakeControl<QPushButton>(this, "Command_SavePic", QStringLiteral("Save Current"));
    // Only "No Mark" lets a save go under an existing chapter's name.
    Check_SaveAsZero =
        MakeControl<QCheckBox>(this, "Check_SaveAsZero", QStringLiteral("Save as 00:00:00.000"));
    Check_SaveAsZero->setEnabled(false);

    Command1 = MakeControl<QPushButton>(this, "Command1", QStringLiteral("About"));
    Command4 = MakeControl<QPushButton>(this, "Command4", QStringLiteral("Quit"));
    Check_SingleField =
        MakeControl<QCheckBox>(this, "Check_SingleField", QStringLiteral("Single Field only"));
}

void MpegLibForm::CreateListPanel() {
    Label1 = MakeControl<QLabel>(this, "Label1", QStringLiteral("Chapterlist"));
    Check_ChapterIcons =
        MakeControl<QCheckBox>(this, "Check_ChapterIcons", QStringLiteral("Icons"));
    // 13 pixels high: a point smaller keeps the caption inside.
    Check_ChapterIcons->setFont(PointSmaller(Check_ChapterIcons, 1));

    List1 = SortedList(this, "List1");
    List1->addItem(QStringLiteral("00:00:00.000"));
    // The file-chapter list and its caption stay hidden until an import fills the list.
    Label5 = MakeControl<QLabel>(this, "Label5", QStringLiteral("File Chapters"));
    Label5->hide();
    List2 = SortedList(this, "List2");
    List2->hide();

    Command_Delete =
        MakeControl<QPushButton>(this, "Command_Delete", QStringLiteral("Delete Chapter"));
}
