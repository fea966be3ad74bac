#pragma once

#include <QStringList>

// The cases of a text table, one a line, columns separated by " => " (a line may end in " =>");
// "\r" and "\n" stand for CR and LF.
inline QList<QStringList> Rows(const char* table) {
    QList<QStringList> rows;
    for (QString line : QString::fromUtf8(table).split(u'\n', Qt::SkipEmptyParts))
        rows += (line.replace("\\r", "\r").replace("\\n", "\n") + u' ').split(" => ");
    for (QStringList& row : rows)
        row.last().chop(1);
    return rows;
}
