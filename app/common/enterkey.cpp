#include "app/common/enterkey.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace dovex::ui {
namespace {

class EnterOnButton : public QObject {
  public:
    explicit EnterOnButton(QWidget* window) : QObject(window), window_(window) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched != window_ || e->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, e);
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter) return false;
        if ((k->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        // The key reaches the window only when the focused control did not use it.
        auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
        if (!button || button->window() != window_ || !button->isEnabled() ||
            !button->isVisible())
            return false;
        k->accept();
        button->click();
        return true;
    }

  private:
    QWidget* window_;
};

}  // namespace

void EnterPressesFocusedButtons(QWidget* window) {
    window->installEventFilter(new EnterOnButton(window));
}

}  // namespace dovex::ui
