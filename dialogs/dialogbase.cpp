// SPDX-License-Identifier: MIT
#include "dialogs/dialogbase.h"

#include <QEvent>
#include <QKeyEvent>

#include "ui/enterkey.h"
#include "ui/fonts.h"
#include "ui/soledialog.h"

namespace dovex::ui {
namespace {

class KeyHook : public QObject {
  public:
    enum class Kind { Enter, AnyKey, FocusOut };
    KeyHook(QObject* parent, Kind kind, std::function<void()> action)
        : QObject(parent), kind_(kind), action_(std::move(action)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (kind_ == Kind::FocusOut) {
            if (e->type() == QEvent::FocusOut) action_();
            return QObject::eventFilter(watched, e);
        }
        if (e->type() != QEvent::KeyPress) return QObject::eventFilter(watched, e);
        const auto* k = static_cast<QKeyEvent*>(e);
        if (kind_ == Kind::AnyKey) {
            // Modifier keys alone and Tab keep their usual meaning.
            switch (k->key()) {
                case Qt::Key_Shift:
                case Qt::Key_Control:
                case Qt::Key_Alt:
                case Qt::Key_Meta:
                case Qt::Key_Tab:
                case Qt::Key_Backtab:
                    return QObject::eventFilter(watched, e);
                default:
                    action_();
                    return true;
            }
        }
        if (IsEnterKey(k->key())) {
            action_();
            return true;
        }
        return QObject::eventFilter(watched, e);
    }

  private:
    Kind kind_;
    std::function<void()> action_;
};

}  // namespace

bool IsEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

DialogWindow::DialogWindow(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setFont(MappedFont(kFontMeiryo, 10));
    EnterPressesFocusedButtons(this);
    JoinSoleDialogs(this);
}

void DialogWindow::present() {
    if (!opensOverOthers_ && !MayOpenSoleDialog(this)) return;
    show();
    raise();
    activateWindow();
}

void OnEnterKey(QWidget* w, std::function<void()> action) {
    w->installEventFilter(new KeyHook(w, KeyHook::Kind::Enter, std::move(action)));
}

void OnAnyKey(QWidget* w, std::function<void()> action) {
    w->installEventFilter(new KeyHook(w, KeyHook::Kind::AnyKey, std::move(action)));
}

void OnFocusOut(QWidget* w, std::function<void()> action) {
    w->installEventFilter(new KeyHook(w, KeyHook::Kind::FocusOut, std::move(action)));
}

}  // namespace dovex::ui
