#pragma once

#include <QString>
#include <functional>

class QWidget;

// Every message box of the program goes through here. The real handler shows a QMessageBox (or,
// with no screen to show it on, writes the text to standard error and answers Ok); tests install
// a handler that records the messages and answers them.

enum class MessageIcon { None, Information, Exclamation, Question, Critical };
enum class MessageButtons { Ok, OkCancel };
enum class MessageResult { Ok, Cancel };

struct MessageRequest {
    QWidget* parent = nullptr;
    QString text;
    QString title; // empty: the program's title
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

using MessageHandler = std::function<MessageResult(const MessageRequest&)>;

// Shows the message and waits for the answer.
MessageResult ShowMessage(QWidget* parent, const QString& text,
                          MessageIcon icon = MessageIcon::None,
                          MessageButtons buttons = MessageButtons::Ok, const QString& title = {});

// Writes a message as one line "cueboard: TEXT" on standard error: where no box can be shown,
// and for an unattended run, which nobody watches to answer a box.
void WriteMessageLine(const QString& text);

// Replaces the handler; an empty handler restores the real message box. Returns the old one.
MessageHandler SetMessageHandler(MessageHandler handler);
