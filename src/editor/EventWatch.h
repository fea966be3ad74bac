#pragma once

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <functional>

// Hands one kind of event of a watched control to a handler of the window: key presses (with the
// key code) or the arrival of the focus. With `swallow` the control does not see the event.
class EventWatch : public QObject {
public:
    EventWatch(QObject* watched, QEvent::Type type, std::function<void(int key)> handler,
               bool swallow = false)
        : QObject(watched), type_(type), handler_(std::move(handler)), swallow_(swallow) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != type_)
            return QObject::eventFilter(watched, event);
        const bool isKey = type_ == QEvent::KeyPress || type_ == QEvent::KeyRelease;
        handler_(isKey ? static_cast<QKeyEvent*>(event)->key() : 0);
        return swallow_;
    }

private:
    QEvent::Type type_;
    std::function<void(int)> handler_;
    bool swallow_;
};
