// SPDX-License-Identifier: MIT
#include "ui/messenger.h"

#include <QApplication>
#include <QMessageBox>

namespace dovex::ui {
namespace {

QMessageBox::Icon ToBoxIcon(Icon icon) {
    switch (icon) {
        case Icon::Warning:
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

int Run(QWidget* parent, const QString& text, Icon icon, QMessageBox::StandardButtons buttons) {
    // Message boxes carry the program's name as their title.
    QMessageBox box(ToBoxIcon(icon), QStringLiteral("Dovex_SE"), text, buttons, parent);
    return box.exec();
}

Messenger* g_current = nullptr;

}  // namespace

void BoxMessenger::beep() { QApplication::beep(); }

void BoxMessenger::show(QWidget* parent, const QString& text, Icon icon) {
    Run(parent, text, icon, QMessageBox::Ok);
}

bool BoxMessenger::askOkCancel(QWidget* parent, const QString& text, Icon icon) {
    return Run(parent, text, icon, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

bool BoxMessenger::askYesNo(QWidget* parent, const QString& text, Icon icon) {
    return Run(parent, text, icon, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

Messenger& messenger() {
    static BoxMessenger boxes;
    return g_current ? *g_current : boxes;
}

void setMessenger(Messenger* m) { g_current = m; }

}  // namespace dovex::ui
