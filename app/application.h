#pragma once
// The application: the program-wide state, the main window, the results table window and the
// exit confirmation, and the start-up that ties them together. The main window may be closed by
// its close box and loaded anew (which runs the whole start-up again); the results table window
// and the exit confirmation live for the whole run.
#include <QObject>
#include <QPointer>
#include <filesystem>
#include <memory>

#include "app/appstate.h"
#include "app/mainwindow.h"
#include "results/gui/resultscontext.h"

namespace dovex::ui {
class ResultsWindow;
class ExitDialog;
}  // namespace dovex::ui

namespace dovex::app {

class Application : public QObject, public ui::ResultsContext {
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

    // ResultsContext.
    ResultsTable& table() override;
    QString userName() const override;
    double& airWOverE() override;
    void loadRowAsCurrent(const ResultRow& row) override;
    void resetMainAfterErase() override;
    void resetMainAfterPrint() override;
    void showMainWindow() override;

  signals:
    // "はい" in the exit confirmation: the program ends at once.
    void quitRequested();

  private:
    bool loadState();
    void openMainWindow();
    void showExitConfirmation(bool byCloseBox);
    void confirmExit();
    void exitDeclined();

    std::filesystem::path dataDir_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<ui::ResultsWindow> results_;
    std::unique_ptr<ui::ExitDialog> exit_;
    QPointer<MainWindow> main_;
    bool mainClosed_ = false;
    bool resultsPlaced_ = false;
    bool quitting_ = false;
};

// The data folder: the value of "--data-dir DIR" or "--data-dir=DIR" among the arguments, else
// the environment value (DOVEX_DATA_DIR) when not empty, else the folder built in.
QString ResolveDataDir(const QStringList& arguments, const QString& environmentValue,
                       const QString& builtIn);

// The start-up failure message for a data file.
QString DataFileMessage(const QString& file, const QString& reason);

}  // namespace dovex::app
