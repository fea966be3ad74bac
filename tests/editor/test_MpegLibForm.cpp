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

// Rectangle in window coordinates.
QRect WindowRect(MpegLibForm& form, const QWidget* widget) {
    return QRect(widget->mapTo(&form, QPoint(0, 0)), widget->size());
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

// Icons are 375 twips square at top 1015 twips; a fresh one stands at the slider's 0 (195 twips).
TEST_F(MpegLibFormTest, ChapterIconsAreHiddenCopiesOfElementZero) {
    ASSERT_EQ(form->Label8.size(), 1u);
    QLabel* first = form->Label8[0];
    const QRect expected(qRound(195 / TwipsPerPixelX()), qRound(1015 / TwipsPerPixelY()),
                         qRound(375 / TwipsPerPixelX()), qRound(375 / TwipsPerPixelY()));
    std::vector<QPointer<QLabel>> added = {form->AddChapterIcon(), form->AddChapterIcon()};
    ASSERT_EQ(form->Label8, (std::vector<QLabel*>{first, added[0], added[1]}));
    for (QLabel* icon : form->Label8) {
        EXPECT_EQ(icon->geometry(), expected);
        EXPECT_EQ(icon->text(), QString(QChar(0x25C6)));
        EXPECT_TRUE(icon->isHidden());
    }
    first->show();
    form->RemoveChapterIconsFromOne();
    EXPECT_EQ(form->Label8, std::vector<QLabel*>{first});
    EXPECT_FALSE(first->isHidden());
    EXPECT_TRUE(added[0].isNull() && added[1].isNull());
}

TEST_F(MpegLibFormTest, ListsKeepTheirEntriesInTimeOrder) {
    EXPECT_EQ(form->List1->count(), 1);
    EXPECT_EQ(form->List1->item(0)->text(), QStringLiteral("00:00:00.000"));
    EXPECT_EQ(form->List2->count(), 0);
    const QStringList added = {"00:10:00.000", "00:05:00.120", "01:00:00.000", "00:05:00.040"};
    for (QListWidget* list : {form->List1, form->List2}) {
        SCOPED_TRACE(list->objectName().toStdString());
        list->clear();
        for (const QString& entry : added)
            list->addItem(entry);
        list->addItem(QStringLiteral("00:00:00.000"));
        QStringList shown;
        for (int i = 0; i < list->count(); ++i)
            shown << list->item(i)->text();
        EXPECT_EQ(shown, QStringList({"00:00:00.000", "00:05:00.040", "00:05:00.120",
                                      "00:10:00.000", "01:00:00.000"}));
    }
}

TEST_F(MpegLibFormTest, ImagesAndClipsExcludeEachOther) {
    Show();
    EXPECT_TRUE(form->Option_Pics->isChecked());
    EXPECT_FALSE(form->Option_Clips->isChecked());
    const struct {
        QRadioButton* clicked;
        QRadioButton* other;
    } clicks[] = {{form->Option_Clips, form->Option_Pics},
                  {form->Option_Clips, form->Option_Pics},
                  {form->Option_Pics, form->Option_Clips}};
    for (const auto& click : clicks) {
        QTest::mouseClick(click.clicked, Qt::LeftButton, {}, QPoint(6, 8));
        EXPECT_TRUE(click.clicked->isChecked()) << click.clicked->objectName().toStdString();
        EXPECT_FALSE(click.other->isChecked()) << click.other->objectName().toStdString();
    }
}

TEST_F(MpegLibFormTest, EnterClicksNoButtonAndEscapeDoesNotCloseTheEditor) {
    Show();
    int clicks = 0;
    for (QPushButton* button : form->findChildren<QPushButton*>())
        QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    for (QWidget* target : std::initializer_list<QWidget*>{
             form->Text_Sec, form->Text1, form->Text_NumChap, form->List1, form.get()}) {
        SCOPED_TRACE(target->objectName().toStdString());
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(target, key);
        EXPECT_EQ(clicks, 0);
        EXPECT_TRUE(form->isVisible());
    }
}

// Overlaps the fixed places force. `upper` is the control that has to stay on top (clickable).
struct AllowedOverlap {
    const char* a;
    const char* b;
    const char* upper;
};

const AllowedOverlap Allowed[] = {
    // The crop box is wider than its caption; the dialog button sits on its right part.
    {"Check_Crop", "Command_CropDialog", "Command_CropDialog"},
    // The scale box has a fixed left and width that reach under the step-back button, and the
    // only strip left for it, above the crop box, is one pixel short.
    {"Check_ScaleRGB", "Check_Crop", "Check_Crop"},
    {"Check_ScaleRGB", "Command_StepBack", "Command_StepBack"},
    {"Option_Pics", "Option_Clips", "Option_Clips"},
    // The save-option frame reaches a pixel or two under its neighbours and 7 pixels into the
    // slider's top margin; so do the check boxes of the row below the buttons.
    {"Frame4", "Text_Sec", "Text_Sec"},
    {"Frame4", "Text2", "Text2"},
    {"Frame4", "Command_SavePic", "Command_SavePic"},
    {"Frame4", "Check_SaveAsZero", "Check_SaveAsZero"},
    {"Frame4", "Slider1", "Frame4"},
    {"Check_ChapterOnly", "Check_NoChapter", "Check_NoChapter"},
    {"Check_ChapterOnly", "Slider1", "Check_ChapterOnly"},
    {"Check_NoChapter", "Slider1", "Check_NoChapter"},
    {"Check_SaveAsZero", "Slider1", "Check_SaveAsZero"},
    {"Check_SingleField", "Slider1", "Check_SingleField"},
    // The list caption is wider than its text and one pixel taller than the gap to the list.
    {"Label1", "Check_ChapterIcons", "Check_ChapterIcons"},
    {"Label1", "List1", "List1"},
};

// Shape1 is only an outline: what lies inside it does not overlap it.
std::vector<QRect> Footprint(MpegLibForm& form, const QWidget* widget) {
    const QRect rect = WindowRect(form, widget);
    if (widget != form.Shape1)
        return {rect};
    return {QRect(rect.left(), rect.top(), rect.width(), 1),
            QRect(rect.left(), rect.bottom(), rect.width(), 1),
            QRect(rect.left(), rect.top(), 1, rect.height()),
            QRect(rect.right(), rect.top(), 1, rect.height())};
}

QRect Overlap(MpegLibForm& form, const QWidget* a, const QWidget* b) {
    for (const QRect& x : Footprint(form, a))
        for (const QRect& y : Footprint(form, b))
            if (x.intersects(y))
                return x.intersected(y);
    return {};
}

TEST_F(MpegLibFormTest, VisibleControlsOverlapOnlyWhereTheirPlacesForceIt) {
    Show();
    std::vector<QWidget*> visible;
    for (const Control& control : Controls()) {
        auto* widget = qobject_cast<QWidget*>(control.member(*form));
        if (widget && widget->isVisible())
            visible.push_back(widget);
    }
    std::set<std::pair<QString, QString>> found;
    for (size_t i = 0; i < visible.size(); ++i)
        for (size_t j = i + 1; j < visible.size(); ++j) {
            QWidget* a = visible[i];
            QWidget* b = visible[j];
            if (a->isAncestorOf(b) || b->isAncestorOf(a))
                continue;
            if (!Overlap(*form, a, b).isEmpty())
                found.insert(std::minmax(a->objectName(), b->objectName()));
        }
    std::set<std::pair<QString, QString>> allowed;
    for (const AllowedOverlap& overlap : Allowed)
        allowed.insert(std::minmax(QString(overlap.a), QString(overlap.b)));
    for (const auto& pair : found)
        EXPECT_TRUE(allowed.count(pair)) << "unexpected overlap " << pair.first.toStdString()
                                         << " / " << pair.second.toStdString();
    for (const auto& pair : allowed)
        EXPECT_TRUE(found.count(pair)) << "overlap no longer happens " << pair.first.toStdString()
                                       << " / " << pair.second.toStdString();

    // Where two overlap, a press lands on the one meant to be on top.
    for (const AllowedOverlap& overlap : Allowed) {
        SCOPED_TRACE(std::string(overlap.a) + " / " + overlap.b);
        const QRect shared = Overlap(*form, Widget(*form, overlap.a), Widget(*form, overlap.b));
        ASSERT_FALSE(shared.isEmpty());
        QWidget* hit = form->childAt(shared.center());
        QWidget* upper = Widget(*form, overlap.upper);
        ASSERT_NE(hit, nullptr);
        EXPECT_TRUE(hit == upper || upper->isAncestorOf(hit))
            << "hit " << hit->objectName().toStdString();
    }
}

TEST_F(MpegLibFormTest, CaptionsFitTheirControls) {
    for (const Control& control : Controls()) {
        auto* widget = qobject_cast<QWidget*>(control.member(*form));
        if (!widget)
            continue;
        SCOPED_TRACE(control.name);
        const QFontMetrics metrics = widget->fontMetrics();
        const QStyle* style = widget->style();
        QString text;
        int chrome = 0;
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            text = button->text();
            chrome = 4;
        } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
            text = check->text();
            chrome = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, check) +
                     style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, check);
        } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
            text = option->text();
            chrome = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, option) +
                     style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, option);
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            text = edit->text();
            chrome = edit->hasFrame() ? 8 : 4;
        } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
            text = frame->title();
            chrome = 6;
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
            if (label->wordWrap()) {
                const QRect needed =
                    metrics.boundingRect(QRect(0, 0, label->width(), 1000), Qt::TextWordWrap, text);
                EXPECT_LE(needed.height(), label->height());
                continue;
            }
        }
        if (text.isEmpty())
            continue;
        EXPECT_LE(metrics.horizontalAdvance(text) + chrome, widget->width()) << text.toStdString();
        if (!qobject_cast<QGroupBox*>(widget)) {
            EXPECT_LE(metrics.height(), widget->height()) << text.toStdString();
        }
        for (const QChar c : text)
            EXPECT_TRUE(metrics.inFont(c)) << "no glyph for U+" << std::hex << int(c.unicode());
    }
}

QStringList warnings;

void CollectWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg)
        warnings.append(message);
}

TEST_F(MpegLibFormTest, RendersOffscreenWithoutWarnings) {
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(CollectWarnings);
    Show();
    form->Text3->show();
    form->Label8[0]->show();
    const QPixmap picture = form->grab();
    qInstallMessageHandler(previous);
    EXPECT_EQ(picture.deviceIndependentSize().toSize(), QSize(885, 700));
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
}

} // namespace
