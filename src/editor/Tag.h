#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

// A control's tag: a free text the program keeps with it (the timecode a "save as" box targets,
// whether the chapter icons are built, the timecode of a chapter icon).
inline void SetTag(QObject* control, const QString& tag) {
    control->setProperty("Tag", tag);
}
inline QString Tag(const QObject* control) {
    return control->property("Tag").toString();
}
