#pragma once

#include "session/ShownSize.h"
#include "stream/Flag.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <vector>

class BusyIndicator;
class EditorSession;
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

    QTimer* Timer1 = nullptr; // held step buttons

    // The editor's state and work; the window shows it and hands it the user's actions.
    EditorSession* Session = nullptr;

    // Purely visual state of the window.
    float DragThreshold = 0; // bytes a drag must cover before it previews
    Flag SliderBusy = FlagFalse;
    Flag Dragging = FlagFalse;
    qint16 RepeatAction = 0; // 0 none, 1 next picture, 2 next GOP, 3 previous GOP
    qint16 ActiveList = 1;   // 1: List1 had the focus last, 2: List2
    bool EndProgram = false; // the load step asked to end the program (no GOP header)
    // "Display aspect": pictures shown at their display aspect (Cueboard's own setting).
    bool DisplayAspect = ReadDisplayAspect();
    // The room a picture is shown in; larger pictures are scaled down to fit it.
    static constexpr int PictureAreaWidth = 720;
    static constexpr int PictureAreaHeight = 576;

    // ---- Start and closing (EditorStart.cpp) ---------------------------------------------
    // Captions and layout, then the session's load step. Returns false when the video cannot be
    // edited: the message was shown and the program ends.
    bool Form_Load();
    // Before the window closes by any means; sets `cancel` to keep it open.
    void Form_QueryUnload(bool& cancel);
    void Form_Unload();
    // ---- Crop (EditorCrop.cpp) ------------------------------------------------------------
    void PlaceCropBars();
    void Check_Crop_Click();
    void Command_CropDialog_Click();

    // ---- Navigation (Navigation.cpp) -----------------------------------------------------
    void Command_NextFrame_Click();
    void Command_NextIFrame_Click();
    void Command_StepBack_Click();
    // Mouse down and up on one of the three step buttons (1 next picture, 2 next GOP, 3 back).
    void StepButton_MouseDown(qint16 action);
    void StepButton_MouseUp();
    void Timer1_Timer();
    void Slider1_KeyDown(int key, bool* handled);
    void Picture1_KeyUp(int key);
    void Text1_KeyDown(int key);
    void Slider1_MouseDown(int x);
    void Slider1_MouseMove(int x);
    void Slider1_MouseUp(int x);
    void Slider1_Change();

    // ---- Chapter list (ChapterList.cpp) --------------------------------------------------
    void List1_Click();
    void List1_DblClick();
    void List2_DblClick();
    void List1_GotFocus();
    void List2_GotFocus();
    void Command_Delete_Click();
    void Check_ChapterIcons_Click();
    // "Export chapters...": the chapter list for another tool, in a format the dialog offers.
    void ExportChapters_Click();
    // Left of a chapter icon for a slider value, in pixels.
    int ChapterIconLeft(int sliderValue) const;

    // ---- Save, runs and imports (SaveCurrent.cpp) -----------------------------------------
    void Command_SavePic_Click();
    void Command_SavePic_KeyDown(int key);
    void Command_CreateChapters_Click();
    void Command_CreateChapters2_Click();
    void Command_CreateChapters3_Click();
    void Command_GetChapterFile_Click();
    void Command_GetChapterClipBoard_Click();

    // ---- Playback (Playback.cpp) ---------------------------------------------------------
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

    // ---- About ---------------------------------------------------------------------------
    void Command1_Click();

    // ---- Save options (SaveOptions.cpp) --------------------------------------------------
    void Option_Pics_Click();
    void Option_Clips_Click();
    void Check_ChapterOnly_Click();
    void Check_NoChapter_Click();
    void Check_UseOffset_Click();
    void Check_SingleField_Click();
    void Check_ScaleRGB_Click();

    // ---- What the session reports (ShowSession.cpp) --------------------------------------
    void ShowPicture();
    void ShowPosition();
    void ShowPreview();
    void ShowOptions();
    void ShowChapters();
    void ShowFileChapters();
    void ShowPlaying();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ConnectSession();
    void ConnectNavigation();
    void ConnectSaveOptions();
    void ConnectCrop();
    void ConnectChapterList();
    void ConnectChapterExport();
    void ConnectSaveCurrent();
    void ConnectChapterCreation();
    void ConnectChapterImport();
    void ConnectPlayback();
    void ConnectKeys();
    void ConnectPictureMenu();

    void CreatePictures();
    void CreateChapterPanel();
    void CreateTopRow();
    void CreateListPanel();
    QLabel* CreateChapterIcon();

    BusyIndicator* busy_ = nullptr;
    int previewX_ = 0;
};
