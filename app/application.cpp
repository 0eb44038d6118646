// SPDX-License-Identifier: MIT
#include "app/application.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QStringList>
#include <QWindow>
#include <algorithm>
#include <exception>

#include "app/mainwindow.h"
#include "dialogs/exitdialog.h"
#include "engine/error.h"
#include "records/gui/recordswindow.h"
#include "results/gui/resultswindow.h"
#include "ui/messenger.h"

namespace dovex::app {

Application::Application(std::filesystem::path dataDir) : dataDir_(std::move(dataDir)) {}

Application::~Application() { delete main_.data(); }

QString DataFileMessage(const QString& file, const QString& reason, bool ending) {
    return QStringLiteral("　データファイルを読み込めません：") + file + QStringLiteral("　\n") +
           reason +
           (ending ? QStringLiteral("\nプログラムを終了します。")
                   : QStringLiteral("\n前に読み込んだデータで続けます。"));
}

bool Application::loadState(bool starting) {
    auto s = std::make_unique<AppState>(dataDir_);
    try {
        LoadStartupData(*s);
    } catch (const DataFileError& e) {
        ui::messenger().beep();
        ui::messenger().show(nullptr,
                             DataFileMessage(QString::fromStdString(e.file()),
                                             QString::fromUtf8(e.what()), starting),
                             ui::Icon::Exclamation);
        return false;
    } catch (const std::exception& e) {
        ui::messenger().beep();
        ui::messenger().show(nullptr,
                             DataFileMessage(QString(), QString::fromUtf8(e.what()), starting),
                             ui::Icon::Exclamation);
        return false;
    }
    state_ = std::move(s);
    return true;
}

bool Application::start() {
    if (!loadState()) return false;
    if (!results_) {
        results_ = std::make_unique<ui::ResultsWindow>(*this);
        // The program never runs on without a window: closing the results table window while
        // the main window is closed asks whether to end.
        connect(results_.get(), &ui::ResultsWindow::closedByCloseBox, this, [this] {
            if (!anyWindowShown()) exit_->present();
        });
    }
    if (!exit_) {
        exit_ = std::make_unique<ui::ExitDialog>();
        connect(exit_.get(), &ui::ExitDialog::exitConfirmed, this, [this] { confirmExit(); });
        connect(exit_.get(), &ui::ExitDialog::exitDeclined, this, [this] { exitDeclined(); });
        // Closing the confirmation by its close box only closes it, unless no other window is
        // left: then it means "do not end", and the main window comes back.
        connect(exit_.get(), &ui::ExitDialog::closedByCloseBox, this, [this] {
            if (!quitting_ && !anyWindowShown()) exitDeclined();
        });
    }
    if (!help_)
        help_ = std::make_unique<HelpController>(FindManualDir(
            QCoreApplication::applicationDirPath(), QStringLiteral(DOVEX_SOURCE_MANUAL_DIR)));
    openMainWindow();
    return true;
}

void Application::openMainWindow() {
    main_ = new MainWindow(*state_, *results_);
    connect(main_, &MainWindow::exitRequested, this,
            [this](bool byCloseBox) { showExitConfirmation(byCloseBox); });
    connect(main_, &MainWindow::recordsRequested, this, [this] { openRecords(); });
    main_->startup();
    // A table that holds rows keeps them, drawn as they were: they may not have been saved.
    if (state_->table.empty()) results_->resetForStartup();
    results_->setUserNameLabel(QString::fromStdString(state_->userName));
    placeWindows();
    results_->show();
    main_->show();
    main_->raise();
    main_->activateWindow();
    mainClosed_ = false;
}

void Application::placeWindows() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    // The frames are known once a window has been shown; before that, a usual title bar and
    // border.
    QMargins frame(4, 28, 4, 4);
    if (const QWindow* w = results_->windowHandle();
        w && w->isVisible() && !w->frameMargins().isNull())
        frame = w->frameMargins();
    const QSize mainNatural = main_->sizeHint().expandedTo(main_->minimumSizeHint());
    main_->resize(mainNatural);
    // Lay the window out at that size now (a hidden window would wait until it is shown), to
    // learn where its command row lies.
    main_->layout()->invalidate();
    main_->layout()->activate();
    const WindowPlan plan =
        PlanWindows(screen->availableGeometry(), frame, mainNatural, main_->commandRow(),
                    results_->sizeHint().expandedTo(results_->size()));
    const QSize inner(frame.left() + frame.right(), frame.top() + frame.bottom());
    main_->resize(plan.main.size() - inner);
    if (mainPlaced_) {
        // A main window loaded anew comes back where the closed one was.
        main_->move(mainPos_);
    } else {
        main_->move(plan.main.topLeft());
    }
    if (!resultsPlaced_) {
        resultsPlaced_ = true;
        results_->resize(plan.results.size() - inner);
        results_->move(plan.results.topLeft());
    }
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
    if (byCloseBox) {
        mainClosed_ = true;
        if (main_) {
            mainPos_ = main_->pos();
            mainPlaced_ = true;
        }
    }
    exit_->present();
}

