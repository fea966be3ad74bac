#include "crop/PictureBox.h"
#include "editor/MpegLibForm.h"
#include "editor/PositionSlider.h"
#include "editor/Twips.h"
#include "viewer/MpegLibModule.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <set>
#include <vector>

namespace {

enum class Kind {
    Picture,
    Slider,
    TextBox,
    List,
    Label,
    Shape,
    Frame,
    Button,
    Check,
    Option,
    Timer
};

bool IsKind(QObject* object, Kind kind) {
    switch (kind) {
    case Kind::Picture:
        return qobject_cast<PictureBox*>(object);
    case Kind::Slider:
        return qobject_cast<PositionSlider*>(object);
    case Kind::TextBox:
        return qobject_cast<QLineEdit*>(object);
    case Kind::List:
        return qobject_cast<QListWidget*>(object);
    case Kind::Label:
        return qobject_cast<QLabel*>(object);
    case Kind::Shape:
        return qobject_cast<QFrame*>(object) && !qobject_cast<QLabel*>(object) &&
               !qobject_cast<QGroupBox*>(object);
    case Kind::Frame:
        return qobject_cast<QGroupBox*>(object);
    case Kind::Button:
        return qobject_cast<QPushButton*>(object);
    case Kind::Check:
        return qobject_cast<QCheckBox*>(object);
    case Kind::Option:
        return qobject_cast<QRadioButton*>(object);
    case Kind::Timer:
        return qobject_cast<QTimer*>(object);
    }
    return false;
}

constexpr int Keep = std::numeric_limits<int>::min(); // open value: stays as the window built it
constexpr int Unplaced = Keep + 1;                    // not in the pixel table at all

struct Control {
    const char* name;
    std::function<QObject*(MpegLibForm&)> member;
    Kind kind;
    const char* container; // "" = the window
    int left = Unplaced;
    int top = Unplaced;
    int width = Unplaced;
    int height = Unplaced;

    bool placed() const { return left != Unplaced; }
};

#define MEMBER(n) #n, [](MpegLibForm & f) -> QObject* { return f.n; }

// The window's 55 controls with their pixel places (relative to their container).
const std::vector<Control>& Controls() {
    static const std::vector<Control> controls = {
        {MEMBER(Picture1), Kind::Picture, ""},
        {MEMBER(Picture2), Kind::Picture, "", 536, 24, 9, 9},
        {MEMBER(Picture3), Kind::Picture, ""},
        {MEMBER(Picture_oben), Kind::Picture, ""},
        {MEMBER(Picture_unten), Kind::Picture, ""},
        {MEMBER(Picture_links), Kind::Picture, ""},
        {MEMBER(Picture_rechts), Kind::Picture, ""},
        {MEMBER(Slider1), Kind::Slider, "", 8, 42, 857, 33},
        {MEMBER(Text1), Kind::TextBox, "", 8, Keep, 121, 19},
        {MEMBER(Text2), Kind::TextBox, "", 564, 8, 26, 17},
        {MEMBER(Text3), Kind::TextBox, ""},
        {MEMBER(Text_Sec), Kind::TextBox, "", 536, 6, 25, 19},
        {MEMBER(Text_NumChap), Kind::TextBox, "Frame1"},
        {MEMBER(Text_ChapTime), Kind::TextBox, "Frame2"},
        {MEMBER(List1), Kind::List, "", 736, 96, 129, 225},
        {MEMBER(List2), Kind::List, "", 736, 232, 129, 95},
        {"Label8", [](MpegLibForm& f) -> QObject* { return f.Label8.at(0); }, Kind::Label, ""},
        {MEMBER(Label1), Kind::Label, "", 736, 80, 105, 17},
        {MEMBER(Label2), Kind::Label, "Frame2"},
        {MEMBER(Label3), Kind::Label, "Frame2"},
        {MEMBER(Label4), Kind::Label, "", 736, 376, 129, 49},
        {MEMBER(Label5), Kind::Label, "", 744, 216, 89, 17},
        {MEMBER(Label6), Kind::Label, "Frame1"},
        {MEMBER(Label7), Kind::Label, "Frame1"},
        {MEMBER(Shape1), Kind::Shape, "", 732, 370, 138, 289},
        {MEMBER(Frame1), Kind::Frame, "", 736, 432, 129, 81},
        {MEMBER(Frame2), Kind::Frame, "", 736, 520, 129, 81},
        {MEMBER(Frame3), Kind::Frame, "", 736, 608, 129, 49},
        {MEMBER(Frame4), Kind::Frame, "", 416, 24, 178, 25},
        {MEMBER(Command_StepBack), Kind::Button, "", 224, 8, 25, 25},
        {MEMBER(Command_NextIFrame), Kind::Button, "", 256, 8, 25, 25},
        {MEMBER(Command_NextFrame), Kind::Button, "", 288, 8, 25, 25},
        {MEMBER(Command1), Kind::Button, "", 752, 3, 60, 25},
        {MEMBER(Command2), Kind::Button, "", 320, 8, 41, 25},
        {MEMBER(Command3), Kind::Button, "", 368, 8, 41, 25},
        {MEMBER(Command4), Kind::Button, "", 816, 3, 52, 25},
        {MEMBER(Command_SavePic), Kind::Button, "", 592, 3, 152, 25},
        {MEMBER(Command_Delete), Kind::Button, "", 736, 336, 129, 25},
        {MEMBER(Command_CreateChapters), Kind::Button, "Frame1"},
        {MEMBER(Command_CreateChapters2), Kind::Button, "Frame2"},
        {MEMBER(Command_CreateChapters3), Kind::Button, "Frame3"},
        {MEMBER(Command_GetChapterFile), Kind::Button, "Frame3"},
        {MEMBER(Command_GetChapterClipBoard), Kind::Button, "Frame3"},
        {MEMBER(Command_CropDialog), Kind::Button, "", 186, 18, 32, 14},
        {MEMBER(Check_Crop), Kind::Check, "", 136, 16, 81, 17},
        {MEMBER(Check_ChapterIcons), Kind::Check, "", 808, 80, 65, 13},
        {MEMBER(Check_ChapterOnly), Kind::Check, "Frame4", 4, Keep, 90, 17},
        {MEMBER(Check_NoChapter), Kind::Check, "Frame4", 92, Keep, 84, 17},
        {MEMBER(Check_SaveAsZero), Kind::Check, "", 592, 28, 153, 17},
        {MEMBER(Check_UseOffset), Kind::Check, "", 8, 24, 150, 17},
        {MEMBER(Check_SingleField), Kind::Check, "", 752, 28, 121, 17},
        {MEMBER(Check_ScaleRGB), Kind::Check, "", 136, Keep, 90, 17},
        {MEMBER(Option_Pics), Kind::Option, "", 420, 6, 65, 17},
        {MEMBER(Option_Clips), Kind::Option, "", 484, 6, 49, 17},
        {MEMBER(Timer1), Kind::Timer, ""},
    };
    return controls;
}

#undef MEMBER

// Hidden when the window first shows; everything else is visible.
const std::set<QString> HiddenAtStart = {
    "Picture2", "Picture3", "Picture_oben", "Picture_unten", "Picture_links",  "Picture_rechts",
    "Text3",    "List2",    "Label5",       "Label8",        "Check_UseOffset"};

QWidget* Widget(MpegLibForm& form, const char* name) {
    return form.findChild<QWidget*>(QLatin1String(name));
}

class MpegLibFormTest : public ::testing::Test {
protected:
    void SetUp() override { form = std::make_unique<MpegLibForm>(); }

