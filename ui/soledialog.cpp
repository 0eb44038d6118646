// SPDX-License-Identifier: MIT
#include "ui/soledialog.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>
#include <vector>

#include "ui/messenger.h"

namespace dovex::ui {
namespace {

std::vector<QPointer<QWidget>>& Joined() {
    static std::vector<QPointer<QWidget>> dialogs;
    return dialogs;
}

class EscapeKey : public QObject {
  public:
    EscapeKey(QObject* parent, std::function<void()> cancel)
        : QObject(parent), cancel_(std::move(cancel)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(e)->key() != Qt::Key_Escape)
            return QObject::eventFilter(watched, e);
        cancel_();
        return true;
    }

  private:
    std::function<void()> cancel_;
};

}  // namespace

void EscapeCancels(QWidget* dialog, std::function<void()> cancel) {
    // A key that no control of the dialog uses comes to the dialog itself.
    dialog->installEventFilter(new EscapeKey(dialog, std::move(cancel)));
}

void JoinSoleDialogs(QWidget* dialog) {
    auto& all = Joined();
    std::erase_if(all, [](const QPointer<QWidget>& w) { return w.isNull(); });
    all.emplace_back(dialog);
}

bool MayOpenSoleDialog(QWidget* dialog) {
    for (const QPointer<QWidget>& w : Joined()) {
        if (w.isNull() || w == dialog || !w->isVisible()) continue;
        messenger().beep();
        w->raise();
        w->activateWindow();
        return false;
    }
    return true;
}

}  // namespace dovex::ui
