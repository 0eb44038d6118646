// SPDX-License-Identifier: MIT
#include "ui/enterkey.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>

namespace dovex::ui {
namespace {

constexpr const char* kEnterPresses = "dovexEnterPressesButtons";

// Sees every key before its receiver does, so that an Enter that an entry box has already used
// (to move the focus on to a button) never presses that button as well.
class EnterOnButton : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::KeyPress) return false;
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!button) return false;
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter) return false;
        if ((k->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        if (!button->window()->property(kEnterPresses).toBool() || !button->isEnabled())
            return false;
        button->click();
        return true;
    }
};

}  // namespace

void EnterPressesFocusedButtons(QWidget* window) {
    static QPointer<EnterOnButton> hook;
    window->setProperty(kEnterPresses, true);
    if (!hook && QCoreApplication::instance()) {
        hook = new EnterOnButton(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(hook);
    }
}

}  // namespace dovex::ui
