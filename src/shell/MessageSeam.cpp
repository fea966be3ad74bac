#include "shell/MessageSeam.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace {

MessageHandler& CurrentHandler() {
    static MessageHandler handler;
    return handler;
}

MessageResult ShowMessageBox(const MessageRequest& request) {
    // Without a screen nobody could answer the box, and waiting for an answer would hang the
    // program: the message goes to standard error and takes its default answer.
    if (QGuiApplication::platformName() == u"offscreen" || !qobject_cast<QApplication*>(qApp)) {
        WriteMessageLine(request.text);
        return MessageResult::Ok;
    }
    QMessageBox box(request.parent);
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

MessageResult ShowMessage(QWidget* parent, const QString& text, MessageIcon icon,
                          MessageButtons buttons, const QString& title) {
    const MessageRequest request{parent, text, title, icon, buttons};
    const MessageHandler& handler = CurrentHandler();
    return handler ? handler(request) : ShowMessageBox(request);
}

void WriteMessageLine(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fprintf(stderr, "cueboard: %s\n", bytes.constData());
    std::fflush(stderr);
}

MessageHandler SetMessageHandler(MessageHandler handler) {
    MessageHandler old = std::move(CurrentHandler());
    CurrentHandler() = std::move(handler);
    return old;
}
