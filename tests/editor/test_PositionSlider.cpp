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
    QPoint ThumbCentre() const {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()
            ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this)
            .center();
    }
};

class PositionSliderTest : public ::testing::Test {
protected:
    void SetUp() override {
        slider.setGeometry(0, 0, 857, 33);
        slider.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider));
        QObject::connect(&slider, &PositionSlider::userChanged,
                         [this](int value) { changes.push_back(value); });
        QObject::connect(&slider, &PositionSlider::keyDown, [this](int key, bool* handled) {
            keys.push_back(key);
            *handled = key == handledKey;
        });
        QObject::connect(&slider, &PositionSlider::mouseDown, [this](int x) {
            mouse << QStringLiteral("down %1 at %2").arg(x).arg(slider.value());
        });
        QObject::connect(&slider, &PositionSlider::mouseMove,
                         [this](int x) { mouse << QStringLiteral("move %1").arg(x); });
        QObject::connect(&slider, &PositionSlider::mouseUp,
                         [this](int x) { mouse << QStringLiteral("up %1").arg(x); });
    }

    std::function<void()> Key(Qt::Key key) {
        return [this, key] { QTest::keyClick(&slider, key); };
    }
    // Presses the thumb, moves right by dx in four steps (shaking dy up and down), releases.
    std::function<void()> DragBy(int dx, int dy = 0) {
        return [this, dx, dy] {
            const QPoint from = slider.ThumbCentre();
            QTest::mousePress(&slider, Qt::LeftButton, {}, from);
            for (int step = 1; step <= 4; ++step)
                QTest::mouseMove(&slider, from + QPoint(dx * step / 4, step % 2 ? dy : -dy));
            QTest::mouseRelease(&slider, Qt::LeftButton, {}, from + QPoint(dx, 0));
        };
    }

    ProbeSlider slider;
    int handledKey = -1; // the key the window takes for itself
    std::vector<int> changes, keys;
    QStringList mouse; // the mouse signals in order, with x (and the value under a press)
};

// From 16000, each gesture ends in [low, high]; a change by the user is reported once with the
// final value, the program's own values and gestures that end at 16000 never.
TEST_F(PositionSliderTest, UserChangesAreReportedOnceWithTheFinalValue) {
    constexpr int Single = PositionSlider::SingleStep, Page = PositionSlider::PageStep;
    const struct {
        const char* name;
        std::function<void()> run;
        int low, high;
        bool byUser = true;
    } gestures[] = {
        {"drag right", DragBy(100), 16001, 32000},
        {"press and release on the thumb", DragBy(0), 16000, 16000},
        {"shake the thumb up and down", DragBy(0, 4), 16000, 16000},
        {"press, moves and release on the groove",
         [&] {
             QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(700, 16));
             QTest::mouseMove(&slider, QPoint(710, 12));
             QTest::mouseMove(&slider, QPoint(725, 30));
             QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(730, 5));
             EXPECT_EQ(mouse.join(", "), "down 700 at 16000, move 710, move 725, up 730");
         },
         16001, 32000},
        {"right arrow", Key(Qt::Key_Right), 16000 + Single, 16000 + Single},
        {"page up", Key(Qt::Key_PageUp), 16000 + Page, 16000 + Page},
        {"home", Key(Qt::Key_Home), 0, 0},
        {"a key the slider ignores", Key(Qt::Key_A), 16000, 16000},
        {"a key the window handles",
         [&] {
             handledKey = Qt::Key_Right;
             QTest::keyClick(&slider, Qt::Key_Right);
             EXPECT_EQ(keys, std::vector<int>{Qt::Key_Right});
         },
         16000, 16000},
        {"wheel notch",
         [&] {
             const QPointF at = slider.ThumbCentre();
             QWheelEvent wheel(at, slider.mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                               Qt::NoModifier, Qt::NoScrollPhase, false);
             QApplication::sendEvent(&slider, &wheel);
         },
         16000 - Page + 1, 16000 + Page - 1},
        {"the program's value", [&] { slider.setValue(20000); }, 20000, 20000, false},
        {"the program's value while the button is held",
         [&] {
             const QPoint thumb = slider.ThumbCentre();
             QTest::mousePress(&slider, Qt::LeftButton, {}, thumb);
             slider.setValue(20000);
             QTest::mouseRelease(&slider, Qt::LeftButton, {}, thumb);
         },
         20000, 20000, false},
    };
    for (const auto& gesture : gestures) {
        SCOPED_TRACE(gesture.name);
        slider.setValue(16000);
        handledKey = -1;
        changes.clear();
        keys.clear();
        mouse.clear();
        gesture.run();
        EXPECT_GE(slider.value(), gesture.low);
        EXPECT_LE(slider.value(), gesture.high);
        const bool changed = gesture.byUser && slider.value() != 16000;
        EXPECT_EQ(changes, changed ? std::vector<int>{slider.value()} : std::vector<int>{});
    }
}

} // namespace
