#include "editor/MessageBoxes.h"

#include "shell/MessageSeam.h"

#include <QApplication>
#include <QMessageBox>

namespace {

MessageResult ShowMessageBox(const MessageRequest& request) {
    // Without a screen nobody could answer the box, and waiting for an answer would hang the
    // program: the message goes to standard error and takes its default answer.
    if (QGuiApplication::platformName() == u"offscreen" || !qobject_cast<QApplication*>(qApp)) {
        WriteMessageLine(request.text);
        return MessageResult::Ok;
    }
    // A session asks on behalf of the window it works for.
    QObject* owner = request.parent;
    while (owner && !owner->isWidgetType())
        owner = owner->parent();
    QMessageBox box(static_cast<QWidget*>(owner));
    box.setWindowTitle(request.title.isEmpty() ? QApplication::applicationDisplayName()
                                               : request.title);
    box.setText(request.text);
    switch (request.icon) {
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::None:
        break;
    }
    if (request.buttons == MessageButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    return box.exec() == QMessageBox::Ok ? MessageResult::Ok : MessageResult::Cancel;
}

} // namespace

void InstallMessageBoxes() {
    SetMessageHandler(ShowMessageBox);
}
