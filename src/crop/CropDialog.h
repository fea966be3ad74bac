#pragma once

#include "crop/CropBars.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

// The crop dialog: four scroll bars set the record's crop margins live, the editor's bars follow
// them, and the resulting picture size and aspect are shown in the middle. There is no cancel:
// every change takes effect at once and closing keeps it. Controls are public members whose
// object names are their member names.
class Crop_Dialog : public QDialog {
    Q_OBJECT
public:
    // Builds the dialog and runs its load step on the record's margins. The widgets of `targets`
    // must outlive the dialog.
    explicit Crop_Dialog(const CropTargets& targets, QWidget* parent = nullptr);
    ~Crop_Dialog() override;

    QPushButton* Command_Black = nullptr;
    QPushButton* Command_White = nullptr;
    QPushButton* Command_SetToOrvel = nullptr;
    QPushButton* Command_CreateCropSUP = nullptr;
    QPushButton* OKButton = nullptr;

    QLabel* Label0 = nullptr; // "Final image size:"
    QLabel* Label1 = nullptr; // final width
    QLabel* Label2 = nullptr; // final height
    QLabel* Label4 = nullptr; // "Aspect:"
    QLabel* Label5 = nullptr; // aspect

    QLineEdit* Text1 = nullptr; // top
    QLineEdit* Text2 = nullptr; // left
    QLineEdit* Text3 = nullptr; // right
    QLineEdit* Text4 = nullptr; // bottom

    QScrollBar* HScroll1 = nullptr; // left: value = margin
    QScrollBar* HScroll2 = nullptr; // right: value = 300 - margin
    QScrollBar* VScroll1 = nullptr; // top: value = margin
    QScrollBar* VScroll2 = nullptr; // bottom: value = 300 - margin

    void Form_Load();
    void HScroll1_Change();
    void HScroll2_Change();
    void VScroll1_Change();
    void VScroll2_Change();
    void Command_Black_Click();
    void Command_White_Click();
    void Command_SetToOrvel_Click();
    // Writes the crop subtitle file beside the video (no message either way).
    void Command_CreateCropSUP_Click();
    void OKButton_Click();

private:
    struct MarginControls;
    MarginControls Controls(CropSide side) const;

    void CreateControls();
    void LayOut();
    void Connect();
    void MarginBar_Change(CropSide side);
    void ShowFinalSize();

    CropTargets targets_;
};
