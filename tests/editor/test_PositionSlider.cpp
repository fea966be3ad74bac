#include "editor/PositionSlider.h"

#include <QApplication>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

class ProbeSlider : public PositionSlider {
public:
    using PositionSlider::initStyleOption;

    QPoint ThumbCentre() const {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()
            ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this)
            .center();
    }
};

// Members are public: the gesture tables below drive the fixture from lambdas.
class PositionSliderTest : public ::testing::Test {
public:
    void SetUp() override {
        slider.setGeometry(0, 0, 857, 33);
        slider.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider));
        QObject::connect(&slider, &PositionSlider::userChanged,
                         [this](int value) { changes.push_back(value); });
        QObject::connect(&slider, &PositionSlider::mouseDown, [this](int x) {
            downs.push_back(x);
            valuesAtDown.push_back(slider.value());
        });
        QObject::connect(&slider, &PositionSlider::mouseMove,
                         [this](int x) { moves.push_back(x); });
        QObject::connect(&slider, &PositionSlider::mouseUp, [this](int x) { ups.push_back(x); });
    }

    void SetQuietly(int value) {
        slider.setValue(value);
        changes.clear();
    }

    void Wheel(int notches) {
        const QPointF at = slider.ThumbCentre();
        QWheelEvent event(at, slider.mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&slider, &event);
    }

    ProbeSlider slider;
    std::vector<int> changes;
    std::vector<int> downs;
    std::vector<int> valuesAtDown;
    std::vector<int> moves;
    std::vector<int> ups;
};

TEST_F(PositionSliderTest, ThumbCentreKeepsThirteenPixelEndMargins) {
    EXPECT_EQ(slider.minimum(), 0);
    EXPECT_EQ(slider.maximum(), 32000);
    for (int value : {0, 8000, 16000, 31999, 32000}) {
        SetQuietly(value);
        const double expected = 13 + (857 - 26) * double(value) / 32000;
        EXPECT_NEAR(slider.ThumbCentre().x(), expected, 1.0) << "value " << value;
    }
}

using Action = std::function<void(PositionSliderTest&)>;

Action Key(Qt::Key key) {
    return [key](PositionSliderTest& t) { QTest::keyClick(&t.slider, key); };
}

// Presses the thumb, moves right by dx in four steps (shaking dy up and down), releases.
Action DragBy(int dx, int dy = 0) {
    return [dx, dy](PositionSliderTest& t) {
        const QPoint from = t.slider.ThumbCentre();
        QTest::mousePress(&t.slider, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(&t.slider, from + QPoint(dx * step / 4, step % 2 ? dy : -dy));
        QTest::mouseRelease(&t.slider, Qt::LeftButton, {}, from + QPoint(dx, 0));
    };
}

// From 16000, each gesture must end in [low, high]; a gesture ending at 16000 reports nothing,
// any other reports the final value exactly once.
TEST_F(PositionSliderTest, UserChangesAreReportedOnceWithTheFinalValue) {
    constexpr int Single = PositionSlider::SingleStep;
    constexpr int Page = PositionSlider::PageStep;
    const struct {
        const char* name;
        Action run;
        int low;
        int high;
    } gestures[] = {
        {"drag right", DragBy(100), 16001, 32000},
        {"drag left", DragBy(-100), 0, 15999},
        {"press and release on the thumb", DragBy(0), 16000, 16000},
        {"shake the thumb up and down", DragBy(0, 4), 16000, 16000},
        {"click on the groove",
         [](PositionSliderTest& t) {
             QTest::mouseClick(&t.slider, Qt::LeftButton, {}, QPoint(800, 16));
         },
         16001, 32000},
        {"right arrow", Key(Qt::Key_Right), 16000 + Single, 16000 + Single},
        {"left arrow", Key(Qt::Key_Left), 16000 - Single, 16000 - Single},
        {"page up", Key(Qt::Key_PageUp), 16000 + Page, 16000 + Page},
        {"home", Key(Qt::Key_Home), 0, 0},
        {"end", Key(Qt::Key_End), 32000, 32000},
        {"a key the slider ignores", Key(Qt::Key_A), 16000, 16000},
        {"wheel notch", [](PositionSliderTest& t) { t.Wheel(1); }, 16000 - Page + 1,
         16000 + Page - 1},
    };
    for (const auto& gesture : gestures) {
        SCOPED_TRACE(gesture.name);
        SetQuietly(16000);
        gesture.run(*this);
        EXPECT_GE(slider.value(), gesture.low);
        EXPECT_LE(slider.value(), gesture.high);
        if (slider.value() == 16000) {
            EXPECT_TRUE(changes.empty());
            EXPECT_EQ(gesture.low, 16000) << "the gesture did not move the slider";
        } else {
            EXPECT_EQ(changes, std::vector<int>{slider.value()});
        }
    }
}

TEST_F(PositionSliderTest, TheProgramsOwnValuesAreNeverReportedAsUserChanges) {
    for (int value : {0, 1, 32000, 12345, 40000, -5})
        slider.setValue(value);
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(slider.value(), 0);

    // A value set by the program while the button is held is not the user's either.
    SetQuietly(16000);
    const QPoint thumb = slider.ThumbCentre();
    QTest::mousePress(&slider, Qt::LeftButton, {}, thumb);
    slider.setValue(20000);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, thumb);
    EXPECT_TRUE(changes.empty());
}

TEST_F(PositionSliderTest, HandledKeysLeaveTheSliderToTheWindow) {
    std::vector<int> keys;
    QObject::connect(&slider, &PositionSlider::keyDown, [&keys](int key, bool* handled) {
        keys.push_back(key);
        if (key == Qt::Key_Right)
            *handled = true;
    });
    SetQuietly(16000);
    QTest::keyClick(&slider, Qt::Key_Right);
    EXPECT_EQ(slider.value(), 16000);
    EXPECT_TRUE(changes.empty());

    QTest::keyClick(&slider, Qt::Key_Left);
    EXPECT_EQ(slider.value(), 16000 - PositionSlider::SingleStep);
    EXPECT_EQ(changes, std::vector<int>{16000 - PositionSlider::SingleStep});
    EXPECT_EQ(keys, (std::vector<int>{Qt::Key_Right, Qt::Key_Left}));
}

TEST_F(PositionSliderTest, MouseSignalsCarryXAndMouseDownSeesTheValueBeforeThePress) {
    SetQuietly(16000);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(700, 16));
    QTest::mouseMove(&slider, QPoint(710, 12));
    QTest::mouseMove(&slider, QPoint(725, 30));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(730, 5));
    EXPECT_EQ(downs, std::vector<int>{700});
    EXPECT_EQ(valuesAtDown, std::vector<int>{16000});
    EXPECT_EQ(moves, (std::vector<int>{710, 725}));
    EXPECT_EQ(ups, std::vector<int>{730});
    // The groove press moved the slider toward x; the change is reported once, at the release.
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_GT(slider.value(), 16000);
}

} // namespace