bool Application::anyWindowShown() const {
    return (main_ && !mainClosed_ && main_->isVisible()) || results_->isVisible() ||
           exit_->isVisible();
}

void Application::exitDeclined() {
    if (!mainClosed_ && main_) {
        main_->show();
        main_->raise();
        main_->activateWindow();
        return;
    }
    // The main window was closed: showing it loads it anew, which runs the whole start-up (data
    // files, defaults, user name) but keeps the rows of the results table, which may not have
    // been saved. When the data files can no longer be read, the message says so and the run
    // goes on with the data read before.
    exit_->hide();
    delete main_.data();
    const ResultsTable rows = state_->table;
    loadState(false);
    state_->table = rows;
    openMainWindow();
}

ResultsTable& Application::table() { return state_->table; }

void Application::openRecords() {
    if (!records_) records_ = std::make_unique<ui::RecordsWindow>(*this, dataDir_);
    records_->show();
    records_->raise();
    records_->activateWindow();
}

void Application::applyRecordConditions(const ExposureConditions& c, const ArbitraryFilter& filter,
                                        const QString& source) {
    showMainWindow();
    if (main_) main_->applyRecordConditions(c, filter, source);
}

int Application::resultsRoom() const { return ResultsTable::kCapacity - state_->table.count(); }

bool Application::appendRecordResult(const ExposureConditions& c, const DoseResult& d) {
    if (!results_->appendCurrent(c, d, CurrentSurface{})) return false;
    results_->show();
    return true;
}

QString Application::recordsUserName() const { return QString::fromStdString(state_->userName); }

QString Application::userName() const { return QString::fromStdString(state_->userName); }

double& Application::airWOverE() { return state_->tables.airWOverE; }

void Application::loadRowAsCurrent(const ResultRow& row) {
    LoadRowIntoCurrent(row, state_->conditions, state_->dose, state_->surface);
    if (main_) main_->currentReplacedByRow();
}

void Application::resetMainAfterErase() {
    if (main_) main_->resetAfterErase();
}

void Application::resetMainAfterPrint() {
    if (main_) main_->resetAfterPrint();
}

void Application::showMainWindow() {
    if (!main_ || mainClosed_) {
        exitDeclined();
        return;
    }
    main_->show();
    main_->raise();
    main_->activateWindow();
}

WindowPlan PlanWindows(const QRect& area, const QMargins& frame, const QSize& mainNatural,
                       const QRect& commandRow, const QSize& resultsNatural) {
    const QSize extra(frame.left() + frame.right(), frame.top() + frame.bottom());
    constexpr int kGap = 6;
    WindowPlan plan;
    plan.main = QRect(area.topLeft(), (mainNatural + extra).boundedTo(area.size()));
    // How much of the main window's height its command row and what lies below it take.
    const int below = std::max(0, mainNatural.height() - commandRow.top());
    const int commandsTop = plan.main.bottom() - frame.bottom() - below;

    // The results window keeps the shape of its natural size; below about 60 % of it the table
    // is hard to read.
    const double aspect = double(resultsNatural.height()) / std::max(1, resultsNatural.width());
    const int readableWidth = resultsNatural.width() * 6 / 10;
    const int readableHeight = resultsNatural.height() * 6 / 10;
    auto fitted = [&](int maxWidth, int maxHeight) {
        int w = std::min(resultsNatural.width(), maxWidth - extra.width());
        int h = std::min(resultsNatural.height(), maxHeight - extra.height());
        w = std::min(w, int(h / aspect));
        h = std::min(h, int(w * aspect));
        return QSize(w, h) + extra;
    };

    const int rightSpace = area.right() - plan.main.right() - kGap;
    const int belowSpace = area.bottom() - plan.main.bottom() - kGap;
    if (rightSpace - extra.width() >= readableWidth) {
        const QSize s = fitted(rightSpace, area.height());
        plan.results = QRect(QPoint(area.right() + 1 - s.width(), area.top()), s);
    } else if (belowSpace - extra.height() >= readableHeight) {
        const QSize s = fitted(area.width(), belowSpace);
        plan.results =
            QRect(QPoint(area.right() + 1 - s.width(), area.bottom() + 1 - s.height()), s);
    } else {
        // Over the main window's conditions and results, ending above its command row.
        const QSize s = fitted(area.width(), commandsTop - kGap - area.top());
        plan.results = QRect(QPoint(area.right() + 1 - s.width(), area.top()), s);
    }
    return plan;
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
