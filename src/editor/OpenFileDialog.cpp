#include "editor/OpenFileDialog.h"

#include <QDir>
#include <QFileDialog>

QString OpenFileDialog(const QString& initialPath, const QString& description,
                       const QString& pattern, QWidget* owner, const QString& title) {
    const QString initial = QDir::fromNativeSeparators(initialPath);
    const qsizetype slash = initial.lastIndexOf(u'/');
    const QString folder = slash >= 0 ? initial.left(slash) : QString();

    QStringList masks = pattern.split(u';', Qt::SkipEmptyParts);
    for (QString& mask : masks)
        mask = mask.trimmed();

    QFileDialog dialog(owner, title, folder);
    dialog.setObjectName(QStringLiteral("OpenFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(description + QStringLiteral(" (") + masks.join(u' ') + u')');
    if (slash >= 0 && slash + 1 < initial.size())
        dialog.selectFile(initial.mid(slash + 1));
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return QString();
    const QString path = chosen.first().trimmed();
    return path.size() >= 3 ? path : initialPath;
}
