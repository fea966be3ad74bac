#include "crop/PictureBox.h"
#include "editor/MpegLibForm.h"
#include "editor/PositionSlider.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <set>

namespace {

constexpr int K = std::numeric_limits<int>::min(); // open value: stays as the window built it
constexpr int U = K + 1;                           // not placed by the fixed layout at all

struct Control {
    const char* name;
    QObject* (*member)(MpegLibForm&);
    const char* kind;
    const char* container; // "" = the window
    bool hidden;           // when the window first shows
    int left = U, top = U, width = U, height = U;
};

#define M(n) #n, [](MpegLibForm & f) -> QObject* { return f.n; }

// The window's 55 controls with their pixel places (relative to their container).
const Control Controls[] = {
    {M(Picture1), "PictureBox", "", false},
    {M(Picture2), "PictureBox", "", true, 536, 24, 9, 9},
    {M(Picture3), "PictureBox", "", true},
    {M(Picture_oben), "PictureBox", "", true},
    {M(Picture_unten), "PictureBox", "", true},
    {M(Picture_links), "PictureBox", "", true},
    {M(Picture_rechts), "PictureBox", "", true},
    {M(Slider1), "PositionSlider", "", false, 8, 42, 857, 33},
    {M(Text1), "QLineEdit", "", false, 8, K, 121, 19},
    {M(Text2), "QLineEdit", "", false, 564, 8, 26, 17},
    {M(Text3), "QLineEdit", "", true},
    {M(Text_Sec), "QLineEdit", "", false, 536, 6, 25, 19},
    {M(Text_NumChap), "QLineEdit", "Frame1", false},
    {M(Text_ChapTime), "QLineEdit", "Frame2", false},
    {M(List1), "QListWidget", "", false, 736, 96, 129, 225},
    {M(List2), "QListWidget", "", true, 736, 232, 129, 95},
    {"Label8", [](MpegLibForm& f) -> QObject* { return f.Label8.at(0); }, "QLabel", "", true},
    {M(Label1), "QLabel", "", false, 736, 80, 105, 17},
    {M(Label2), "QLabel", "Frame2", false},
    {M(Label3), "QLabel", "Frame2", false},
    {M(Label4), "QLabel", "", false, 736, 376, 129, 49},
    {M(Label5), "QLabel", "", true, 744, 216, 89, 17},
    {M(Label6), "QLabel", "Frame1", false},
    {M(Label7), "QLabel", "Frame1", false},
    {M(Shape1), "QFrame", "", false, 732, 370, 138, 289},
    {M(Frame1), "QGroupBox", "", false, 736, 432, 129, 81},
    {M(Frame2), "QGroupBox", "", false, 736, 520, 129, 81},
    {M(Frame3), "QGroupBox", "", false, 736, 608, 129, 49},
    {M(Frame4), "QGroupBox", "", false, 416, 24, 178, 25},
    {M(Command_StepBack), "QPushButton", "", false, 224, 8, 25, 25},
    {M(Command_NextIFrame), "QPushButton", "", false, 256, 8, 25, 25},
    {M(Command_NextFrame), "QPushButton", "", false, 288, 8, 25, 25},
    {M(Command1), "QPushButton", "", false, 752, 3, 60, 25},
    {M(Command2), "QPushButton", "", false, 320, 8, 41, 25},
    {M(Command3), "QPushButton", "", false, 368, 8, 41, 25},
    {M(Command4), "QPushButton", "", false, 816, 3, 52, 25},
    {M(Command_SavePic), "QPushButton", "", false, 592, 3, 152, 25},
    {M(Command_Delete), "QPushButton", "", false, 736, 336, 129, 25},
    {M(Command_CreateChapters), "QPushButton", "Frame1", false},
    {M(Command_CreateChapters2), "QPushButton", "Frame2", false},
    {M(Command_CreateChapters3), "QPushButton", "Frame3", false},
    {M(Command_GetChapterFile), "QPushButton", "Frame3", false},
    {M(Command_GetChapterClipBoard), "QPushButton", "Frame3", false},
    {M(Command_CropDialog), "QPushButton", "", false, 186, 18, 32, 14},
    {M(Check_Crop), "QCheckBox", "", false, 136, 16, 81, 17},
    {M(Check_ChapterIcons), "QCheckBox", "", false, 808, 80, 65, 13},
    {M(Check_ChapterOnly), "QCheckBox", "Frame4", false, 4, K, 90, 17},
    {M(Check_NoChapter), "QCheckBox", "Frame4", false, 92, K, 84, 17},
    {M(Check_SaveAsZero), "QCheckBox", "", false, 592, 28, 153, 17},
    {M(Check_UseOffset), "QCheckBox", "", true, 8, 24, 150, 17},
    {M(Check_SingleField), "QCheckBox", "", false, 752, 28, 121, 17},
    {M(Check_ScaleRGB), "QCheckBox", "", false, 136, K, 90, 17},
    {M(Option_Pics), "QRadioButton", "", false, 420, 6, 65, 17},
    {M(Option_Clips), "QRadioButton", "", false, 484, 6, 49, 17},
    {M(Timer1), "QTimer", "", false},
};

#undef M

// Every control is then moved and resized away, as the start and an opened video would; the
// layout brings the table's values back, leaves open values and unplaced controls where they were
// moved, and stands Text3 on the slider, overlapping it by 4 pixels whatever its height.
TEST(MpegLibFormTest, EveryControlHasItsNameKindContainerVisibilityAndPlace) {
    MpegLibForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    std::set<QString> names;
    std::map<const QWidget*, QRect> moved;
    for (const Control& c : Controls) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(names.insert(c.name).second) << "listed twice";
        QObject* object = form.findChild<QObject*>(QLatin1String(c.name));
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(c.member(form), object);
        EXPECT_STREQ(object->metaObject()->className(), c.kind);
        EXPECT_EQ(object->parent()->objectName(), *c.container ? c.container : "MpegLibForm");
        if (auto* widget = qobject_cast<QWidget*>(object)) {
            EXPECT_EQ(widget->isVisible(), !c.hidden);
            moved[widget] = widget->geometry().translated(3, 5).adjusted(0, 0, 7, 2);
            widget->setGeometry(moved[widget]);
        }
    }
    EXPECT_EQ(names.size(), 55u);
    // Nothing named sits in the window that the table does not know.
    for (const QWidget* widget : form.findChildren<QWidget*>()) {
        const QString name = widget->objectName();
        EXPECT_TRUE(name.isEmpty() || name.startsWith(QLatin1String("qt_")) || names.count(name))
            << name.toStdString();
    }
    for (PictureBox* bar :
         {form.Picture_oben, form.Picture_unten, form.Picture_links, form.Picture_rechts})
        EXPECT_EQ(bar->backColor(), QColor(Qt::white)) << bar->objectName().toStdString();
    EXPECT_FALSE(form.Timer1->isActive());

    form.ArrangeControls();
    const auto pick = [](int fixed, int old) { return fixed == K || fixed == U ? old : fixed; };
    for (const Control& c : Controls) {
        const auto* widget = qobject_cast<QWidget*>(c.member(form));
        if (!widget)
            continue;
        SCOPED_TRACE(c.name);
        const QRect was = moved[widget];
        const int top = widget == form.Text3 ? 42 - was.height() + 4 : pick(c.top, was.top());
        EXPECT_EQ(widget->geometry(),
                  QRect(pick(c.left, was.left()), top, pick(c.width, was.width()),
                        pick(c.height, was.height())));
    }
    EXPECT_EQ(form.Text3->geometry().intersected(form.Slider1->geometry()).height(), 4);
}

} // namespace
