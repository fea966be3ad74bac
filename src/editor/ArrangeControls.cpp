#include "editor/MpegLibForm.h"

#include "editor/PositionSlider.h"

#include <QLineEdit>
#include <limits>

namespace {

// A value the fixed layout leaves as the window was built.
constexpr int Keep = std::numeric_limits<int>::min();

struct Placement {
    const char* name;
    int left;
    int top;
    int width;
    int height;
};

// Pixel places relative to each control's container, applied in this order.
constexpr Placement Layout[] = {
    {"Check_UseOffset", 8, 24, 150, 17},
    {"Command_Delete", 736, 336, 129, 25},
    {"List2", 736, 232, 129, 95},
    {"Frame3", 736, 608, 129, 49},
    {"Frame2", 736, 520, 129, 81},
    {"Frame1", 736, 432, 129, 81},
    {"List1", 736, 96, 129, 225},
    {"Picture2", 536, 24, 9, 9},
    {"Command_CropDialog", 186, 18, 32, 14},
    {"Check_Crop", 136, 16, 81, 17},
    {"Text_Sec", 536, 6, 25, 19},
    {"Option_Pics", 420, 6, 65, 17},
    {"Option_Clips", 484, 6, 49, 17},
    {"Frame4", 416, 24, 178, 25},
    {"Check_NoChapter", 92, Keep, 84, 17},
    {"Check_ChapterOnly", 4, Keep, 90, 17},
    {"Check_ScaleRGB", 136, Keep, 90, 17},
    {"Command_SavePic", 592, 3, 152, 25},
    {"Command_NextIFrame", 256, 8, 25, 25},
    {"Command_StepBack", 224, 8, 25, 25},
    {"Command_NextFrame", 288, 8, 25, 25},
    {"Command4", 816, 3, 52, 25},
    {"Command3", 368, 8, 41, 25},
    {"Command2", 320, 8, 41, 25},
    {"Command1", 752, 3, 60, 25},
    {"Text1", 8, Keep, 121, 19},
    {"Text2", 564, 8, 26, 17},
    {"Check_SaveAsZero", 592, 28, 153, 17},
    {"Check_SingleField", 752, 28, 121, 17},
    {"Slider1", 8, 42, 857, 33},
    {"Label5", 744, 216, 89, 17},
    {"Shape1", 732, 370, 138, 289},
    {"Label4", 736, 376, 129, 49},
    {"Label1", 736, 80, 105, 17},
    {"Check_ChapterIcons", 808, 80, 65, 13},
};

} // namespace

void MpegLibForm::ArrangeControls() {
    for (const Placement& place : Layout) {
        auto* control = findChild<QWidget*>(QLatin1String(place.name));
        Q_ASSERT_X(control, "ArrangeControls", place.name);
        if (!control)
            continue;
        QRect rect = control->geometry();
        if (place.height != Keep)
            rect.setHeight(place.height);
        if (place.width != Keep)
            rect.setWidth(place.width);
        if (place.left != Keep)
            rect.moveLeft(place.left);
        if (place.top != Keep)
            rect.moveTop(place.top);
        control->setGeometry(rect);
    }
    Text3->move(Text3->x(), Slider1->y() - Text3->height() + 4);
}
