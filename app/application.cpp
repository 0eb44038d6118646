#include "app/application.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <algorithm>
#include <exception>

#include "app/common/messenger.h"
#include "app/mainwindow.h"
#include "dialogs/exitdialog.h"
#include "engine/error.h"
#include "results/gui/resultswindow.h"

namespace dovex::app {

Application::Application(std::filesystem::path dataDir) : dataDir_(std::move(dataDir)) {}

Application::~Application() { delete main_.data(); }

QString DataFileMessage(const QString& file, const QString& reason) {
    return QStringLiteral("　データファイルを読み込めません：") + file + QStringLiteral("　\n") +
           reason + QStringLiteral("\nプログラムを終了します。");
}

bool Application::loadState() {
    auto s = std::make_unique<AppState>(dataDir_);
    try {
        LoadStartupData(*s);
    } catch (const DataFileError& e) {
        ui::messenger().beep();
        ui::messenger().show(
            nullptr, DataFileMessage(QString::fromStdString(e.file()), QString::fromUtf8(e.what())),
            ui::Icon::Exclamation);
        return false;
    } catch (const std::exception& e) {
        ui::messenger().beep();
        ui::messenger().show(nullptr, DataFileMessage(QString(), QString::fromUtf8(e.what())),
                             ui::Icon::Exclamation);
        return false;
    }
    state_ = std::move(s);
    return true;
}

bool Application::start() {
    if (!loadState()) return false;
    if (!results_) results_ = std::make_unique<ui::ResultsWindow>(*this);
    if (!exit_) {
        exit_ = std::make_unique<ui::ExitDialog>();
        connect(exit_.get(), &ui::ExitDialog::exitConfirmed, this, [this] { confirmExit(); });
        connect(exit_.get(), &ui::ExitDialog::exitDeclined, this, [this] { exitDeclined(); });
    }
    openMainWindow();
    return true;
}

void Application::openMainWindow() {
    main_ = new MainWindow(*state_, *results_);
    connect(main_, &MainWindow::exitRequested, this,
            [this](bool byCloseBox) { showExitConfirmation(byCloseBox); });
    main_->startup();
    results_->resetForStartup();
    results_->setUserNameLabel(QString::fromStdString(state_->userName));
    if (!results_->isVisible() && !resultsPlaced_) {
        // Beside the main window: the results table at the lower right of the screen, the main
        // window at the upper left, so that both stay in reach.
        resultsPlaced_ = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            const QSize size = results_->sizeHint().expandedTo(results_->size());
            results_->move(std::max(area.left(), area.right() - size.width() - 20),
                           std::max(area.top(), area.bottom() - size.height() - 40));
            main_->move(area.topLeft() + QPoint(10, 10));
        }
    }
    results_->show();
    main_->show();
    main_->raise();
    main_->activateWindow();
    mainClosed_ = false;
}

void Application::confirmExit() {
    // Ending the program closes every window; the main window's close box must not ask again.
    // All windows close at once; none may veto or ask again (a window that ignores its close
    // event would otherwise stop the application's quit).
    quitting_ = true;
    for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
    emit quitRequested();
}

void Application::showExitConfirmation(bool byCloseBox) {
    if (quitting_) return;
    if (byCloseBox) mainClosed_ = true;
    exit_->present();
}

void Application::exitDeclined() {
    if (!mainClosed_ && main_) {
        main_->show();
        main_->raise();
        main_->activateWindow();
        return;
    }
    // The main window was closed: showing it loads it anew, which runs the whole start-up.
    delete main_.data();
    if (!loadState()) {
        emit quitRequested();
        return;
    }
    openMainWindow();
}

ResultsTable& Application::table() { return state_->table; }

QString Application::userName() const { return QString::fromStdString(state_->userName); }

double& Application::airWOverE() { return state_->tables.airWOverE; }

void Application::loadRowAsCurrent(const ResultRow& row) {
    LoadRowIntoCurrent(row, state_->conditions, state_->dose, state_->surface);
}

void Application::resetMainAfterErase() {
    if (main_) main_->resetAfterErase();
}

void Application::resetMainAfterPrint() {
    if (main_) main_->resetAfterPrint();
}

void Application::showMainWindow() {
    if (!main_) {
        exitDeclined();
        return;
    }
    main_->show();
    main_->raise();
    main_->activateWindow();
}

QString ResolveDataDir(const QStringList& arguments, const QString& environmentValue,
                       const QString& builtIn) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QStringLiteral("--data-dir") && i + 1 < arguments.size()) return arguments[i + 1];
        if (a.startsWith(QStringLiteral("--data-dir="))) return a.mid(11);
    }
    if (!environmentValue.isEmpty()) return environmentValue;
    return builtIn;
}

}  // namespace dovex::app
