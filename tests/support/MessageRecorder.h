#pragma once

#include "shell/MessageSeam.h"

#include <QStringList>
#include <deque>
#include <vector>

// Records every message the program shows while it lives and answers them: with the queued
// answers first, then with Ok.
class MessageRecorder {
public:
    MessageRecorder() {
        previous_ = SetMessageHandler([this](const MessageRequest& request) {
            messages.push_back(request);
            if (answers.empty())
                return MessageResult::Ok;
            const MessageResult answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }
    ~MessageRecorder() { SetMessageHandler(std::move(previous_)); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QStringList texts() const {
        QStringList list;
        for (const MessageRequest& m : messages)
            list << m.text;
        return list;
    }

    std::vector<MessageRequest> messages;
    std::deque<MessageResult> answers;

private:
    MessageHandler previous_;
};
