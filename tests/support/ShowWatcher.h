#pragma once

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <functional>

// Calls `onShown` for every window of type T as it is shown (a modal window is shown from inside
// its own exec, so this is the moment to look at it and to close it).
template <class T> class ShowWatcher : public QObject {
public:
    explicit ShowWatcher(std::function<void(T*)> onShown) : onShown_(std::move(onShown)) {
        qApp->installEventFilter(this);
    }
    ~ShowWatcher() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* window = qobject_cast<T*>(object); window && window->isWindow()) {
                ++shown;
                onShown_(window);
            }
        }
        return false;
    }

    int shown = 0;

private:
    std::function<void(T*)> onShown_;
};
