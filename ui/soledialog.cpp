#include "ui/soledialog.h"

#include <QKeySequence>
#include <QPointer>
#include <QShortcut>
#include <QWidget>
#include <vector>

#include "ui/messenger.h"

namespace dovex::ui {
namespace {

std::vector<QPointer<QWidget>>& Joined() {
    static std::vector<QPointer<QWidget>> dialogs;
    return dialogs;
}

}  // namespace

void EscapeCancels(QWidget* dialog, std::function<void()> cancel) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), dialog);
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, dialog,
                     [cancel = std::move(cancel)] { cancel(); });
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
