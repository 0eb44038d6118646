// SPDX-License-Identifier: MIT
#pragma once
// A messenger that records every message box and beep instead of showing them, and answers
// questions as the test says.
#include <QString>
#include <QStringList>
#include <vector>

#include "ui/messenger.h"

namespace dovex::apptest {

class Recorder : public ui::Messenger {
  public:
    struct Message {
        QString text;
        ui::Icon icon;
        bool question;
    };
    Recorder() { ui::setMessenger(this); }
    ~Recorder() override { ui::setMessenger(nullptr); }

    void beep() override { ++beeps; }
    void show(QWidget*, const QString& text, ui::Icon icon) override {
        messages.push_back({text, icon, false});
    }
    bool askOkCancel(QWidget*, const QString& text, ui::Icon icon) override {
        messages.push_back({text, icon, true});
        return answer;
    }
    bool askYesNo(QWidget*, const QString& text, ui::Icon icon) override {
        messages.push_back({text, icon, true});
        return answer;
    }

    void clear() {
        messages.clear();
        beeps = 0;
    }
    QStringList texts() const {
        QStringList t;
        for (const auto& m : messages) t << m.text;
        return t;
    }
    QString last() const { return messages.empty() ? QString() : messages.back().text; }

    std::vector<Message> messages;
    int beeps = 0;
    bool answer = true;
};

}  // namespace dovex::apptest
