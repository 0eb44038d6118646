// SPDX-License-Identifier: MIT
#pragma once
// The application: the program-wide state, the main window, the results table window and the
// exit confirmation, and the start-up that ties them together. The main window may be closed by
// its close box and loaded anew (which runs the whole start-up again); the results table window
// and the exit confirmation live for the whole run.
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <filesystem>
#include <memory>

#include "app/appstate.h"
#include "app/helpwindow.h"
#include "app/mainwindow.h"
#include "records/gui/recordscontext.h"
#include "results/gui/resultscontext.h"

namespace dovex::ui {
class ResultsWindow;
class ExitDialog;
class RecordsWindow;
}  // namespace dovex::ui

namespace dovex::app {

class Application : public QObject, public ui::ResultsContext, public ui::RecordsContext {
    Q_OBJECT
  public:
    explicit Application(std::filesystem::path dataDir);
    ~Application() override;

    // Loads every data file and shows the main window and the results table window. A missing
    // or faulty data file is reported with its name and start-up ends (false).
    bool start();

    AppState& state() { return *state_; }
    MainWindow* mainWindow() const { return main_; }
    ui::ResultsWindow* resultsWindow() const { return results_.get(); }
    ui::ExitDialog* exitDialog() const { return exit_.get(); }
    // The user's manual on F1 in any window (app/helpwindow.h).
    HelpController* help() const { return help_.get(); }
    // The dose-record window, created on the first "線量記録読込" (nullptr before).
    ui::RecordsWindow* recordsWindow() const { return records_.get(); }
    void openRecords();

    // ResultsContext.
    ResultsTable& table() override;
    QString userName() const override;
    double& airWOverE() override;
    void loadRowAsCurrent(const ResultRow& row) override;
    void resetMainAfterErase() override;
    void resetMainAfterPrint() override;
    void showMainWindow() override;

    // RecordsContext.
    void applyRecordConditions(const ExposureConditions& c, const ArbitraryFilter& filter,
                               const QString& source) override;
    int resultsRoom() const override;
    bool appendRecordResult(const ExposureConditions& c, const DoseResult& d) override;
    QString recordsUserName() const override;

  signals:
    // "はい" in the exit confirmation: the program ends at once.
    void quitRequested();

  private:
    // Reads every data file into a new state; on failure reports it and keeps the old state.
    bool loadState(bool starting = true);
    void openMainWindow();
    void placeWindows();
    bool anyWindowShown() const;
    void showExitConfirmation(bool byCloseBox);
    void confirmExit();
    void exitDeclined();

    std::filesystem::path dataDir_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<ui::ResultsWindow> results_;
    std::unique_ptr<ui::ExitDialog> exit_;
    std::unique_ptr<HelpController> help_;
    std::unique_ptr<ui::RecordsWindow> records_;
    QPointer<MainWindow> main_;
    bool mainClosed_ = false;
    bool resultsPlaced_ = false;
    bool mainPlaced_ = false;
    QPoint mainPos_;
    bool quitting_ = false;
};

// Where the two windows go on a screen whose free area (without task bars) is `area`. All sizes
// are of the windows' contents; `frame` is what the window manager adds around them. The main
// window goes to the upper left at its natural size, or smaller (it scrolls) where the area is
// smaller. The results table window goes beside or below it when there is room for a readable
// table there, else over the main window but ending above its command row (`commandRow`, in the
// main window's coordinates), so that the commands calculate, add, clear and exit stay in view.
// The rectangles returned are the windows' outer frames.
struct WindowPlan {
    QRect main;
    QRect results;
};
WindowPlan PlanWindows(const QRect& area, const QMargins& frame, const QSize& mainNatural,
                       const QRect& commandRow, const QSize& resultsNatural);

// The data folder: the value of "--data-dir DIR" or "--data-dir=DIR" among the arguments, else
// the environment value (DOVEX_DATA_DIR) when not empty, else the folder built in.
QString ResolveDataDir(const QStringList& arguments, const QString& environmentValue,
                       const QString& builtIn);

// The failure message for a data file: at start-up the program then ends (`ending`); when the
// main window is loaded anew it goes on with the data read before.
QString DataFileMessage(const QString& file, const QString& reason, bool ending = true);

}  // namespace dovex::app
