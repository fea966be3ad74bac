#pragma once

#include <QListWidget>
#include <QStringList>

// The texts of a list box, first to last.
inline QStringList EntriesOf(const QListWidget* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->item(i)->text();
    return entries;
}
