#pragma once

#include <QLatin1String>
#include <QString>
#include <QWidget>

// A control of a window, made with its design name as object name (tests and the layout find it
// by that name).
template <class T> T* MakeControl(QWidget* parent, const char* name) {
    auto* control = new T(parent);
    control->setObjectName(QLatin1String(name));
    return control;
}

template <class T> T* MakeControl(QWidget* parent, const char* name, const QString& text) {
    auto* control = new T(text, parent);
    control->setObjectName(QLatin1String(name));
    return control;
}

// Cuts every connection from a window's controls to the window itself. Called first in a
// window's destructor: QWidget's own destructor hides the controls, and a control that still
// emits then (a held button lets go when it loses the focus) must not reach the half-destroyed
// window.
inline void DisconnectControls(QObject* window) {
    for (QObject* control : window->findChildren<QObject*>())
        control->disconnect(window);
}
