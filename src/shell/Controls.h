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
