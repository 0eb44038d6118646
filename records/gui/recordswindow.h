// SPDX-License-Identifier: MIT
#pragma once
// The dose-record window: the events of the DICOM dose reports and image headers a user chooses,
// read and calculated off the window's thread (with a progress bar and a stop command), listed
// with every assumed value marked; the events refused and the files skipped, each with its
// reason; and the commands that set the main window's conditions from an event, keep events in
// the results table, survey the events shown against the reference levels and edit the units'
// device profiles. The reading, mapping and calculation are those of records/.
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "records/gui/recordscontext.h"
#include "records/process.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class QThread;
class QTimer;

namespace dovex::ui {

class EventTableModel;
class EventFilter;
class SurveyWindow;
class ProfileDialog;

class RecordsWindow : public QWidget {
    Q_OBJECT
  public:
    RecordsWindow(RecordsContext& ctx, std::filesystem::path dataDir, QWidget* parent = nullptr);
    ~RecordsWindow() override;

    // Reads the files and folders and calculates their events off the window's thread; the
    // events listed before are replaced when the run ends. False (with a message) while a run
    // is going on.
    bool readPaths(const QStringList& paths);
    // The commands, as their buttons call them.
    void chooseFiles();
    void chooseFolder();
    void stopRun();
    void applySelected();       // "条件に反映"
    void addSelected();         // "結果表に追加"
    void openSurvey();          // "調査集計"
    void openProfiles();        // "装置設定"
    void setEstimate(bool on);  // "実効線量も推定する": the listed events are calculated again
    // The events are calculated again with the data read now (the device profiles saved).
    void recalculate();

    bool running() const { return job_ != nullptr; }
    const records::RunOutcome& run() const { return run_; }
    // The events the table shows now (after the filter), in its order.
    std::vector<const records::EventOutcome*> shownEvents() const;
    QTableView* eventView() const { return view_; }
    EventFilter* filter() const { return filter_; }
    QComboBox* unitChoice() const { return unitChoice_; }
    QComboBox* partChoice() const { return partChoice_; }
    QTableWidget* refusedList() const { return refused_; }
    QTableWidget* skippedList() const { return skipped_; }
    QProgressBar* progressBar() const { return progress_; }
    SurveyWindow* surveyWindow() const;
    ProfileDialog* profileDialog() const;
    const records::RecordData* data() const { return data_.get(); }
    const std::filesystem::path& dataDir() const { return dataDir_; }

    // The file choosers (tests replace them; an empty answer cancels).
    void setFileChooser(std::function<QStringList()> f) { chooseFiles_ = std::move(f); }
    void setFolderChooser(std::function<QString()> f) { chooseFolder_ = std::move(f); }
    // Where the survey window saves (tests replace the file dialog).
    void setSaveChooser(SaveChooser f);

  signals:
    // A run (reading or calculating again) ended and its events are listed.
    void runFinished();

  protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    struct Job;
    void start(std::shared_ptr<Job> job);
    void finish();
    void showProgress();
    void showRun();
    void fillChoices();
    void fitColumns();
    void choiceChanged();
    void updateCommands();
    std::vector<const records::EventOutcome*> selectedEvents() const;

    RecordsContext& ctx_;
    std::filesystem::path dataDir_;
    std::shared_ptr<records::RecordData> data_;
    records::RunOutcome run_;
    std::vector<std::filesystem::path> paths_;  // of the events listed
    bool estimate_ = true;

    std::shared_ptr<Job> job_;
    QThread* thread_ = nullptr;
    QTimer* poll_ = nullptr;

    EventTableModel* model_ = nullptr;
    EventFilter* filter_ = nullptr;
    QTableView* view_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QTableWidget* refused_ = nullptr;
    QTableWidget* skipped_ = nullptr;
    QComboBox* unitChoice_ = nullptr;
    QComboBox* partChoice_ = nullptr;
    QCheckBox* estimateBox_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* count_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* filesButton_ = nullptr;
    QPushButton* folderButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* surveyButton_ = nullptr;
    QPushButton* profilesButton_ = nullptr;
    QPointer<SurveyWindow> survey_;
    QPointer<ProfileDialog> profiles_;

    std::function<QStringList()> chooseFiles_;
    std::function<QString()> chooseFolder_;
    SaveChooser chooseSave_;
};

}  // namespace dovex::ui
