#include "shell/MessageSeam.h"

#include <cstdio>

namespace {

MessageHandler& CurrentHandler() {
    static MessageHandler handler;
    return handler;
}

} // namespace

MessageResult ShowMessage(QObject* parent, const QString& text, MessageIcon icon,
                          MessageButtons buttons, const QString& title) {
    const MessageRequest request{parent, text, title, icon, buttons};
    const MessageHandler& handler = CurrentHandler();
    if (handler)
        return handler(request);
    WriteMessageLine(request.text);
    return MessageResult::Ok;
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
