#pragma once

#include <QString>

class QWidget;

// The file-open dialog with one filter entry: `pattern` lists masks separated by ";" (such as
// "*.txt;*.chp"). The dialog starts in the folder of `initialPath` and accepts only existing
// files. Returns the chosen path, or empty text when the user cancels.
QString OpenFileDialog(const QString& initialPath, const QString& description,
                       const QString& pattern, QWidget* owner, const QString& title);
