// SPDX-License-Identifier: MIT
#pragma once
// The results table window "  Calculation Results by Dovex": the kept rows drawn on a surface
// with its own 1160-unit-wide coordinate system scaled to the widget, and the commands save,
// read, erase, totals, print and "結果表を背面へ".
#include <QWidget>
#include <functional>
#include <memory>

#include "results/gui/resultscontext.h"
#include "results/model.h"

class QLabel;
class QPushButton;

namespace dovex::ui {

class ResultsSurface;
class DataSaveDialog;
class DataReadDialog;

class ResultsWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ResultsWindow(ResultsContext& ctx, QWidget* parent = nullptr);
    ~ResultsWindow() override;

    // The add command of the main window: stores the current calculation as the next row, draws
    // it (with the headings and grid when it is the first row) and, when the fifteenth row was
    // stored, beeps and shows the capacity warning. Returns false (and changes nothing) when
    // the table was already full.
    bool appendCurrent(const ExposureConditions& c, const DoseResult& d, const CurrentSurface& s);
    // Start-up: cleared table, hidden grid and the "Dovex-SE" banner with the user's name.
    void resetForStartup();
    // A user name was accepted or the guest name chosen: redraws the empty-table banner with the
    // edition label ("Dovex-SE" or "Dovex-V") and the current name. A table holding rows keeps
    // its drawing (the rows stay visible).
    void redrawBanner(const QString& editionLabel);
    // The name label "Label1" of the window.
    void setUserNameLabel(const QString& name);

    // The commands, as their buttons call them (public for the application's tests).
    void saveCommand();
    void readCommand();
    void eraseCommand();
    void printCommand();
    void totalsCommand();
    void sendToBackCommand();

    // Chooses the PDF file when no printer is usable and the user wants the page as a PDF.
    // Default: a file dialog. Tests replace it; an empty result cancels.
    void setPdfPathChooser(std::function<QString()> chooser);
    // Printing goes to this printer name instead of the default printer (tests: empty = the
    // default printer; "pdf:PATH" writes the page to PATH).
    void setPrinterOverride(const QString& target);

    ResultsSurface* surface() const { return surface_; }
    DataSaveDialog* saveDialog();
    DataReadDialog* readDialog();
    QPushButton* totalsButton() const { return totals_; }

    // Called by the Data Read dialog after a file was fully read: replaces the table, makes
    // each row current in turn and redraws.
    void adoptReadTable(const ResultsTable& table, double airWOverE, bool airSet);

  signals:
    // The window was closed by its close box (it is only hidden).
    void closedByCloseBox();

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void drawAllRows();
    void showFrame(bool on);
    void drawBanner(const QString& editionLabel);

    ResultsContext& ctx_;
    ResultsSurface* surface_ = nullptr;
    QPushButton* totals_ = nullptr;
    bool totalsShown_ = false;  // the totals line shows the sums (kept up to date)
    QLabel* nameLabel_ = nullptr;
    DataSaveDialog* saveDialog_ = nullptr;
    DataReadDialog* readDialog_ = nullptr;
    std::function<QString()> pdfChooser_;
    QString printerOverride_;
};

}  // namespace dovex::ui