    void Show() {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    std::unique_ptr<MpegLibForm> form;
};

TEST_F(MpegLibFormTest, EveryControlHasItsNameKindContainerAndMember) {
    ASSERT_EQ(Controls().size(), 55u);
    std::set<QString> names;
    for (const Control& control : Controls()) {
        SCOPED_TRACE(control.name);
        EXPECT_TRUE(names.insert(control.name).second) << "listed twice";
        QObject* object = form->findChild<QObject*>(QLatin1String(control.name));
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(control.member(*form), object);
        EXPECT_TRUE(IsKind(object, control.kind));
        const QObject* container = object->parent();
        ASSERT_NE(container, nullptr);
        if (*control.container) {
            EXPECT_EQ(container->objectName(), QLatin1String(control.container));
        } else {
            EXPECT_EQ(container, form.get());
        }
    }
    // Nothing named sits in the window that the list does not know.
    for (const QWidget* widget : form->findChildren<QWidget*>()) {
        const QString name = widget->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_"))) {
            EXPECT_TRUE(names.count(name)) << name.toStdString();
        }
    }
}

// Every control is moved and resized away first, as the start and an opened video would; then
// the table's values come back, open values and unlisted controls stay where they were moved,
// and Text3 stands on the slider overlapping it by 4 pixels whatever its height.
TEST_F(MpegLibFormTest, ArrangeControlsSetsTheTableAndKeepsTheRest) {
    std::vector<QRect> moved;
    for (const Control& control : Controls()) {
        QWidget* widget = Widget(*form, control.name);
        moved.push_back(widget ? widget->geometry().translated(3, 5).adjusted(0, 0, 7, 2)
                               : QRect());
        if (widget)
            widget->setGeometry(moved.back());
    }
    form->ArrangeControls();
    auto pick = [](int fixed, int old) { return fixed == Keep || fixed == Unplaced ? old : fixed; };
    for (size_t i = 0; i < Controls().size(); ++i) {
        const Control& control = Controls()[i];
        QWidget* widget = Widget(*form, control.name);
        if (!widget)
            continue;
        SCOPED_TRACE(control.name);
        const QRect before = moved[i];
        const int top =
            widget == form->Text3 ? 42 - before.height() + 4 : pick(control.top, before.top());
        EXPECT_EQ(widget->geometry(),
                  QRect(pick(control.left, before.left()), top, pick(control.width, before.width()),
                        pick(control.height, before.height())));
    }
    EXPECT_EQ(form->Text3->geometry().intersected(form->Slider1->geometry()).height(), 4);
}

TEST_F(MpegLibFormTest, OnlyTheListedControlsStartHidden) {
    Show();
    EXPECT_EQ(form->geometry(), QRect(80, 25, 885, 700));
    for (const Control& control : Controls()) {
        auto* widget = qobject_cast<QWidget*>(control.member(*form));
        if (!widget)
            continue;
        SCOPED_TRACE(control.name);
        EXPECT_EQ(widget->isVisible(), !HiddenAtStart.count(control.name));
    }
    for (PictureBox* bar :
         {form->Picture_oben, form->Picture_unten, form->Picture_links, form->Picture_rechts})
        EXPECT_EQ(bar->backColor(), QColor(Qt::white)) << bar->objectName().toStdString();
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_FALSE(form->Timer1->isSingleShot());
}

} // namespace
