#include "chooser/ChooserWindow.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace {

// The first local file or folder of a drop; empty when the drop carries none.
QString DroppedPath(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return QString();
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo::exists(url.toLocalFile()))
            return url.toLocalFile();
    }
    return QString();
}

} // namespace

void frmTest::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedPath(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void frmTest::dropEvent(QDropEvent* event) {
    const QString path = DroppedPath(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // The editor runs modally: it opens once the drop has ended, not inside it.
    QTimer::singleShot(0, this, [this, path] { OpenDropped(path); });
}

void frmTest::OpenDropped(const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    SetDir1Path(folder);
    SetFile1Path(folder);
    if (info.isDir())
        return;
    if (ScanAndReport(info.absoluteFilePath()))
        OpenEditor(false);
}
