#pragma once

#include <QString>
#include <functional>

class QObject;

// Every message of the program goes through here. Without a handler a message is written to
// standard error and takes its default answer (the unattended run has nobody to answer it); the
// window program installs message boxes (InstallMessageBoxes); tests install a handler that
// records the messages and answers them.

enum class MessageIcon { None, Information, Exclamation, Question, Critical };
enum class MessageButtons { Ok, OkCancel };
enum class MessageResult { Ok, Cancel };

struct MessageRequest {
    QObject* parent = nullptr; // the window a box belongs to, or the session working for it
    QString text;
    QString title; // empty: the program's title
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

using MessageHandler = std::function<MessageResult(const MessageRequest&)>;

// Shows the message and waits for the answer.
MessageResult ShowMessage(QObject* parent, const QString& text,
                          MessageIcon icon = MessageIcon::None,
                          MessageButtons buttons = MessageButtons::Ok, const QString& title = {});

// Writes a message as one line "cueboard: TEXT" on standard error: where no box can be shown,
// and for an unattended run, which nobody watches to answer a box.
void WriteMessageLine(const QString& text);

// Replaces the handler; an empty handler restores the standard error line. Returns the old one.
MessageHandler SetMessageHandler(MessageHandler handler);
