// SPDX-License-Identifier: MIT
#pragma once
// The main window: the irradiation conditions with their Enter-key chain, the field-size
// presets, the calculation run and its result fields, and the commands that open the auxiliary
// dialogs, keep a result in the results table and end the program. The window binds its
// controls to the program-wide state (AppState) and calls the libraries; it holds no results of
// its own.
#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>

#include "app/appstate.h"
#include "app/spectrumwindow.h"
#include "calculation/calculation.h"
#include "calculation/conditionfields.h"
#include "dialogs/arbitraryfilterdialog.h"
#include "dialogs/effdoseprompt.h"
#include "dialogs/fluoroscopydialog.h"
#include "dialogs/measuredexposuredialog.h"
#include "dialogs/usernamedialog.h"
#include "engine/kinds.h"

class QComboBox;
class QGroupBox;
class QLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace dovex::ui {
class ResultsWindow;
class MascotLabel;
}  // namespace dovex::ui

namespace dovex::app {

class QualityPanel;

inline const QString kTitleNamedPrefix =
    QStringLiteral("Dovex-SE ( Halvetor, Simple Edition )  :  ");
inline const QString kFluoroscopyUsesDefaultOutput = QStringLiteral(
    "　透視の線量は平均管電流と照射時間から求めます。　\n"
    "　実測値（１回の撮影の照射線量）では透視の管電流と照射時間が使われないため、\n"
    "　「デフォルト出力データを利用」に切り替えました　");
inline const QString kFluoroscopyDrlNote =
    QStringLiteral("透視：撮影の診断参考レベルとは比較しません");
inline const QString kTitleUnnamed = QStringLiteral(" Dovex-SE   ( Halvetor,  Simple Edition )");

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    MainWindow(AppState& state, ui::ResultsWindow& results, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up of the window over state that LoadStartupData filled: greeting, exam-part
    // list, default conditions, empty result fields, options, and the named or unnamed state.
    void startup();

    // Commands, as their buttons call them.
    void runCalculation();        // "この条件で計算する"
    void addToTable();            // "結果を表に追加する"
    void clearResults();          // "計算結果をクリアする"
    void applyFieldPreset();      // choosing an entry of the preset list
    void showDetails();           // "詳細表示"
    void openFluoroscopy();       // "透視"
    void openArbitraryFilter();   // "任意フィルタ"
    void openRegistration();      // the welcome button
    void openNameChange();        // double click on the mascot
    void openMeasuredExposure();  // the option "実測値を直接入力"
    void selectDefaultOutput();   // the option "デフォルト出力データを利用"
    // The effective-dose prompt " 実効線量". No step of the calculation opens it; it offers the
    // estimate as a separate program for a flow that wants one.
    void openEffectiveDosePrompt();

    // The row of the commands calculate, add, clear and exit, in the window's coordinates; the
    // results table window is placed so that it never covers it.
    QRect commandRow() const;

    // The main window's parts of the results table window's erase and print commands.
    void resetAfterErase();
    void resetAfterPrint();
    // A stored row became the current values (a results file was read, or the table printed):
    // the result shown is no longer the current calculation, so it cannot be added any more.
    void currentReplacedByRow();

    // A condition was changed (a field edited, a list entry, an option, a filter, a measured
    // value or a fluoroscopy current chosen): results shown from an earlier calculation become
    // stale (AppState::shown), and conditions taken from a dose record are no longer its own.
    void conditionsChanged();

    // "条件に反映" of the dose-record window: every condition of the window set from an event
    // (fields, field size, filters, options, exam part and a measured exposure the unit's
    // profile implies), marked with `source` (file and event) until a condition is changed. The
    // values are kept at the record's precision while their fields show them rounded.
    void applyRecordConditions(const ExposureConditions& c, const ArbitraryFilter& filter,
                               const QString& source);
    // The mark of conditions from a dose record; empty when the conditions are the user's.
    QString recordSource() const;

    // The auxiliary windows, created on first use (nullptr before).
    ui::MeasuredExposureDialog* measuredDialog() const { return measured_; }
    ui::FluoroscopyDialog* fluoroscopyDialog() const { return fluoro_; }
    ui::ArbitraryFilterDialog* filterDialog() const { return filterDlg_; }
    ui::UserNameDialog* registrationDialog() const { return registration_; }
    ui::UserNameDialog* nameChangeDialog() const { return nameChange_; }
    QWidget* organWindow() const { return organ_; }
    ui::EffectiveDosePrompt* effectiveDosePrompt() const { return prompt_; }
    QualityPanel* qualityPanel() const { return quality_; }
    SpectrumWindow* spectrumWindow() const { return spectrumWin_; }

    // "スペクトル表示" and "レポート保存 (PDF)" of the beam-quality group; the report is written
    // to `path` with `comment` when a path is given, else to the file the user chooses with the
    // comment line the user types.
    void openSpectrum();
    void saveReport(const QString& path = {}, const QString& comment = {});

  signals:
    // The exit command (false) or the close box (true): the exit confirmation is wanted.
    void exitRequested(bool byCloseBox);
    // "線量記録読込": the dose-record window is wanted.
    void recordsRequested();

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    struct Field {
        QLineEdit* edit;
        const calc::ConditionField* condition;  // what it holds, in which unit
    };
    void buildUi();
    QLayout* buildHeading();
    QGroupBox* buildConditions();
    QGroupBox* buildResults();
    QLayout* buildCommands();
    void connectControls();
    void wireEntryChain();
    void watchConditionChanges();
    // Shows AppState::shown: stale results greyed with the note to calculate again, the add and
    // report commands disabled; fresh results as the calculation left them.
    void showResultState();
    // A fluoroscopy current beside a measured exposure: the measured exposure at 1 m is that of
    // one exposure, and the fluoroscopy current and time would not enter the dose. Back to the
    // default output data, with a message saying so.
    void fluoroscopyWithMeasuredExposure();
    // The exam part changed: the backscatter phantom follows it when it changes between a view of
    // the head and any other part (a phantom the user chose stays while the kind of part stays).
    void examPartChanged(const QString& part);
    void storeField(const Field& f);
    // Every field read before a calculation; false, after a message naming the first field that
    // holds no number and with the focus in it, when one cannot be read.
    bool readAllFields();
    void emptyResultFields(bool includingEffective);
    void showDoseResult(const DoseResult& d);
    void pumpEvents();
    void setNamedState();
    bool acceptName(const QString& name, bool registration);
    void chooseGuest();
    void refreshOrganWindow();
    void showBeamQuality();

    AppState& state_;
    ui::ResultsWindow& results_;
    std::vector<Field> fields_;
    // False from the start of the destructor: a field that loses the focus while the base class
    // deletes the children must not call back into a window that is no longer one.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool calculating_ = false;
    Phantom partPhantom_ = Phantom::Body;  // the phantom the exam part shown calls for

    // Entry controls.
    QLineEdit* text1_ = nullptr;   // target angle
    QLineEdit* text2_ = nullptr;   // inherent filtration
    QLineEdit* text3_ = nullptr;   // added Al
    QLineEdit* text4_ = nullptr;   // added Cu
    QLineEdit* text5_ = nullptr;   // tube voltage
    QLineEdit* text6_ = nullptr;   // tube current
    QLineEdit* text7_ = nullptr;   // exposure time
    QLineEdit* text8_ = nullptr;   // FFD
    QLineEdit* text9_ = nullptr;   // FSD
    QLineEdit* text10_ = nullptr;  // field long axis (or diameter)
    QLineEdit* text11_ = nullptr;  // field short axis
    QLineEdit* text23_ = nullptr;  // subject thickness
    QComboBox* combo1_ = nullptr;  // field-size presets
    QComboBox* combo2_ = nullptr;  // exam part
    QLabel* longCaption_ = nullptr;
    QLabel* filterName_ = nullptr;       // material display of the arbitrary filter
    QLabel* filterThickness_ = nullptr;  // thickness display (mm)
    QRadioButton* rect_[3] = {};
    QRadioButton* optDefault_ = nullptr;
    QRadioButton* optMeasured_ = nullptr;
    QRadioButton* phantom_[2] = {};
    QLabel* greeting_ = nullptr;

    // Result fields.
    QLabel* label78_ = nullptr;  // exposure at 1 m
    QLabel* label68_ = nullptr;  // BSF soft
    QLabel* label69_ = nullptr;  // BSF skin
    QLabel* label70_ = nullptr;  // BSF air
    QLabel* label71_ = nullptr;  // conversion soft
    QLabel* label72_ = nullptr;  // conversion skin
    QLabel* label73_ = nullptr;  // ESD soft
    QLabel* label74_ = nullptr;  // ESD skin
    QLabel* label75_ = nullptr;  // ESD air
    QLabel* label81_ = nullptr;  // effective dose

    QLabel* estimateNote_ = nullptr;  // why no estimate was made (Label89)
    QLabel* recordNote_ = nullptr;    // the conditions came from a dose record
    // The values a dose record set, by their field (the arbitrary filter's thickness by its
    // label), with the text shown: read at full precision while the text is unchanged.
    std::map<const QWidget*, std::pair<QString, double>> recordValues_;
    QLabel* staleNote_ = nullptr;  // the results belong to changed conditions

    // Commands.
    QPushButton* command1_ = nullptr;   // exit
    QPushButton* command2_ = nullptr;   // calculate
    QPushButton* command3_ = nullptr;   // add to table
    QPushButton* command4_ = nullptr;   // fluoroscopy
    QPushButton* command5_ = nullptr;   // details
    QPushButton* command6_ = nullptr;   // clear results
    QPushButton* command8_ = nullptr;   // welcome
    QPushButton* command9_ = nullptr;   // arbitrary filter
    QPushButton* command10_ = nullptr;  // dose records
    ui::MascotLabel* picture1_ = nullptr;
    QualityPanel* quality_ = nullptr;  // "線質" and the reference level

    // Auxiliary windows (children of this window; dropped with it).
    QPointer<ui::MeasuredExposureDialog> measured_;
    QPointer<ui::FluoroscopyDialog> fluoro_;
    QPointer<ui::ArbitraryFilterDialog> filterDlg_;
    QPointer<ui::UserNameDialog> registration_;
    QPointer<ui::UserNameDialog> nameChange_;
    QPointer<QWidget> organ_;
    QPointer<ui::EffectiveDosePrompt> prompt_;
    QPointer<SpectrumWindow> spectrumWin_;
};

}  // namespace dovex::app
