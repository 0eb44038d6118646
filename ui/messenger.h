// SPDX-License-Identifier: MIT
#pragma once
// Every message box of the program goes through this interface, so that tests can replace the
// real boxes by a recorder and answer questions themselves.
#include <QString>

class QWidget;

namespace dovex::ui {

enum class Icon { None, Warning, Exclamation, Information, Question };

class Messenger {
  public:
    virtual ~Messenger() = default;
    virtual void beep() = 0;
    // A message with an OK button.
    virtual void show(QWidget* parent, const QString& text, Icon icon) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool askOkCancel(QWidget* parent, const QString& text, Icon icon) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& text, Icon icon) = 0;
};

// The message boxes of the desktop (QMessageBox and QApplication::beep).
class BoxMessenger : public Messenger {
  public:
    void beep() override;
    void show(QWidget* parent, const QString& text, Icon icon) override;
    bool askOkCancel(QWidget* parent, const QString& text, Icon icon) override;
    bool askYesNo(QWidget* parent, const QString& text, Icon icon) override;
};

// The messenger in use: BoxMessenger unless a test installed another one.
Messenger& messenger();
void setMessenger(Messenger* m);  // nullptr restores the desktop boxes

}  // namespace dovex::ui
