#pragma once

#include "stream/Flag.h"

#include <QDialog>
#include <QString>
#include <vector>

class PictureBox;
class PositionSlider;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTimer;

// The editor window: the decoded picture, the position slider over the whole file, the chapter
// lists and the save and creation controls. Every control is a public member whose object name
// is the member's name; the window is shown modally by the chooser.
class MpegLibForm : public QDialog {
    Q_OBJECT
public:
    explicit MpegLibForm(QWidget* parent = nullptr);
    ~MpegLibForm() override;

    // Puts every control with a fixed pixel place where it belongs (values the layout leaves
    // open stay as they are), then stands `Text3` on the slider, overlapping it by 4 pixels.
    void ArrangeControls();

    // Chapter icons: element 0 of `Label8` always exists; further elements are copies of it
    // (same size, top, glyph, hidden), appended by AddChapterIcon.
    QLabel* AddChapterIcon();
    // Destroys elements 1 and up; element 0 is left as it is.
    void RemoveChapterIconsFromOne();

    // Pictures: the decoded frame, two hidden work surfaces and the four crop bars over the frame.
    PictureBox* Picture1 = nullptr;
    PictureBox* Picture2 = nullptr;
    PictureBox* Picture3 = nullptr;
    PictureBox* Picture_oben = nullptr;
    PictureBox* Picture_unten = nullptr;
    PictureBox* Picture_links = nullptr;
    PictureBox* Picture_rechts = nullptr;

    PositionSlider* Slider1 = nullptr;

    QLineEdit* Text1 = nullptr; // timecode of the shown picture
    QLineEdit* Text2 = nullptr; // "sec" beside Text_Sec; read-only and frameless, a label in effect
    QLineEdit* Text3 = nullptr; // time under the thumb while dragging
    QLineEdit* Text_Sec = nullptr;
    QLineEdit* Text_NumChap = nullptr;
    QLineEdit* Text_ChapTime = nullptr;

    QListWidget* List1 = nullptr; // chapter list
    QListWidget* List2 = nullptr; // chapters read from a file or the clipboard

    std::vector<QLabel*> Label8; // chapter icons over the slider
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;

    QFrame* Shape1 = nullptr; // outline around Label4 and the three creation frames

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame4 = nullptr;

    QPushButton* Command_StepBack = nullptr;
    QPushButton* Command_NextIFrame = nullptr;
    QPushButton* Command_NextFrame = nullptr;
    QPushButton* Command1 = nullptr; // About
    QPushButton* Command2 = nullptr; // Play / Pause
    QPushButton* Command3 = nullptr; // Stop
    QPushButton* Command4 = nullptr; // Quit
    QPushButton* Command_SavePic = nullptr;
    QPushButton* Command_Delete = nullptr;
    QPushButton* Command_CreateChapters = nullptr;
    QPushButton* Command_CreateChapters2 = nullptr;
    QPushButton* Command_CreateChapters3 = nullptr;
    QPushButton* Command_GetChapterFile = nullptr;
    QPushButton* Command_GetChapterClipBoard = nullptr;
    QPushButton* Command_CropDialog = nullptr;

    QCheckBox* Check_Crop = nullptr;
    QCheckBox* Check_ChapterIcons = nullptr;
    QCheckBox* Check_ChapterOnly = nullptr;
    QCheckBox* Check_NoChapter = nullptr;
    QCheckBox* Check_SaveAsZero = nullptr;
    QCheckBox* Check_UseOffset = nullptr;
    QCheckBox* Check_SingleField = nullptr;
    QCheckBox* Check_ScaleRGB = nullptr;

    QRadioButton* Option_Pics = nullptr;
    QRadioButton* Option_Clips = nullptr;

    QTimer* Timer1 = nullptr; // held step buttons; end of an automatic run

    // Window state. The editor start gives the real first values; these are the values before it.
    qint64 CurrentPos = 0;   // byte position of the shown picture
    qint64 ClipStartPos = 0; // GOP position of the last jump
    QString CurrentTimecode = QStringLiteral("00:00:00.000");
    QString FirstGopTimecode = QStringLiteral("00:00:00.000");
    Flag AtGopStart = FlagTrue;
    qint64 FileLength = 0;
    double BytesPerStep = 0; // FileLength / 32000
    float DragThreshold = 0; // bytes a drag must cover before it previews
    Flag SliderBusy = FlagFalse;
    Flag Dragging = FlagFalse;
    Flag UsePreviewPos = FlagFalse;
    qint16 RepeatAction = 0; // 0 none, 1 next picture, 2 next GOP, 3 previous GOP
    Flag SaveAllowed = FlagTrue;
    Flag PathTooLong = FlagFalse;
    QString CellTimesPath;
    qint16 ActiveList = 1; // 1: List1 had the focus last, 2: List2
    Flag Playing = FlagFalse;
    Flag SavedCreateEnabled = FlagFalse;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreatePictures();
    void CreateChapterPanel();
    void CreateTopRow();
    void CreateListPanel();
    QLabel* CreateChapterIcon();
};
