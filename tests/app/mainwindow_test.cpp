// SPDX-License-Identifier: MIT
// The program driven as a user drives it: entry fields and the Enter chain, presets, the
// calculation run and its result fields, the command states, the results table, the auxiliary
// dialogs, the user name and the exit confirmation.
#include "app/mainwindow.h"

#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QXYSeries>
#include <QtTest>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string_view>

#include "app/application.h"
#include "app/depthdosewindow.h"
#include "app/qualitypanel.h"
#include "app/report.h"
#include "app/spectrumwindow.h"
#include "calculation/resultfields.h"
#include "dialogs/exitdialog.h"
#include "dialogs/mascot.h"
#include "engine/beamquality.h"
#include "engine/numtext.h"
#include "engine/textio.h"
#include "results/csvfile.h"
#include "results/gui/datadialogs.h"
#include "results/gui/resultssurface.h"
#include "results/gui/resultswindow.h"
#include "tests/app/appdata.h"
#include "tests/app/recorder.h"

using namespace dovex;
using namespace dovex::app;
using dovex::apptest::Recorder;
namespace fs = std::filesystem;

namespace {

const QString kCalcFailed = QStringLiteral("　???  正しく計算できませんでした  ???   ");
const QString kCapacity = QStringLiteral(
    "　これ以上の計算結果は保存できません。現在の結果表を一旦保存し、データ消去後、新たな結果表に"
    "保存して下さい。");

// One run of the program on its own data folder.
struct Session {
    explicit Session(apptest::AppDataOptions opt = {}, bool shipped = false) {
        dir = fs::path(tmp.path().toStdString());
        if (shipped)
            apptest::CopyShippedData(dir);
        else
            apptest::WriteAppTestData(dir, opt);
        app = std::make_unique<Application>(dir);
        started = app->start();
        if (started) {
            main()->activateWindow();
            (void)QTest::qWaitForWindowActive(main());
        }
    }
    MainWindow* main() const { return app->mainWindow(); }
    AppState& state() const { return app->state(); }
    ExposureConditions& cond() const { return app->state().conditions; }
    ui::ResultsWindow* results() const { return app->resultsWindow(); }

    // A control of the main window itself (the dialogs reuse the same names).
    template <class T>
    T* ctl(const char* name) const {
        for (T* c : main()->findChildren<T*>(QString::fromLatin1(name)))
            if (c->window() == main()) return c;
        qFatal("main window control %s missing", name);
        return nullptr;
    }
    QLineEdit* text(const char* name) const { return ctl<QLineEdit>(name); }
    QLabel* label(const char* name) const { return ctl<QLabel>(name); }
    QPushButton* button(const char* name) const { return ctl<QPushButton>(name); }

    // Types into a field as a user does: focus, replace the text.
    void type(const char* field, const QString& t) const {
        QLineEdit* e = text(field);
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        if (t.contains(QRegularExpression("[^\\x{20}-\\x{7e}]"))) {
            // Text beyond ASCII comes as an input method commits it.
            QInputMethodEvent commit;
            commit.setCommitString(t);
            QApplication::sendEvent(e, &commit);
        } else {
            QTest::keyClicks(e, t);
        }
    }
    void setExamPart(const QString& part) const { ctl<QComboBox>("Combo2")->setEditText(part); }
    void choosePreset(const QString& name) const {
        auto* c = ctl<QComboBox>("Combo1");
        const int i = c->findText(name);
        QVERIFY2(i >= 0, qPrintable(name));
        c->setCurrentIndex(i);
        emit c->activated(i);
    }
    void calculate() const { QTest::mouseClick(button("Command2"), Qt::LeftButton); }
    // Without a registered name the calculate command waits: go on as the guest.
    void continueAsGuest() const {
        if (button("Command2")->isEnabled()) return;
        QTest::mouseClick(button("Command8"), Qt::LeftButton);
        QTest::mouseClick(main()->registrationDialog()->findChild<QPushButton*>("Command2"),
                          Qt::LeftButton);
    }
    // Back to the defaults of start-up (the results table is kept).
    void startup() const { main()->startup(); }
    void add() const { QTest::mouseClick(button("Command3"), Qt::LeftButton); }
    QString primaryLine(std::size_t n) const {
        const auto lines = apptest::ReadLinesUtf8(dir / "Primary.dat");
        return n <= lines.size() ? QString::fromStdString(lines[n - 1]) : QString("<none>");
    }
    std::size_t primaryLines() const { return apptest::ReadLinesUtf8(dir / "Primary.dat").size(); }

    Recorder rec;
    QTemporaryDir tmp;
    fs::path dir;
    std::unique_ptr<Application> app;
    bool started = false;
};

QWidget* FocusWidget() { return QApplication::focusWidget(); }

void PressEnter() { QTest::keyClick(FocusWidget(), Qt::Key_Return); }

bool Matches(const QString& text, const char* re) {
    return QRegularExpression(QString::fromUtf8(re)).match(text).hasMatch();
}

bool SurfaceShows(ui::ResultsWindow* w, const QString& text) {
    for (const auto& t : w->surface()->texts())
        if (t.text == text) return true;
    return false;
}

// Whether some label of the results window (its name label) shows the text.
bool ResultsLabelShows(ui::ResultsWindow* w, const QString& text) {
    for (const QLabel* l : w->findChildren<QLabel*>())
        if (l->text() == text) return true;
    return false;
}

QString Fmt(double v, const char* pattern) {
    return QString::fromStdString(FormatPattern(v, pattern));
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<Session> oddSession_;

  private slots:
    void cleanupTestCase() { oddSession_.reset(); }
    void startupNamed();
    void startupUnnamed();
    void enterChain();
    void lostFocusStoresTheField();
    void presetKeysOnlyMoveOn();
    void presets();
    void otherPresetAsksForTheSizes();
    void geometryWarning();
    void calculationFillsEveryResultField();
    void calculationWithShippedData();
    void emptyExamPartIsOther();
    void estimateForListedPart();
    void thicknessCappedAt40();
    void missingOrganDataEndsInFailure();
    void engineFailureKeepsEarlierResults();
    void refusedConditions_data();
    void refusedConditions();
    void missingKernelFileIsNamed();
    void failureBeforeTheDosesEmptiesTheFields();
    void typedExamPartWithoutDataCanBeAdded();
    void oddInputsNeverCrash_data();
    void oddInputsNeverCrash();
    void commandStates();
    void clearInUnnamedStateEnablesCalculate();
    void fifteenRowsAndCapacity();
    void totalsAndErase();
    void measuredExposure_data();
    void measuredExposure();
    void measuredExposureCancelAndClear();
    void fluoroscopyAverage();
    void arbitraryFilterSetAndRemoved();
    void registration();
    void guestName();
    void nameChange();
    void nameNotRepresentable();
    void exitDeclinedKeepsEverything();
    void exitByCloseBoxReloads();
    void neverWithoutAWindow();
    void reloadWithADamagedFolderGoesOn();
    void addAfterReadingAFile();
    void exitConfirmed();
    void effectiveDosePrompt();
    void exitConfirmedEndsTheEventLoop();
    void beamQualityReferenceLevelChartsAndReport();
    void referenceLevelFileMissing();
    void fluoroscopyWithMeasuredExposure();
    void fluoroscopyIsNotComparedWithTheReferenceLevel();
    void headPartsChooseTheHeadPhantom();
    void reportOrganTableAndComment();
    void depthDoseNamesDoNotOverlap();
    void tabOrderFollowsTheScreen();
    void escapeCancelsTheDialogs_data();
    void escapeCancelsTheDialogs();
    void oneDialogAtATime();
    void typedNumbers_data();
    void typedNumbers();
    void changedConditionsMakeTheResultsStale_data();
    void changedConditionsMakeTheResultsStale();
    void reportAndSpectrumBelongToTheResult();
    void noEstimateEmptiesTheOrganList_data();
    void noEstimateEmptiesTheOrganList();
    void eraseEmptiesTheEffectiveDose();
};

void MainWindowTest::startupNamed() {
    Session s;
    QVERIFY(s.started);
    QCOMPARE(s.main()->windowTitle(), kTitleNamedPrefix + "テスト太郎");
    QVERIFY(!s.button("Command8")->isVisible());
    QVERIFY(s.button("Command2")->isEnabled());
    QVERIFY(!s.button("Command3")->isEnabled());
    QVERIFY(!s.button("Command5")->isEnabled());
    const std::pair<const char*, const char*> defaults[] = {
        {"Text1", "12"}, {"Text2", "2.5"}, {"Text3", "1.0"},   {"Text4", "0"},
        {"Text5", "75"}, {"Text6", "200"}, {"Text7", "0.05"},  {"Text8", "100"},
        {"Text9", "80"}, {"Text23", "20"}, {"Text10", "43.2"}, {"Text11", "35.6"}};
    for (const auto& [field, value] : defaults) QCOMPARE(s.text(field)->text(), QString(value));
    QCOMPARE(s.cond().inherentFilter, 0.25);
    QCOMPARE(s.cond().addedAl, 0.1);
    QCOMPARE(s.cond().fieldShape, FieldShape::Rectangle);
    QCOMPARE(s.cond().exposureSource, ExposureSource::DefaultOutput);
    QCOMPARE(s.ctl<QComboBox>("Combo1")->currentText(), QString("半切サイズ 縦"));
    QCOMPARE(s.ctl<QComboBox>("Combo2")->currentText(), QString("腹部正面"));
    QVERIFY(s.ctl<QRadioButton>("Option1")->isChecked());
    QVERIFY(s.ctl<QRadioButton>("Option4")->isChecked());
    QVERIFY(s.ctl<QRadioButton>("Option6")->isChecked());
    for (const char* r : {"Label78", "Label68", "Label69", "Label70", "Label71", "Label72",
                          "Label73", "Label74", "Label75", "Label81"})
        QCOMPARE(s.label(r)->text(), QString());
    // The date in the Japanese order: year, month, day.
    QVERIFY(Matches(s.label("Label84")->text(), "^今日は \\d{4}年\\d\\d月\\d\\d日 です$"));
    QCOMPARE(FocusWidget(), s.text("Text1"));
    QVERIFY(s.results()->isVisible());
    QVERIFY(s.state().table.empty());
    QVERIFY(SurfaceShows(s.results(), "Dovex-SE"));
    QVERIFY(SurfaceShows(s.results(), "テスト太郎"));
    QVERIFY(ResultsLabelShows(s.results(), "テスト太郎"));
}

void MainWindowTest::startupUnnamed() {
    apptest::AppDataOptions opt;
    opt.withUserName = false;  // Primary.dat with exactly 31 lines
    Session s(opt);
    QVERIFY(s.started);
    QCOMPARE(s.primaryLines(), std::size_t(31));
    QCOMPARE(s.main()->windowTitle(), kTitleUnnamed);
    QVERIFY(s.button("Command8")->isVisible());
    QVERIFY(!s.button("Command2")->isEnabled());
    QVERIFY(!s.button("Command3")->isEnabled());
    QVERIFY(!s.button("Command5")->isEnabled());
    QCOMPARE(QString::fromStdString(s.state().userName), QString());
}

void MainWindowTest::enterChain() {
    Session s;
    // Each Enter moves on along the chain, and the field left is stored.
    s.type("Text1", "15");
    PressEnter();
    QCOMPARE(FocusWidget(), s.text("Text2"));
    QCOMPARE(s.cond().targetAngle, 15.0);
    s.type("Text2", "3.5");
    PressEnter();
    QCOMPARE(FocusWidget(), s.text("Text3"));
    QCOMPARE(s.cond().inherentFilter, 0.35);
    PressEnter();
    QCOMPARE(FocusWidget(), s.text("Text4"));
    PressEnter();
    QCOMPARE(FocusWidget(), s.ctl<QComboBox>("Combo2"));
    PressEnter();
    QCOMPARE(FocusWidget(), s.text("Text5"));
    const char* chain[] = {"Text5", "Text6", "Text7", "Text8", "Text23", "Text9"};
    for (std::size_t i = 0; i + 1 < std::size(chain); ++i) {
        PressEnter();
        QCOMPARE(FocusWidget(), s.text(chain[i + 1]));
    }
    PressEnter();
    QCOMPARE(FocusWidget(), s.ctl<QComboBox>("Combo1"));
    PressEnter();  // any key in the preset list
    QCOMPARE(FocusWidget(), s.text("Text10"));
    s.type("Text10", "30");
    PressEnter();
    QCOMPARE(FocusWidget(), s.text("Text11"));
    QCOMPARE(s.cond().fieldLong, 30.0);
    PressEnter();
    QCOMPARE(FocusWidget(), s.button("Command2"));
    // Choosing an exam-part entry also moves on to the tube voltage.
    auto* parts = s.ctl<QComboBox>("Combo2");
    parts->setFocus();
    emit parts->activated(0);
    QCOMPARE(FocusWidget(), s.text("Text5"));
}

void MainWindowTest::lostFocusStoresTheField() {
    Session s;
    s.type("Text5", "abc");  // no number: no value, the text stays for correcting
    QTest::keyClick(FocusWidget(), Qt::Key_Tab);
    QVERIFY(FocusWidget() != s.text("Text5"));
    QCOMPARE(s.cond().tubeVoltage, 0.0);
    QCOMPARE(s.text("Text5")->text(), QString("abc"));
    s.type("Text4", "1.5");
    s.text("Text9")->setFocus();
    QCOMPARE(s.cond().addedCu, 0.15);
    s.type("Text9", "８５");  // full-width digits through an input method
    s.text("Text1")->setFocus();
    QCOMPARE(s.cond().fsd, 85.0);
    QCOMPARE(s.text("Text9")->text(), QString("85"));
    s.type("Text7", "2.5E-2");
    QTest::mouseClick(s.button("Command6"), Qt::LeftButton);  // clicking elsewhere
    s.button("Command6")->setFocus();
    QCOMPARE(s.cond().exposureTime, 0.025);
}

void MainWindowTest::presetKeysOnlyMoveOn() {
    Session s;
    auto* presets = s.ctl<QComboBox>("Combo1");
    presets->setFocus();
    QTest::keyClick(presets, Qt::Key_A);
    QCOMPARE(FocusWidget(), s.text("Text10"));
    QCOMPARE(presets->currentText(), QString("半切サイズ 縦"));
    presets->setFocus();
    QTest::keyClick(presets, Qt::Key_Down);
    QCOMPARE(presets->currentText(), QString("半切サイズ 縦"));
    QCOMPARE(s.text("Text10")->text(), QString("43.2"));
}

void MainWindowTest::presets() {
    Session s;
    s.choosePreset("大四サイズ 横");
    QCOMPARE(s.text("Text10")->text(), QString("28.0"));
    QCOMPARE(s.text("Text11")->text(), QString("35.6"));
    QCOMPARE(s.cond().fieldLong, 28.0);
    QCOMPARE(s.cond().fieldShort, 35.6);
    QCOMPARE(QString::fromStdString(s.cond().fieldPreset), QString("大四サイズ 横"));
    QCOMPARE(FocusWidget(), s.text("Text10"));
    s.choosePreset("六切サイズ 縦");
    QCOMPARE(s.cond().fieldLong, 25.4);
    QCOMPARE(s.cond().fieldShort, 20.3);
    s.choosePreset("円形照射野");
    QCOMPARE(s.label("Label10")->text(), QString("  照射野サイズ（直径）"));
    QCOMPARE(s.text("Text10")->text(), QString("10.0"));
    QCOMPARE(s.text("Text11")->text(), QString("0"));
    QCOMPARE(s.cond().fieldLong, 10.0);
    QCOMPARE(s.cond().fieldShort, 0.0);
    QCOMPARE(s.cond().fieldShape, FieldShape::Circle);
    s.choosePreset("半切サイズ 縦");
    QCOMPARE(s.label("Label10")->text(), QString("　長軸方向サイズ"));
    QCOMPARE(s.cond().fieldShape, FieldShape::Rectangle);
    QCOMPARE(s.cond().fieldLong, 43.2);
    // Typing new sizes keeps the preset name.
    s.type("Text10", "20");
    PressEnter();
    QCOMPARE(s.cond().fieldLong, 20.0);
    QCOMPARE(QString::fromStdString(s.cond().fieldPreset), QString("半切サイズ 縦"));
}

void MainWindowTest::otherPresetAsksForTheSizes() {
    Session s;
    s.choosePreset("その他");
    QCOMPARE(s.text("Text10")->text(), QString());
    QCOMPARE(s.text("Text11")->text(), QString());
    QCOMPARE(FocusWidget(), s.text("Text10"));
    s.setExamPart("その他");
    s.cond().fieldLong = 99;  // a stale number must not survive the calculation's re-reading
    s.calculate();
    QCOMPARE(s.cond().fieldLong, 0.0);
    QCOMPARE(s.cond().fieldShort, 0.0);
    // An empty size gives no dose: the sizes are asked for instead of computing with them.
    QCOMPARE(s.rec.texts(),
             QStringList{QStringLiteral("　照射野サイズ（長軸・直径）に数値を入力して下さい　")});
}

void MainWindowTest::geometryWarning() {
    Session s;
    s.setExamPart("その他");
    s.calculate();  // 100 - 80 = 20: equality passes
    QVERIFY(s.rec.messages.empty());
    const QString esd = s.label("Label73")->text();
    QVERIFY(!esd.isEmpty());
    s.add();
    QVERIFY(!s.button("Command3")->isEnabled());
    s.type("Text9", "85");
    s.calculate();
    QCOMPARE(s.rec.messages.size(), std::size_t(1));
    QCOMPARE(s.rec.last(), QString("  被写体厚が (FFD-FSD) より大きくなっています  "));
    QCOMPARE(s.rec.messages.back().icon, ui::Icon::Exclamation);
    QCOMPARE(s.label("Label73")->text(), esd);    // previous results stay
    QVERIFY(!s.button("Command3")->isEnabled());  // states stay
    QCOMPARE(s.state().table.count(), 1);
}

void MainWindowTest::calculationFillsEveryResultField() {
    Session s;
    s.setExamPart("その他");
    fs::remove(s.dir / "X_SPCTL.dat");
    s.calculate();
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    const DoseResult& d = s.state().dose;
    QVERIFY(Matches(s.label("Label78")->text(), "^\\d\\.\\d\\dE[+-]\\d+$"));
    QCOMPARE(s.label("Label78")->text(), Fmt(s.cond().exposureAt1m, "0.00E+0"));
    QVERIFY(s.cond().exposureAt1m > 0);
    const std::tuple<const char*, double, const char*, const char*> fields[] = {
        {"Label68", d.bsfSoft, "#0.000", "^\\d+\\.\\d{3}$"},
        {"Label69", d.bsfSkin, "#0.000", "^\\d+\\.\\d{3}$"},
        {"Label70", d.bsfAir, "#0.000", "^\\d+\\.\\d{3}$"},
        {"Label71", d.convSoft, "#00.00", "^\\d{2,}\\.\\d{2}$"},
        {"Label72", d.convSkin, "#00.00", "^\\d{2,}\\.\\d{2}$"},
        {"Label73", d.esdSoft, "#0.00", "^\\d+\\.\\d{2}$"},
        {"Label74", d.esdSkin, "#0.00", "^\\d+\\.\\d{2}$"},
        {"Label75", d.esdAir, "#0.00", "^\\d+\\.\\d{2}$"}};
    for (const auto& [name, value, pattern, re] : fields) {
        QVERIFY2(value > 0, name);
        QCOMPARE(s.label(name)->text(), Fmt(value, pattern));
        QVERIFY2(Matches(s.label(name)->text(), re), qPrintable(s.label(name)->text()));
    }
    QVERIFY(d.bsfSoft > 1.0);  // backscatter adds to the incident dose
    QCOMPARE(s.label("Label81")->text(), QString("---"));
    QCOMPARE(d.effectiveDose, 0.0);
    QVERIFY(s.button("Command3")->isEnabled());
    QCOMPARE(FocusWidget(), s.button("Command3"));
    QVERIFY(!s.button("Command5")->isEnabled());
    // The spectrum file: 300 lines.
    QCOMPARE(apptest::ReadLinesUtf8(s.dir / "X_SPCTL.dat").size(), std::size_t(300));
}

void MainWindowTest::calculationWithShippedData() {
    QVERIFY2(apptest::ShippedDataComplete(), "the shipped data folder is not complete");
    Session s({}, true);
    QVERIFY(s.started);
    s.continueAsGuest();
    s.calculate();  // 腹部正面, the defaults
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    for (const char* r : {"Label78", "Label68", "Label69", "Label70", "Label71", "Label72",
                          "Label73", "Label74", "Label75", "Label81"})
        QVERIFY2(!s.label(r)->text().isEmpty(), r);
    const DoseResult& d = s.state().dose;
    QCOMPARE(s.label("Label78")->text(), Fmt(s.cond().exposureAt1m, "0.00E+0"));
    const std::tuple<const char*, double, const char*> fields[] = {
        {"Label68", d.bsfSoft, "#0.000"},       {"Label69", d.bsfSkin, "#0.000"},
        {"Label70", d.bsfAir, "#0.000"},        {"Label71", d.convSoft, "#00.00"},
        {"Label72", d.convSkin, "#00.00"},      {"Label73", d.esdSoft, "#0.00"},
        {"Label74", d.esdSkin, "#0.00"},        {"Label75", d.esdAir, "#0.00"},
        {"Label81", d.effectiveDose, "##0.000"}};
    for (const auto& [name, value, pattern] : fields)
        QCOMPARE(s.label(name)->text(), Fmt(value, pattern));
    // Plausible magnitudes for 75 kV, 10 mAs at 80 cm.
    QVERIFY(d.bsfSoft > 1.1 && d.bsfSoft < 1.7);
    QVERIFY(d.convSoft > 30 && d.convSoft < 40);
    QVERIFY(d.esdAir > 0.3 && d.esdAir < 3.0);
    QVERIFY(d.effectiveDose > 0 && d.effectiveDose < d.esdSoft);
    QVERIFY(s.main()->organWindow() != nullptr);
}

void MainWindowTest::emptyExamPartIsOther() {
    Session s;
    s.setExamPart("");
    s.calculate();
    QVERIFY(s.rec.messages.empty());
    QCOMPARE(QString::fromStdString(s.cond().examPart), QString("その他"));
    QCOMPARE(s.label("Label81")->text(), QString("---"));
    QVERIFY(s.button("Command3")->isEnabled());
    QCOMPARE(FocusWidget(), s.button("Command3"));
}

void MainWindowTest::estimateForListedPart() {
    Session s;
    s.calculate();  // 腹部正面
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    const double e = s.state().dose.effectiveDose;
    QVERIFY(e > 0);
    QCOMPARE(s.label("Label81")->text(), Fmt(e, "##0.000"));
    QVERIFY(s.button("Command3")->isEnabled());
    QVERIFY(s.button("Command5")->isEnabled());
    QWidget* organ = s.main()->organWindow();
    QVERIFY(organ);
    QVERIFY(!organ->isVisible());
    QTest::mouseClick(s.button("Command5"), Qt::LeftButton);
    QVERIFY(organ->isVisible());
    QCOMPARE(organ->windowTitle(), QString("Effective Dose"));
    QCOMPARE(organ->findChild<QLabel*>("Label71")->text(), QString("腹部正面"));
    QCOMPARE(organ->findChild<QLabel*>("Label72")->text(), QString("被写体厚 = 20 cm"));
    QCOMPARE(organ->findChild<QLabel*>("Label57")->text(), Fmt(e, "##0.000"));
    // Row 2 (red bone marrow) applies: ticked, depths 3.0 to 17.0 for 20 cm.
    QVERIFY(organ->findChild<QCheckBox*>("Check2")->isChecked());
    QCOMPARE(organ->findChild<QLineEdit*>("Text3")->text(), QString("3.0"));
    QCOMPARE(organ->findChild<QLineEdit*>("Text4")->text(), QString("17.0"));
    // The unticked brain row shows "-" everywhere.
    QVERIFY(!organ->findChild<QCheckBox*>("Check13")->isChecked());
    QCOMPARE(organ->findChild<QLabel*>("Label53")->text(), QString("-"));
    QCOMPARE(organ->findChild<QLineEdit*>("Text25")->text(), QString("-"));
    // Ticking the brain row by hand with a depth range adds its dose at the next run.
    organ->findChild<QCheckBox*>("Check13")->setChecked(true);
    organ->findChild<QLineEdit*>("Text25")->setText("1");
    organ->findChild<QLineEdit*>("Text26")->setText("5");
    organ->findChild<QLineEdit*>("Text43")->setText("100");
    s.calculate();
    QVERIFY(s.state().dose.effectiveDose > e);
    QVERIFY(!organ->findChild<QLabel*>("Label53")->text().isEmpty());
    QVERIFY(organ->findChild<QLabel*>("Label53")->text() != "-");
    // "閉じる" hides it and keeps its contents.
    QTest::mouseClick(organ->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(!organ->isVisible());
    QVERIFY(organ->findChild<QCheckBox*>("Check13")->isChecked());
}

void MainWindowTest::thicknessCappedAt40() {
    Session s;
    s.type("Text8", "150");
    s.type("Text23", "45");
    s.calculate();
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    QCOMPARE(s.cond().subjectThickness, 40.0);
    QCOMPARE(s.text("Text23")->text(), QString("45"));
    QCOMPARE(s.main()->organWindow()->findChild<QLabel*>("Label72")->text(),
             QString("被写体厚 = 40 cm"));
    s.add();
    QCOMPARE(s.state().table.row(1).subjectThickness, 40.0);
    // "その他" makes no estimate and no cap.
    s.setExamPart("その他");
    s.calculate();
    QCOMPARE(s.cond().subjectThickness, 45.0);
}

void MainWindowTest::missingOrganDataEndsInFailure() {
    Session s;
    s.setExamPart("胸部側面");  // listed, without an organ data file
    s.calculate();
    QCOMPARE(s.rec.messages.size(), std::size_t(1));
    // The failure message, and the missing file named on a second line.
    QVERIFY2(s.rec.last().startsWith(kCalcFailed + "\n"), qPrintable(s.rec.last()));
    QVERIFY2(s.rec.last().contains(QStringLiteral("胸部側面.csv")), qPrintable(s.rec.last()));
    QCOMPARE(s.label("Label81")->text(), QString());
    QCOMPARE(s.rec.beeps, 1);
    QCOMPARE(s.rec.messages.back().icon, ui::Icon::Exclamation);
    // The entrance surface doses stay visible; the result cannot be added.
    QCOMPARE(s.label("Label73")->text(), Fmt(s.state().dose.esdSoft, "#0.00"));
    QVERIFY(!s.label("Label73")->text().isEmpty());
    QVERIFY(!s.button("Command3")->isEnabled());
    QCOMPARE(s.state().dose.effectiveDose, 0.0);
}

void MainWindowTest::engineFailureKeepsEarlierResults() {
    Session s;
    s.setExamPart("その他");
    s.calculate();
    const QString esd = s.label("Label73")->text();
    QVERIFY(s.button("Command3")->isEnabled());
    const QString exposure = s.label("Label78")->text();
    s.type("Text5", "200");  // beyond the model's 150 kV
    s.calculate();
    QCOMPARE(s.rec.messages.size(), std::size_t(1));
    QCOMPARE(s.rec.beeps, 1);
    // The failure message with the reason: the voltage and the range the data cover.
    QVERIFY2(s.rec.last().startsWith(kCalcFailed + "\n管電圧 200 kV"), qPrintable(s.rec.last()));
    QVERIFY2(s.rec.last().contains(QStringLiteral("150 kV未満")), qPrintable(s.rec.last()));
    // Every result field still shows the one earlier calculation, the exposure at 1 m included.
    QCOMPARE(s.label("Label78")->text(), exposure);
    QCOMPARE(s.label("Label73")->text(), esd);
    // The earlier result no longer matches the conditions: it cannot be added now.
    QVERIFY(!s.button("Command3")->isEnabled());
    QVERIFY(s.button("Command2")->isEnabled());
}

void MainWindowTest::refusedConditions_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    const auto msg = [](const char* s) { return QString::fromUtf8(s); };
    QTest::newRow("negative mA") << "Text6"
                                 << "-200"
                                 << msg("　管電流は 0 mAを超え 2000 mA以下の値を入力して下さい　");
    QTest::newRow("zero mA") << "Text6"
                             << "0"
                             << msg("　管電流は 0 mAを超え 2000 mA以下の値を入力して下さい　");
    QTest::newRow("1e300 mA") << "Text6"
                              << "1e300"
                              << msg("　管電流は 0 mAを超え 2000 mA以下の値を入力して下さい　");
    QTest::newRow("negative s")
        << "Text7"
        << "-0.05" << msg("　照射時間は 0 secを超え 3600 sec以下の値を入力して下さい　");
    QTest::newRow("angle 150")
        << "Text1"
        << "150" << msg("　ターゲット角度は 1 度以上 45 度以下の値を入力して下さい　");
    QTest::newRow("FFD -1") << "Text8"
                            << "-1" << msg("　FFDは 0 cmを超え 1000 cm以下の値を入力して下さい　");
    QTest::newRow("short side 0")
        << "Text11"
        << "0" << msg("　照射野サイズ（短軸）は 0 cmを超え 100 cm以下の値を入力して下さい　");
    QTest::newRow("geometry") << "Text9"
                              << "85" << msg("  被写体厚が (FFD-FSD) より大きくなっています  ");
    QTest::newRow("copper -1")
        << "Text4"
        << "-1" << msg("　付加フィルタ（銅）は 0 mm以上 10 mm以下の値を入力して下さい　");
}

// Conditions no exposure can have are refused before anything is computed: the results shown
// stay those of the earlier calculation, and they can no longer be added.
void MainWindowTest::refusedConditions() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    Session s;
    s.setExamPart("その他");
    s.calculate();
    const QString exposure = s.label("Label78")->text(), esd = s.label("Label73")->text();
    const double esdSoft = s.state().dose.esdSoft;
    QVERIFY(s.button("Command3")->isEnabled());
    s.type(field.toLatin1().constData(), value);
    s.calculate();
    QCOMPARE(s.rec.texts(), QStringList{message});
    QCOMPARE(s.rec.messages.back().icon, ui::Icon::Exclamation);
    QCOMPARE(s.label("Label78")->text(), exposure);
    QCOMPARE(s.label("Label73")->text(), esd);
    QCOMPARE(s.state().dose.esdSoft, esdSoft);
    QVERIFY(!s.button("Command3")->isEnabled());
}

void MainWindowTest::missingKernelFileIsNamed() {
    Session s;
    s.calculate();  // 腹部正面 with an estimate
    QVERIFY(!s.label("Label81")->text().isEmpty());
    fs::remove(s.dir / "PDS-data" / "50.dat");
    s.calculate();
    QCOMPARE(s.rec.messages.size(), std::size_t(1));
    QVERIFY2(s.rec.last().startsWith(kCalcFailed + "\n"), qPrintable(s.rec.last()));
    QVERIFY2(s.rec.last().contains(QStringLiteral("50.dat")), qPrintable(s.rec.last()));
    // This calculation's entrance doses, and no effective dose of the earlier one beside them.
    QCOMPARE(s.label("Label73")->text(), Fmt(s.state().dose.esdSoft, "#0.00"));
    QCOMPARE(s.label("Label81")->text(), QString());
    QVERIFY(!s.button("Command3")->isEnabled());
}

// The spectrum file cannot be written: the calculation stops before the doses, and no field
// keeps a value of the earlier calculation.
void MainWindowTest::failureBeforeTheDosesEmptiesTheFields() {
    Session s;
    s.setExamPart("その他");
    s.calculate();
    QVERIFY(!s.label("Label73")->text().isEmpty());
    fs::remove(s.dir / "X_SPCTL.dat");
    fs::create_directory(s.dir / "X_SPCTL.dat");
    s.calculate();
    QCOMPARE(s.rec.messages.size(), std::size_t(1));
    QVERIFY2(s.rec.last().startsWith(kCalcFailed + "\n"), qPrintable(s.rec.last()));
    QVERIFY2(s.rec.last().contains(QStringLiteral("X_SPCTL.dat")), qPrintable(s.rec.last()));
    for (const char* r : {"Label78", "Label68", "Label69", "Label70", "Label71", "Label72",
                          "Label73", "Label74", "Label75", "Label81"})
        QVERIFY2(s.label(r)->text().isEmpty(), r);
    QVERIFY(!s.button("Command3")->isEnabled());
}

// An exam part typed by the user, without organ data: the entrance doses are complete, no
// estimate is made ("---" and a note why), and the row can be added under the typed name.
void MainWindowTest::typedExamPartWithoutDataCanBeAdded() {
    Session s;
    s.setExamPart("足関節正面");
    s.calculate();
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    QCOMPARE(s.label("Label81")->text(), QString("---"));
    QVERIFY(s.label("Label89")->text().contains(QStringLiteral("臓器データがない")));
    QVERIFY(s.button("Command3")->isEnabled());
    s.add();
    QCOMPARE(s.state().table.count(), 1);
    QCOMPARE(QString::fromStdString(s.state().table.row(1).examPart), QString("足関節正面"));
    QCOMPARE(s.state().table.row(1).effectiveDose, 0.0);
    QCOMPARE(s.state().table.row(1).subjectThickness, 20.0);
    // The next calculation with organ data clears the note.
    s.setExamPart("腹部正面");
    s.calculate();
    QCOMPARE(s.label("Label89")->text(), QString());
}

void MainWindowTest::oddInputsNeverCrash_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("part");
    const char* fields[] = {"Text1", "Text2", "Text5",  "Text6",  "Text7",
                            "Text8", "Text9", "Text23", "Text10", "Text11"};
    const char* values[] = {"0", "-5", "1e308", "abc", "&H20", "90", "1e-300", "150.0001"};
    for (const char* f : fields)
        for (const char* v : values)
            for (const char* part : {"その他", "腹部正面"})
                QTest::newRow(qPrintable(QString("%1=%2 %3").arg(f, v, QString::fromUtf8(part))))
                    << f << v << QString::fromUtf8(part);
}

void MainWindowTest::oddInputsNeverCrash() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, part);
    std::unique_ptr<Session>& s = oddSession_;  // one program for all rows
    if (!s) s = std::make_unique<Session>();
    s->rec.clear();
    s->startup();
    s->setExamPart(part);
    s->type(field.toLatin1().constData(), value);
    s->calculate();
    // Either a result, or one of the program's own messages; never a crash or a hang.
    for (const auto& m : s->rec.messages) {
        const bool known =
            m.text.startsWith(kCalcFailed) ||
            m.text == QStringLiteral("  被写体厚が (FFD-FSD) より大きくなっています  ") ||
            m.text.endsWith(QStringLiteral("に入力ミスがあります")) ||
            m.text.endsWith(QStringLiteral("の値を入力して下さい　")) ||
            m.text.endsWith(QStringLiteral("に数値を入力して下さい　"));
        QVERIFY2(known, qPrintable(m.text));
    }
    if (s->rec.messages.empty()) {
        QVERIFY(!s->label("Label73")->text().isEmpty());
        QVERIFY(s->button("Command3")->isEnabled());
    }
}

void MainWindowTest::commandStates() {
    Session s;
    s.calculate();  // with an estimate
    QVERIFY(s.button("Command3")->isEnabled());
    QVERIFY(s.button("Command5")->isEnabled());
    s.add();
    QVERIFY(!s.button("Command3")->isEnabled());
    QVERIFY(s.button("Command5")->isEnabled());
    QCOMPARE(s.state().table.count(), 1);
    s.add();  // a disabled command does nothing
    QCOMPARE(s.state().table.count(), 1);
    s.setExamPart("その他");
    s.calculate();
    QVERIFY(s.button("Command3")->isEnabled());
    QVERIFY(!s.button("Command5")->isEnabled());  // "その他" has no organ list to show
    QTest::mouseClick(s.button("Command6"), Qt::LeftButton);
    QVERIFY(!s.button("Command3")->isEnabled());
    QVERIFY(s.button("Command2")->isEnabled());
    QVERIFY(!s.button("Command5")->isEnabled());
    for (const char* r : {"Label78", "Label68", "Label69", "Label70", "Label71", "Label72",
                          "Label73", "Label74", "Label75", "Label81"})
        QCOMPARE(s.label(r)->text(), QString());
    QCOMPARE(s.state().table.count(), 1);  // the table is not touched
}

void MainWindowTest::clearInUnnamedStateEnablesCalculate() {
    apptest::AppDataOptions opt;
    opt.withUserName = false;
    Session s(opt);
    QVERIFY(!s.button("Command2")->isEnabled());
    QTest::mouseClick(s.button("Command6"), Qt::LeftButton);
    QVERIFY(s.button("Command2")->isEnabled());
}

void MainWindowTest::fifteenRowsAndCapacity() {
    Session s;
    s.setExamPart("その他");
    for (int i = 1; i <= 15; ++i) {
        s.type("Text6", QString::number(100 + i));
        s.calculate();
        QVERIFY(s.button("Command3")->isEnabled());
        s.add();
        QCOMPARE(s.state().table.count(), i);
        QCOMPARE(s.state().table.row(i).tubeCurrent, 100.0 + i);
        QCOMPARE(s.results()->surface()->textAt(10, 49 + 50 * i), QString("その他"));
        if (i < 15) QVERIFY(s.rec.messages.empty());
    }
    QCOMPARE(s.rec.texts(), QStringList{kCapacity});
    QCOMPARE(s.state().table.nextRow, 16);
    QVERIFY(!s.button("Command3")->isEnabled());
    // A full table still calculates, but the result cannot be added.
    s.rec.clear();
    s.calculate();
    QVERIFY(s.rec.messages.empty());
    QVERIFY(!s.label("Label73")->text().isEmpty());
    QVERIFY(!s.button("Command3")->isEnabled());
    QCOMPARE(s.state().table.count(), 15);
}

void MainWindowTest::totalsAndErase() {
    Session s;
    s.setExamPart("その他");
    for (int i = 0; i < 3; ++i) {
        s.calculate();
        s.add();
    }
    QVERIFY(s.results()->totalsButton()->isVisibleTo(s.results()));
    s.results()->totalsCommand();
    QVERIFY(s.rec.messages.empty());
    // Set a filter and a measured value, then erase the table with OK.
    s.main()->openArbitraryFilter();
    auto* fd = s.main()->filterDialog();
    fd->fileList()->setCurrentRow(0);
    fd->thicknessBox()->setText("1");
    fd->applyCommand();
    QVERIFY(s.state().filter.on);
    s.main()->openArbitraryFilter();
    s.calculate();
    s.rec.answer = true;
    s.results()->eraseCommand();
    QVERIFY(s.state().table.empty());
    QVERIFY(SurfaceShows(s.results(), "Dovex-FV"));
    QVERIFY(SurfaceShows(s.results(), "テスト太郎"));
    QVERIFY(!s.results()->totalsButton()->isVisibleTo(s.results()));
    for (const char* r : {"Label78", "Label68", "Label69", "Label70", "Label71", "Label72",
                          "Label73", "Label74", "Label75"})
        QCOMPARE(s.label(r)->text(), QString());
    QCOMPARE(s.label("Label81")->text(), QString());  // emptied with the other results
    QVERIFY(!s.state().filter.on);
    QCOMPARE(QString::fromStdString(s.cond().arbitraryFilterName), QString());
    QCOMPARE(s.cond().arbitraryFilterThickness, 0.0);
    QCOMPARE(s.label("Label86")->text(), QString());
    QVERIFY(!fd->isVisible());
    QVERIFY(s.ctl<QRadioButton>("Option4")->isChecked());
    QCOMPARE(s.cond().exposureSource, ExposureSource::DefaultOutput);
    QVERIFY(!s.button("Command3")->isEnabled());
    QCOMPARE(s.main()->focusWidget(), s.button("Command2"));
}

void MainWindowTest::measuredExposure_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("cPerKg");
    QTest::addColumn<QString>("shown");
    QTest::newRow("C/kg") << "Option1"
                          << "2.58E-04" << 0.000258 << "2.58E-4";
    QTest::newRow("R") << "Option2"
                       << "1" << 0.000258 << "2.58E-4";
    QTest::newRow("Gy") << "Option3"
                        << "0.001" << 0.001 / 33.97 << "2.94E-5";
}

void MainWindowTest::measuredExposure() {
    QFETCH(QString, option);
    QFETCH(QString, typed);
    QFETCH(double, cPerKg);
    QFETCH(QString, shown);
    Session s;
    s.ctl<QRadioButton>("Option5")->click();
    auto* d = s.main()->measuredDialog();
    QVERIFY(d && d->isVisible());
    QCOMPARE(d->valueBox()->text(), QString());
    d->findChild<QRadioButton*>(option)->setChecked(true);
    d->valueBox()->setText(typed);
    QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(s.cond().exposureSource, ExposureSource::Measured);
    QVERIFY(qAbs(s.cond().exposureAt1m - cPerKg) <= 1e-15);
    QCOMPARE(s.label("Label78")->text(), shown);
    QVERIFY(s.ctl<QRadioButton>("Option5")->isChecked());
    // The calculation uses the measured value in full.
    s.setExamPart("その他");
    s.calculate();
    QCOMPARE(s.cond().exposureAt1m, cPerKg);
    QCOMPARE(s.label("Label78")->text(), shown);
    const double esd1 = s.state().dose.esdAir;
    QVERIFY(qAbs(esd1 / cPerKg - s.state().dose.esdAir / s.cond().exposureAt1m) < 1e-9);
}

void MainWindowTest::measuredExposureCancelAndClear() {
    Session s;
    s.setExamPart("その他");
    s.ctl<QRadioButton>("Option5")->click();
    auto* d = s.main()->measuredDialog();
    d->valueBox()->setText("0.0005");
    QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(s.label("Label78")->text(), QString("5.00E-4"));
    // The clear command empties the display; the next calculation still uses the value.
    QTest::mouseClick(s.button("Command6"), Qt::LeftButton);
    QCOMPARE(s.label("Label78")->text(), QString());
    s.calculate();
    QCOMPARE(s.cond().exposureAt1m, 0.0005);
    QCOMPARE(s.cond().exposureSource, ExposureSource::Measured);
    // Choosing the default output data empties the display.
    s.label("Label78")->setText("5.00E-4");
    s.ctl<QRadioButton>("Option4")->click();
    QCOMPARE(s.cond().exposureSource, ExposureSource::DefaultOutput);
    QCOMPARE(s.label("Label78")->text(), QString());
    // Cancel selects the default output data again.
    s.ctl<QRadioButton>("Option5")->click();
    QTest::mouseClick(d->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QVERIFY(s.ctl<QRadioButton>("Option4")->isChecked());
    QCOMPARE(s.cond().exposureSource, ExposureSource::DefaultOutput);
    s.calculate();
    QVERIFY(s.cond().exposureAt1m != 0.0005);
    // The close box does the same and drops the dialog.
    s.ctl<QRadioButton>("Option5")->click();
    d = s.main()->measuredDialog();
    d->valueBox()->setText("1");
    d->close();
    QVERIFY(s.ctl<QRadioButton>("Option4")->isChecked());
    QCOMPARE(s.cond().exposureSource, ExposureSource::DefaultOutput);
}

void MainWindowTest::fluoroscopyAverage() {
    Session s;
    QTest::mouseClick(s.button("Command4"), Qt::LeftButton);
    auto* d = s.main()->fluoroscopyDialog();
    QVERIFY(d && d->isVisible());
    d->pulsedOption()->click();
    d->currentBox()->setText("10");
    d->rateBox()->setText("15");
    d->widthBox()->setText("4");
    QTest::mouseClick(d->findChild<QPushButton*>("Command3"), Qt::LeftButton);
    QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(s.text("Text6")->text(), QString("0.6"));
    QCOMPARE(s.cond().tubeCurrent, 0.6);
    QCOMPARE(s.text("Text7")->text(), QString("0.05"));  // the time is not changed
    // Reopening starts continuous with empty boxes.
    QTest::mouseClick(s.button("Command4"), Qt::LeftButton);
    QVERIFY(d->continuousOption()->isChecked());
    QCOMPARE(d->averageBox()->text(), QString());
    QTest::mouseClick(d->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QCOMPARE(s.cond().tubeCurrent, 0.6);
}

void MainWindowTest::arbitraryFilterSetAndRemoved() {
    Session s;
    s.setExamPart("その他");
    QCOMPARE(s.label("Label86")->text(), QString("―"));
    QCOMPARE(s.label("Label87")->text(), QString("0"));
    s.calculate();
    const DoseResult before = s.state().dose;
    const FineArray spectrumBefore = s.state().spectrum.airKerma;

    QTest::mouseClick(s.button("Command9"), Qt::LeftButton);
    auto* d = s.main()->filterDialog();
    QVERIFY(d && d->isVisible());
    QCOMPARE(d->fileList()->count(), 3);  // Al.ele, Broken.mix, Cu.ele
    d->fileList()->setCurrentRow(2);      // Cu
    d->thicknessBox()->setText("0.1");
    QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(s.state().filter.on);
    QCOMPARE(QString::fromStdString(s.cond().arbitraryFilterName), QString("銅 (Cu)"));
    QCOMPARE(s.cond().arbitraryFilterThickness, 0.01);
    QCOMPARE(s.label("Label86")->text(), QString("銅 (Cu)"));
    QCOMPARE(s.label("Label87")->text(), QString("0.1"));
    s.calculate();
    const DoseResult filtered = s.state().dose;
    QVERIFY(filtered.esdAir < before.esdAir);  // copper takes out the soft photons
    s.add();
    QCOMPARE(QString::fromStdString(s.state().table.row(1).arbitraryFilterName),
             QString("銅 (Cu)"));
    QCOMPARE(s.state().table.row(1).arbitraryFilterThickness, 0.01);

    // Choosing another file and cancelling does not change the filter that is set.
    QTest::mouseClick(s.button("Command9"), Qt::LeftButton);
    d->fileList()->setCurrentRow(0);
    QTest::mouseClick(d->findChild<QPushButton*>("Command3"), Qt::LeftButton);
    QCOMPARE(QString::fromStdString(s.cond().arbitraryFilterName), QString("銅 (Cu)"));

    // "解 除": the same spectrum and doses as before the filter.
    QTest::mouseClick(s.button("Command9"), Qt::LeftButton);
    QTest::mouseClick(d->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QVERIFY(!s.state().filter.on);
    QCOMPARE(s.label("Label86")->text(), QString());
    QCOMPARE(s.label("Label87")->text(), QString());
    s.calculate();
    QCOMPARE(s.cond().arbitraryFilterThickness, 0.0);
    for (long i = 1; i <= 300; ++i) QCOMPARE(s.state().spectrum.airKerma[i], spectrumBefore[i]);
    QCOMPARE(s.state().dose.esdAir, before.esdAir);
    QCOMPARE(s.state().dose.esdSoft, before.esdSoft);
}

void MainWindowTest::registration() {
    apptest::AppDataOptions opt;
    opt.withUserName = false;
    Session s(opt);
    QTest::mouseClick(s.button("Command8"), Qt::LeftButton);
    auto* d = s.main()->registrationDialog();
    QVERIFY(d && d->isVisible());
    d->nameBox()->clear();
    QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(s.rec.last(), QString("名前が入力されていません"));
    QCOMPARE(s.primaryLines(), std::size_t(31));
    d->nameBox()->setText("ABC");
    QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(!d->isVisible());
    QCOMPARE(s.primaryLines(), std::size_t(32));
    QCOMPARE(s.primaryLine(32), QString("ABC"));
    QCOMPARE(s.main()->windowTitle(), kTitleNamedPrefix + "ABC");
    QVERIFY(!s.button("Command8")->isVisible());
    QVERIFY(s.button("Command2")->isEnabled());
    QCOMPARE(s.app->userName(), QString("ABC"));
    QVERIFY(SurfaceShows(s.results(), "Dovex-SE"));
    QVERIFY(SurfaceShows(s.results(), "ABC"));
    QVERIFY(ResultsLabelShows(s.results(), "ABC"));
    // The engine's lines still load.
    PhysicsTables t;
    LoadPhysicsTables(t, s.dir);
}

void MainWindowTest::guestName() {
    apptest::AppDataOptions opt;
    opt.withUserName = false;
    Session s(opt);
    const std::string before = ReadFileBytes(s.dir / "Primary.dat");
    QTest::mouseClick(s.button("Command8"), Qt::LeftButton);
    QTest::mouseClick(s.main()->registrationDialog()->findChild<QPushButton*>("Command2"),
                      Qt::LeftButton);
    QCOMPARE(s.main()->windowTitle(), kTitleUnnamed + "   :   ゲストユーザー");
    QVERIFY(s.button("Command2")->isEnabled());
    QVERIFY(!s.button("Command8")->isVisible());
    QCOMPARE(ReadFileBytes(s.dir / "Primary.dat"), before);  // never written
    QCOMPARE(s.app->userName(), QString("ゲストユーザー"));
    QVERIFY(SurfaceShows(s.results(), "ゲストユーザー"));
    QVERIFY(!ResultsLabelShows(s.results(), "ゲストユーザー"));  // the name label stays
}

void MainWindowTest::nameChange() {
    Session s;
    // A 40-line file: lines 33 to 40 are dropped when the name is written.
    auto lines = SplitLines(ReadFileBytes(s.dir / "Primary.dat"));
    const std::vector<std::string> engine(lines.begin(), lines.begin() + 31);
    while (lines.size() < 40) lines.push_back("extra");
    WriteFileAtomic(s.dir / "Primary.dat", JoinCrLf(lines));
    auto* mascot = s.main()->findChild<ui::MascotLabel*>("Picture1");
    QCOMPARE(mascot->toolTip(), QString(" ダブルクリック "));
    QTest::mouseDClick(mascot, Qt::LeftButton);
    auto* d = s.main()->nameChangeDialog();
    QVERIFY(d && d->isVisible());
    QCOMPARE(d->nameBox()->text(), QString("テスト太郎"));
    d->nameBox()->setText("放射線部 Ｘ線室");
    QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(!d->isVisible());
    const auto after = SplitLines(ReadFileBytes(s.dir / "Primary.dat"));
    QCOMPARE(after.size(), std::size_t(32));
    for (std::size_t i = 0; i < 31; ++i) QCOMPARE(after[i], engine[i]);
    QCOMPARE(s.primaryLine(32), QString("放射線部 Ｘ線室"));
    QCOMPARE(s.main()->windowTitle(), kTitleNamedPrefix + "放射線部 Ｘ線室");
    QVERIFY(SurfaceShows(s.results(), "Dovex-V"));
    QVERIFY(SurfaceShows(s.results(), "放射線部 Ｘ線室"));
    QVERIFY(ResultsLabelShows(s.results(), "放射線部 Ｘ線室"));
    // Cancel in the change dialog changes nothing.
    QTest::mouseDClick(mascot, Qt::LeftButton);
    d->nameBox()->setText("other");
    QTest::mouseClick(d->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QCOMPARE(s.primaryLine(32), QString("放射線部 Ｘ線室"));
    QCOMPARE(s.app->userName(), QString("放射線部 Ｘ線室"));
}

void MainWindowTest::nameNotRepresentable() {
    Session s;
    const std::string before = ReadFileBytes(s.dir / "Primary.dat");
    QTest::mouseDClick(s.main()->findChild<ui::MascotLabel*>("Picture1"), Qt::LeftButton);
    auto* d = s.main()->nameChangeDialog();
    d->nameBox()->setText(QString::fromUtf8("名前\xF0\x9F\x98\x80"));
    QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(d->isVisible());
    QCOMPARE(s.rec.messages.size(), std::size_t(1));
    QCOMPARE(ReadFileBytes(s.dir / "Primary.dat"), before);
    QCOMPARE(s.app->userName(), QString("テスト太郎"));
    QCOMPARE(s.main()->windowTitle(), kTitleNamedPrefix + "テスト太郎");
}

void MainWindowTest::exitDeclinedKeepsEverything() {
    Session s;
    s.setExamPart("その他");
    s.type("Text5", "90");
    s.calculate();
    s.add();
    const QString esd = s.label("Label73")->text();
    MainWindow* before = s.main();
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QVERIFY(s.app->exitDialog()->isVisible());
    QVERIFY(s.main()->isVisible());
    QTest::mouseClick(s.app->exitDialog()->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QVERIFY(!s.app->exitDialog()->isVisible());
    QCOMPARE(s.main(), before);
    QCOMPARE(s.text("Text5")->text(), QString("90"));
    QCOMPARE(s.label("Label73")->text(), esd);
    QCOMPARE(s.state().table.count(), 1);
}

void MainWindowTest::exitByCloseBoxReloads() {
    Session s;
    s.setExamPart("その他");
    s.type("Text5", "90");
    s.calculate();
    s.add();
    QPointer<MainWindow> before = s.main();
    s.main()->close();
    QVERIFY(s.app->exitDialog()->isVisible());
    QTest::mouseClick(s.app->exitDialog()->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QVERIFY(!before);
    QVERIFY(s.main());
    QVERIFY(s.main()->isVisible());
    QCOMPARE(s.text("Text5")->text(), QString("75"));
    QCOMPARE(s.label("Label73")->text(), QString());
    QCOMPARE(s.cond().tubeVoltage, 75.0);
    QCOMPARE(s.main()->windowTitle(), kTitleNamedPrefix + "テスト太郎");
    // The unsaved row is kept, and still drawn.
    QCOMPARE(s.state().table.count(), 1);
    QCOMPARE(s.state().table.row(1).tubeVoltage, 90.0);
    QCOMPARE(s.results()->surface()->textAt(10, 99), QString("その他"));
    s.calculate();
    s.add();
    QCOMPARE(s.state().table.count(), 2);
}

void MainWindowTest::neverWithoutAWindow() {
    Session s;
    auto shown = [&] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) n += w->isVisible() ? 1 : 0;
        return n;
    };
    s.setExamPart("その他");
    s.calculate();
    s.add();
    // Main window, then the confirmation, by their close boxes: the table window stays.
    s.main()->close();
    s.app->exitDialog()->close();
    QVERIFY(s.results()->isVisible());
    // Closing the last window asks whether to end.
    s.results()->close();
    QVERIFY(s.app->exitDialog()->isVisible());
    // Closing that question too means "do not end": the main window comes back with the row.
    s.app->exitDialog()->close();
    QTRY_VERIFY(s.main() && s.main()->isVisible());
    QVERIFY(shown() > 0);
    QCOMPARE(s.state().table.count(), 1);
    // The table window, closed while the main window is open, comes back with the next row.
    s.results()->close();
    QVERIFY(!s.app->exitDialog()->isVisible());
    s.calculate();
    s.add();
    QVERIFY(s.results()->isVisible());
    QCOMPARE(s.state().table.count(), 2);
}

void MainWindowTest::reloadWithADamagedFolderGoesOn() {
    // A data file removed while the program runs: the main window loaded anew says so and goes
    // on with the data read at start-up; the unsaved row is not lost.
    Session s;
    s.setExamPart("その他");
    s.calculate();
    s.add();
    fs::remove(s.dir / "Att_coeff2020.dat");
    s.main()->close();
    QTest::mouseClick(s.app->exitDialog()->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QVERIFY(s.rec.last().contains("Att_coeff2020.dat"));
    QVERIFY(s.rec.last().endsWith("前に読み込んだデータで続けます。"));
    QTRY_VERIFY(s.main() && s.main()->isVisible());
    QCOMPARE(s.state().table.count(), 1);
    s.calculate();
    QVERIFY(!s.label("Label73")->text().isEmpty());
}

void MainWindowTest::addAfterReadingAFile() {
    // A calculation waiting to be added, then a full results file read: the add command goes
    // off; the current values are now those of the last row read.
    Session s;
    s.setExamPart("その他");
    s.calculate();
    QVERIFY(s.button("Command3")->isEnabled());
    ResultsTable full;
    for (int i = 1; i <= 15; ++i) {
        full.rows[i] = MakeResultRow(s.cond(), s.state().dose, s.state().surface, ResultRow{});
        full.rows[i].tubeCurrent = 100 + i;
    }
    full.nextRow = 16;
    SaveResultsFile(s.dir / "full.csv", full, "15 rows", 33.97);
    s.results()->readCommand();
    auto* rd = s.results()->readDialog();
    rd->browser()->setFolder(QString::fromStdString(s.dir.string()));
    const auto found = rd->browser()->files()->findItems("full.csv", Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    rd->browser()->files()->setCurrentItem(found[0]);
    rd->accept();
    QVERIFY(s.state().table.full());
    QVERIFY(!s.button("Command3")->isEnabled());
    s.add();
    QCOMPARE(s.state().table.count(), 15);
    QVERIFY(s.rec.messages.empty());
}

void MainWindowTest::exitConfirmed() {
    Session s;
    s.setExamPart("その他");
    s.calculate();
    s.add();
    QSignalSpy quit(s.app.get(), &Application::quitRequested);
    QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
    QTest::mouseClick(s.app->exitDialog()->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(quit.count(), 1);
    QVERIFY(s.rec.messages.empty());  // no question about the unsaved rows
}

void MainWindowTest::exitConfirmedEndsTheEventLoop() {
    // As the program runs it: "はい" quits the application's event loop, which closes every
    // window; the main window's close must not bring the confirmation back and stop the quit.
    Session s;
    s.setExamPart("その他");
    s.calculate();
    s.add();
    QObject::connect(s.app.get(), &Application::quitRequested, qApp, &QApplication::quit,
                     Qt::QueuedConnection);
    bool timedOut = false;
    QTimer::singleShot(0, [&] {
        QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
        QTest::mouseClick(s.app->exitDialog()->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    });
    QTimer::singleShot(5000, [&] {
        timedOut = true;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible()) qWarning() << "still visible:" << w << w->windowTitle();
        QCoreApplication::exit(3);
    });
    const int rc = QApplication::exec();
    QVERIFY(!timedOut);
    QCOMPARE(rc, 0);
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));
}

void MainWindowTest::effectiveDosePrompt() {
    Session s;
    s.calculate();  // an estimate
    QVERIFY(s.state().dose.effectiveDose > 0);
    s.add();
    s.main()->openEffectiveDosePrompt();
    auto* p = s.main()->effectiveDosePrompt();
    QVERIFY(p && p->isVisible());
    QCOMPARE(p->windowTitle(), QString(" 実効線量"));
    // "計算しない": no estimate for the row about to be added.
    QTest::mouseClick(p->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QVERIFY(!p->isVisible());
    QCOMPARE(s.state().dose.effectiveDose, 0.0);
    QCOMPARE(s.label("Label81")->text(), QString("---"));
    QVERIFY(s.button("Command3")->isEnabled());
    s.add();
    QCOMPARE(s.state().table.row(2).effectiveDose, 0.0);
    // "計算する": details enabled; the separate program is not part of this system, and a
    // failure to start it is reported.
    QTest::mouseClick(s.button("Command6"), Qt::LeftButton);
    s.main()->openEffectiveDosePrompt();
    QTest::mouseClick(p->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(!p->isVisible());
    QVERIFY(s.button("Command5")->isEnabled());
    QCOMPARE(s.rec.last(), QString("　Dovex_SE_sub.exe を起動できません　"));
    // The close box does what "計算しない" does.
    s.main()->openEffectiveDosePrompt();
    s.label("Label81")->setText("x");
    p->close();
    QCOMPARE(s.label("Label81")->text(), QString("---"));
}

void MainWindowTest::beamQualityReferenceLevelChartsAndReport() {
    if (!apptest::ShippedDataComplete()) QSKIP("the shipped data folder is not complete yet");
    Session s({}, true);
    QVERIFY(s.started);
    s.continueAsGuest();
    QualityPanel* q = s.main()->qualityPanel();
    QVERIFY(q->hvl1Label()->text().isEmpty());
    QVERIFY(!q->reportButton()->isEnabled());
    s.setExamPart("胸部正面");
    s.type("Text5", "90");
    s.calculate();
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    const BeamQuality& bq = s.state().quality;
    QVERIFY(bq.hvl1MmAl > 1 && bq.hvl2MmAl > bq.hvl1MmAl);
    QCOMPARE(q->hvl1Label()->text(), Fmt(bq.hvl1MmAl, "#0.000"));
    QCOMPARE(q->hvl2Label()->text(), Fmt(bq.hvl2MmAl, "#0.000"));
    QCOMPARE(q->effectiveEnergyLabel()->text(), Fmt(bq.effectiveEnergyKeV, "#00.00"));
    QCOMPARE(q->qualityIndexLabel()->text(), Fmt(bq.qualityIndex, "0.000"));
    // The panel's patterns are those the table of result quantities gives it.
    const auto panel = [](const char* json) {
        return calc::ResultQuantityOf(json).patternAt(calc::ResultPlace::QualityPanel);
    };
    QCOMPARE(q->hvl1Label()->text(), Fmt(bq.hvl1MmAl, panel("hvl1MmAl")));
    QCOMPARE(q->hvl2Label()->text(), Fmt(bq.hvl2MmAl, panel("hvl2MmAl")));
    QCOMPARE(q->effectiveEnergyLabel()->text(),
             Fmt(bq.effectiveEnergyKeV, panel("effectiveEnergyKeV")));
    QCOMPARE(q->qualityIndexLabel()->text(), Fmt(bq.qualityIndex, panel("qualityIndex")));
    QCOMPARE(s.state().dose.hvl1, bq.hvl1MmAl / 10);
    // Chest PA below 100 kV: 0.4 mGy; from 100 kV on: 0.3 mGy.
    QCOMPARE(q->drlLabel()->text(), QString("0.4"));
    QCOMPARE(q->drlPercentLabel()->text(), Fmt(100 * s.state().dose.esdAir / 0.4, "##0") + " %");
    s.type("Text5", "100");
    s.calculate();
    QCOMPARE(q->drlLabel()->text(), QString("0.3"));
    s.type("Text7", "0.002");  // 0.4 mAs: below the level
    s.calculate();
    QVERIFY(s.state().drl.percent < 100);
    QVERIFY(!q->drlPercentLabel()->styleSheet().contains("c00000"));
    s.type("Text7", "0.05");
    s.type("Text6", "1000");  // far above the level: shown in red
    s.calculate();
    QVERIFY(s.state().drl.percent > 100);
    QVERIFY(q->drlPercentLabel()->styleSheet().contains("c00000"));
    // The results row carries the computed beam quality.
    s.add();
    QCOMPARE(s.state().table.row(1).hvl1, s.state().dose.hvl1);
    QCOMPARE(s.state().table.row(1).qualityIndex, bq.qualityIndex);

    // The spectrum window follows each calculation while open.
    QTest::mouseClick(q->spectrumButton(), Qt::LeftButton);
    SpectrumWindow* w = s.main()->spectrumWindow();
    QVERIFY(w && w->isVisible());
    QVERIFY(w->view()->chart()->title().startsWith("100 kV"));
    s.type("Text5", "70");
    s.setExamPart("腹部正面");
    s.calculate();
    QVERIFY(w->view()->chart()->title().startsWith("70 kV"));
    QVERIFY(!w->image().isNull());

    // The depth-dose chart opens from the organ list.
    s.main()->showDetails();
    QTest::mouseClick(s.main()->organWindow()->findChild<QPushButton*>("DepthDoseButton"),
                      Qt::LeftButton);
    auto* dd = s.main()->organWindow()->findChild<ChartWindow*>("DepthDoseWindow");
    QVERIFY(dd && dd->isVisible());
    QVERIFY(dd->view()->chart()->series().size() > 3);
    QVERIFY(dd->view()->chart()->title().contains("被写体厚 20 cm"));
    s.type("Text23", "15");  // it follows the next run while open
    s.calculate();
    QVERIFY(dd->view()->chart()->title().contains("被写体厚 15 cm"));

    // The report: one A4 page.
    const QString pdf = s.tmp.filePath("report.pdf");
    s.main()->saveReport(pdf);
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    QCOMPARE(QString::fromLatin1(bytes).count(QRegularExpression("/Type\\s*/Page[^s]")), 1);
    QVERIFY(bytes.contains("/MediaBox [0 0 595"));
    // Saved under the name of a pipe, the report is refused and the pipe stays; through a link
    // to a regular file, the file gets the page and the link stays.
    const std::filesystem::path pipe = s.tmp.filePath("pipe.pdf").toStdString();
    QCOMPARE(::mkfifo(pipe.c_str(), 0600), 0);
    s.main()->saveReport(QString::fromStdString(pipe.string()));
    QVERIFY2(s.rec.last().contains("named pipe"), qPrintable(s.rec.last()));
    QCOMPARE(std::filesystem::symlink_status(pipe).type(), std::filesystem::file_type::fifo);
    s.rec.clear();
    const std::filesystem::path link = s.tmp.filePath("link.pdf").toStdString();
    std::filesystem::create_symlink(pdf.toStdString(), link);
    QFile::remove(pdf);
    QFile(pdf).open(QIODevice::WriteOnly);
    s.main()->saveReport(QString::fromStdString(link.string()));
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    QVERIFY(std::filesystem::is_symlink(link));
    QFile again(pdf);
    QVERIFY(again.open(QIODevice::ReadOnly));
    QVERIFY(again.readAll().startsWith("%PDF"));
    // The report writes every result quantity with the pattern the table gives the report (the
    // energies with one decimal there), each as a whole number text.
    ReportInputs in;
    in.conditions = s.cond();
    in.dose = s.state().dose;
    in.quality = s.state().quality;
    const QString html = ReportHtml(in);
    for (const calc::ResultQuantity& r : calc::ResultQuantities()) {
        const double v = r.dose      ? in.dose.*r.dose
                         : r.quality ? in.quality.*r.quality
                                     : in.conditions.exposureAt1m;
        if (std::string_view(r.json) == "effectiveDose" && !(v > 0)) continue;
        const QString text = Fmt(v, r.patternAt(calc::ResultPlace::Report));
        const QRegularExpression whole("(?<![0-9.])" + QRegularExpression::escape(text) +
                                       "(?![0-9.])");
        QVERIFY2(html.contains(whole), r.json);
    }

    // The group is emptied with the other result fields; a part without a level shows none.
    QTest::mouseClick(s.button("Command6"), Qt::LeftButton);
    QVERIFY(q->hvl1Label()->text().isEmpty());
    QVERIFY(!q->reportButton()->isEnabled());
    s.setExamPart("胸部側面");
    s.calculate();
    QCOMPARE(q->drlLabel()->text(), QString("---"));
    QVERIFY(q->drlPercentLabel()->text().isEmpty());
}

void MainWindowTest::referenceLevelFileMissing() {
    Session s;  // test data without the reference-level file: the doses are still computed
    QVERIFY(s.started);
    s.calculate();
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    QVERIFY(!s.main()->qualityPanel()->hvl1Label()->text().isEmpty());
    QCOMPARE(s.main()->qualityPanel()->drlLabel()->text(), QString("---"));
    QVERIFY(s.main()->findChild<QLabel*>("DrlItem")->text().contains("診断参考レベル.txt"));
}

// Each way a condition can change after a calculation. The results shown then belong to the
// previous conditions: greyed and marked, and neither added to the table nor reported, until the
// next calculation.
void MainWindowTest::changedConditionsMakeTheResultsStale_data() {
    QTest::addColumn<QString>("change");
    for (const char* c :
         {"typed field", "exam part", "rectification", "phantom", "preset", "fluoroscopy current",
          "arbitrary filter", "measured exposure", "refused calculation"})
        QTest::newRow(c) << QString::fromLatin1(c);
}

void MainWindowTest::changedConditionsMakeTheResultsStale() {
    QFETCH(QString, change);
    Session s;
    s.setExamPart("その他");
    s.type("Text5", "100");
    s.type("Text7", "0.1");
    s.calculate();
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    const double esd100 = s.state().dose.esdAir;
    QVERIFY(s.button("Command3")->isEnabled());
    QVERIFY(s.main()->qualityPanel()->reportButton()->isEnabled());
    QVERIFY(!s.label("StaleNote")->isVisible());
    QVERIFY(s.label("Label75")->isEnabled());

    if (change == "typed field") {
        s.type("Text5", "110");
        s.type("Text7", "0.5");
        QTest::keyClick(FocusWidget(), Qt::Key_Tab);  // the field is stored on leaving it
    } else if (change == "exam part") {
        s.setExamPart("足関節正面");
    } else if (change == "rectification") {
        s.ctl<QRadioButton>("Option3")->click();
    } else if (change == "phantom") {
        QTest::mouseClick(s.ctl<QRadioButton>("Option7"), Qt::LeftButton);
    } else if (change == "preset") {
        s.choosePreset(QStringLiteral("四切サイズ 縦"));
    } else if (change == "fluoroscopy current") {
        QTest::mouseClick(s.button("Command4"), Qt::LeftButton);
        auto* d = s.main()->fluoroscopyDialog();
        d->currentBox()->setText("2");
        QTest::mouseClick(d->findChild<QPushButton*>("Command3"), Qt::LeftButton);
        QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    } else if (change == "arbitrary filter") {
        s.main()->openArbitraryFilter();
        auto* fd = s.main()->filterDialog();
        fd->fileList()->setCurrentRow(0);
        fd->thicknessBox()->setText("1");
        fd->applyCommand();
    } else if (change == "measured exposure") {
        s.ctl<QRadioButton>("Option5")->click();
        auto* d = s.main()->measuredDialog();
        d->valueBox()->setText("2.58E-04");
        QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    } else if (change == "refused calculation") {
        s.type("Text5", "151");
        s.calculate();
        QCOMPARE(s.rec.messages.size(), std::size_t(1));
    }
    QVERIFY(!s.button("Command3")->isEnabled());
    QVERIFY(!s.main()->qualityPanel()->reportButton()->isEnabled());
    QVERIFY(s.label("StaleNote")->isVisible());
    QCOMPARE(s.label("StaleNote")->text(), QString("条件が変更されました。再計算して下さい"));
    for (const char* r : {"Label68", "Label73", "Label75", "Label81"})
        QVERIFY2(!s.label(r)->isEnabled(), r);  // greyed
    QVERIFY(!s.main()->qualityPanel()->hvl1Label()->isEnabled());
    // The add command, however called, keeps no row that mixes two calculations.
    s.main()->addToTable();
    QCOMPARE(s.state().table.count(), 0);
    const QString pdf = s.tmp.filePath("stale.pdf");
    s.main()->saveReport(pdf);
    QVERIFY(!QFile::exists(pdf));

    if (change == "refused calculation") s.type("Text5", "110");
    s.rec.clear();
    s.calculate();
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    QVERIFY(!s.label("StaleNote")->isVisible());
    QVERIFY(s.label("Label75")->isEnabled());
    QVERIFY(s.button("Command3")->isEnabled());
    s.add();
    QCOMPARE(s.state().table.count(), 1);
    const ResultRow& row = s.state().table.row(1);
    QCOMPARE(row.tubeVoltage, s.state().shown.conditions.tubeVoltage);
    QCOMPARE(row.exposureTime, s.state().shown.conditions.exposureTime);
    QCOMPARE(row.esdAir, s.state().dose.esdAir);
    if (change == "typed field") {
        QCOMPARE(row.tubeVoltage, 110.0);
        QCOMPARE(row.exposureTime, 0.5);
        QVERIFY(row.esdAir > 5 * esd100);  // five times the mAs at a higher voltage
    }
}

// The report and the spectrum window show the calculation they belong to, with its own
// conditions, never the conditions typed or refused after it.
void MainWindowTest::reportAndSpectrumBelongToTheResult() {
    Session s;
    s.setExamPart("その他");
    s.calculate();  // 75 kV
    QualityPanel* q = s.main()->qualityPanel();
    QTest::mouseClick(q->spectrumButton(), Qt::LeftButton);
    SpectrumWindow* w = s.main()->spectrumWindow();
    QVERIFY(w->view()->chart()->title().startsWith("75 kV"));
    const QString hvl = q->hvl1Label()->text();
    s.type("Text5", "5");
    s.calculate();  // refused
    QCOMPARE(s.rec.messages.size(), std::size_t(1));
    QVERIFY2(w->view()->chart()->title().startsWith("75 kV"),
             qPrintable(w->view()->chart()->title()));
    w->close();
    QTest::mouseClick(q->spectrumButton(), Qt::LeftButton);
    QVERIFY2(w->view()->chart()->title().startsWith("75 kV"),
             qPrintable(w->view()->chart()->title()));
    QCOMPARE(q->hvl1Label()->text(), hvl);
    QCOMPARE(s.state().shown.conditions.tubeVoltage, 75.0);
    // Typed back to the calculated voltage, the fields again match a fresh calculation's report.
    s.type("Text5", "90");
    s.rec.clear();
    s.calculate();
    QVERIFY(w->view()->chart()->title().startsWith("90 kV"));
    s.type("Text5", "60");  // typed, not calculated
    QCOMPARE(s.state().shown.conditions.tubeVoltage, 90.0);
    QTest::mouseClick(q->spectrumButton(), Qt::LeftButton);
    QVERIFY(w->view()->chart()->title().startsWith("90 kV"));
}

// A calculation without an estimate leaves no organ list of an earlier one to look at.
void MainWindowTest::noEstimateEmptiesTheOrganList_data() {
    QTest::addColumn<QString>("part");
    QTest::newRow("その他") << QStringLiteral("その他");
    QTest::newRow("typed part") << QStringLiteral("膝関節正面");
}

void MainWindowTest::noEstimateEmptiesTheOrganList() {
    QFETCH(QString, part);
    Session s;
    s.calculate();  // 腹部正面, with an estimate
    QVERIFY(s.button("Command5")->isEnabled());
    QTest::mouseClick(s.button("Command5"), Qt::LeftButton);
    QWidget* organ = s.main()->organWindow();
    QVERIFY(organ && organ->isVisible());
    QVERIFY(!organ->findChild<QLabel*>("Label57")->text().isEmpty());
    s.setExamPart(part);
    s.calculate();
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    QCOMPARE(s.label("Label81")->text(), QString("---"));
    QVERIFY(!s.button("Command5")->isEnabled());
    QCOMPARE(organ->findChild<QLabel*>("Label57")->text(), QString());
    QCOMPARE(organ->findChild<QLabel*>("Label42")->text(), QString());
    QCOMPARE(organ->findChild<QLabel*>("Label71")->text(), part);
    // The ticks the user set stay for the next estimate.
    QVERIFY(organ->findChild<QCheckBox*>("Check2")->isChecked());
    s.setExamPart("腹部正面");
    s.calculate();
    QVERIFY(s.button("Command5")->isEnabled());
    QVERIFY(!organ->findChild<QLabel*>("Label57")->text().isEmpty());
}

// The results window's erase command empties the main window's results whole: no effective dose
// and no organ list of the erased calculation stay.
void MainWindowTest::eraseEmptiesTheEffectiveDose() {
    Session s;
    s.calculate();  // 腹部正面, with an estimate
    QVERIFY(!s.label("Label81")->text().isEmpty());
    s.add();
    s.rec.answer = true;
    s.results()->eraseCommand();
    QCOMPARE(s.label("Label81")->text(), QString());
    QCOMPARE(s.label("Label73")->text(), QString());
    QVERIFY(!s.button("Command5")->isEnabled());
    QVERIFY(!s.main()->qualityPanel()->reportButton()->isEnabled());
}

// Numbers as Japanese users type them: full-width forms through an input method are read as
// their ASCII forms; a field that holds no number, or text after its number, is refused with a
// message naming the field, and nothing is computed.
void MainWindowTest::typedNumbers_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");    // the condition's value; NaN: refused
    QTest::addColumn<QString>("message");  // the start of the message when refused
    const double no = std::nan("");
    QTest::newRow("full-width kV") << "Text5"
                                   << "８０" << 80.0 << QString();
    QTest::newRow("full-width time") << "Text7"
                                     << "０．０５" << 0.05 << QString();
    QTest::newRow("full-width exponent") << "Text7"
                                         << "５Ｅ－２" << 0.05 << QString();
    QTest::newRow("full-width sign, blanks") << "Text1"
                                             << "　＋１２　" << 12.0 << QString();
    QTest::newRow("filter mm") << "Text3"
                               << "２．０" << 0.2 << QString();
    QTest::newRow("letters") << "Text5"
                             << "abc" << no << QStringLiteral("　管電圧に数値を入力して下さい　");
    QTest::newRow("empty") << "Text6"
                           << "" << no << QStringLiteral("　管電流に数値を入力して下さい　");
    QTest::newRow("letters after")
        << "Text5"
        << "80abc" << no << QStringLiteral("　管電圧の「80abc」は数値として読めません");
    QTest::newRow("decimal comma")
        << "Text7"
        << "0,05" << no << QStringLiteral("　照射時間の「0,05」は数値として読めません");
    QTest::newRow("thousands comma")
        << "Text8"
        << "1,000" << no << QStringLiteral("　FFDの「1,000」は数値として読めません");
    QTest::newRow("unit typed") << "Text4"
                                << "0.1mm" << no
                                << QStringLiteral("　付加フィルタ（銅）の「0.1mm」は");
    QTest::newRow("hexadecimal") << "Text23"
                                 << "&H14" << no
                                 << QStringLiteral("　被写体厚に数値を入力して下さい　");
}

void MainWindowTest::typedNumbers() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(double, stored);
    QFETCH(QString, message);
    Session s;
    s.setExamPart("その他");
    const QByteArray name = field.toLatin1();
    s.type(name.constData(), typed);
    s.calculate();
    if (std::isnan(stored)) {
        QCOMPARE(s.rec.messages.size(), std::size_t(1));
        QVERIFY2(s.rec.last().startsWith(message), qPrintable(s.rec.last()));
        QCOMPARE(FocusWidget(), s.text(name.constData()));  // back in the field to correct it
        QVERIFY(s.label("Label73")->text().isEmpty());      // nothing computed
        QVERIFY(!s.button("Command3")->isEnabled());
        return;
    }
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    const std::pair<const char*, double ExposureConditions::*> members[] = {
        {"Text1", &ExposureConditions::targetAngle},
        {"Text3", &ExposureConditions::addedAl},
        {"Text5", &ExposureConditions::tubeVoltage},
        {"Text7", &ExposureConditions::exposureTime}};
    for (const auto& [n, m] : members)
        if (field == n) QCOMPARE(s.cond().*m, stored);
    QVERIFY(!s.text(name.constData())->text().contains(QRegularExpression("[^ -~]")));  // ASCII
    QVERIFY(s.button("Command3")->isEnabled());
}

// A measured exposure at 1 m is that of one exposure: with it, the fluoroscopy current and time
// would be ignored. Choosing a fluoroscopy current goes back to the default output data and says
// so; so does a measured value entered while the current is the fluoroscopy one.
void MainWindowTest::fluoroscopyWithMeasuredExposure() {
    Session s;
    s.setExamPart("その他");
    s.ctl<QRadioButton>("Option5")->click();
    auto* m = s.main()->measuredDialog();
    m->valueBox()->setText("2.58E-04");
    QTest::mouseClick(m->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(s.cond().exposureSource, ExposureSource::Measured);
    QTest::mouseClick(s.button("Command4"), Qt::LeftButton);
    auto* d = s.main()->fluoroscopyDialog();
    d->currentBox()->setText("2");
    QTest::mouseClick(d->findChild<QPushButton*>("Command3"), Qt::LeftButton);
    QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(s.rec.texts(), QStringList{kFluoroscopyUsesDefaultOutput});
    QVERIFY(s.ctl<QRadioButton>("Option4")->isChecked());
    QCOMPARE(s.cond().exposureSource, ExposureSource::DefaultOutput);
    s.type("Text7", "300");
    s.calculate();
    const double fluoro = s.state().dose.esdAir;
    s.type("Text7", "0.05");
    s.calculate();
    QVERIFY(fluoro > 1000 * s.state().dose.esdAir);  // 600 mAs against 0.1 mAs, not the same dose
    // A measured value entered now: the same message, and the default output data again.
    s.rec.clear();
    s.ctl<QRadioButton>("Option5")->click();
    m = s.main()->measuredDialog();
    m->valueBox()->setText("2.58E-04");
    QTest::mouseClick(m->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(s.rec.texts(), QStringList{kFluoroscopyUsesDefaultOutput});
    QCOMPARE(s.cond().exposureSource, ExposureSource::DefaultOutput);
    // A current typed by hand ends the fluoroscopy: a measured value is then taken.
    s.type("Text6", "200");
    QTest::keyClick(FocusWidget(), Qt::Key_Tab);
    s.rec.clear();
    s.ctl<QRadioButton>("Option5")->click();
    m = s.main()->measuredDialog();
    m->valueBox()->setText("2.58E-04");
    QTest::mouseClick(m->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(s.rec.messages.empty());
    QCOMPARE(s.cond().exposureSource, ExposureSource::Measured);
}

// The reference levels are those of radiography: a fluoroscopy dose gets no percentage of them
// (it would read thousands of per cent), but a note, in the window and the report.
void MainWindowTest::fluoroscopyIsNotComparedWithTheReferenceLevel() {
    if (!apptest::ShippedDataComplete()) QSKIP("the shipped data folder is not complete yet");
    Session s({}, true);
    QVERIFY(s.started);
    s.continueAsGuest();
    QualityPanel* q = s.main()->qualityPanel();
    s.setExamPart("胸部正面");
    s.calculate();
    QVERIFY(!q->drlPercentLabel()->text().isEmpty());
    QTest::mouseClick(s.button("Command4"), Qt::LeftButton);
    auto* d = s.main()->fluoroscopyDialog();
    d->currentBox()->setText("2");
    QTest::mouseClick(d->findChild<QPushButton*>("Command3"), Qt::LeftButton);
    QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    s.type("Text7", "300");
    s.calculate();
    QVERIFY2(s.rec.messages.empty(), qPrintable(s.rec.texts().join("|")));
    QVERIFY(q->drlPercentLabel()->text().isEmpty());
    QCOMPARE(q->drlLabel()->text(), QString("---"));
    QCOMPARE(s.main()->findChild<QLabel*>("DrlItem")->text(), kFluoroscopyDrlNote);
    QVERIFY(!s.state().drl.hasLevel);
    // A radiography current typed again: compared again.
    s.type("Text6", "200");
    s.type("Text7", "0.05");
    s.calculate();
    QVERIFY(s.state().drl.hasLevel);
    QVERIFY(!q->drlPercentLabel()->text().isEmpty());
}

// The head's exam parts take the head phantom (skull under the skin), the others the soft-tissue
// phantom; the user may still choose the other one for the part.
void MainWindowTest::headPartsChooseTheHeadPhantom() {
    Session s;
    auto* body = s.ctl<QRadioButton>("Option6");
    auto* head = s.ctl<QRadioButton>("Option7");
    QVERIFY(body->isChecked());
    s.setExamPart("頭部正面");
    QVERIFY(head->isChecked());
    QCOMPARE(s.cond().phantom, Phantom::Head);
    s.setExamPart("頭部側面");
    QVERIFY(head->isChecked());
    body->click();  // the user's choice for this part stays
    s.setExamPart("頭部正面");
    QVERIFY(body->isChecked());
    QCOMPARE(s.cond().phantom, Phantom::Body);
    s.setExamPart("胸部正面");
    QVERIFY(body->isChecked());
    s.setExamPart("頭部側面");
    QVERIFY(head->isChecked());
    s.calculate();
    QCOMPARE(s.state().shown.conditions.phantom, Phantom::Head);
    s.setExamPart("腹部正面");
    QVERIFY(body->isChecked());
    QCOMPARE(s.cond().phantom, Phantom::Body);
}

// Tab goes through the window as it reads: the left column, the centre column, the results and
// then the commands, ending on the exit command.
void MainWindowTest::tabOrderFollowsTheScreen() {
    Session s;
    s.calculate();  // every command enabled
    s.text("Text1")->setFocus();
    QList<QWidget*> seen{FocusWidget()};
    for (int i = 0; i < 80 && FocusWidget() != s.button("Command1"); ++i) {
        QTest::keyClick(FocusWidget(), Qt::Key_Tab);
        seen << FocusWidget();
    }
    QCOMPARE(FocusWidget(), s.button("Command1"));  // 終了する is reached
    QWidget* order[] = {s.text("Text1"),
                        s.text("Text4"),
                        s.button("Command9"),
                        s.ctl<QRadioButton>("Option1"),
                        s.ctl<QRadioButton>("Option6"),
                        s.ctl<QComboBox>("Combo2"),
                        s.text("Text5"),
                        s.text("Text6"),
                        s.button("Command4"),
                        s.text("Text7"),
                        s.text("Text11"),
                        s.ctl<QRadioButton>("Option4"),
                        s.button("Command5"),
                        s.main()->qualityPanel()->spectrumButton(),
                        s.main()->qualityPanel()->reportButton(),
                        s.button("Command2"),
                        s.button("Command3"),
                        s.button("Command6"),
                        s.button("Command1")};
    qsizetype last = -1;
    for (QWidget* w : order) {
        const qsizetype at = seen.indexOf(w);
        QVERIFY2(at > last, qPrintable(w->objectName()));
        last = at;
    }
}

// Escape in a dialog does what its Cancel does.
void MainWindowTest::escapeCancelsTheDialogs_data() {
    QTest::addColumn<QString>("dialog");
    for (const char* d : {"fluoroscopy", "arbitrary filter", "END", "Data Save"})
        QTest::newRow(d) << QString::fromLatin1(d);
}

void MainWindowTest::escapeCancelsTheDialogs() {
    QFETCH(QString, dialog);
    Session s;
    s.calculate();
    s.add();
    QWidget* w = nullptr;
    if (dialog == "fluoroscopy") {
        QTest::mouseClick(s.button("Command4"), Qt::LeftButton);
        w = s.main()->fluoroscopyDialog();
    } else if (dialog == "arbitrary filter") {
        QTest::mouseClick(s.button("Command9"), Qt::LeftButton);
        w = s.main()->filterDialog();
    } else if (dialog == "END") {
        QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
        w = s.app->exitDialog();
    } else {
        s.results()->saveCommand();
        w = s.results()->saveDialog();
    }
    QVERIFY(w && w->isVisible());
    QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, Qt::Key_Escape);
    QVERIFY(!w->isVisible());
    QVERIFY(s.main()->isVisible());  // END: declined, the program goes on
    QCOMPARE(s.state().table.count(), 1);
    QCOMPARE(s.state().filter.on, 0);
}

// Only one of the dialogs is open at a time: asking for another brings the open one to the
// front.
void MainWindowTest::oneDialogAtATime() {
    Session s;
    QTest::mouseClick(s.button("Command4"), Qt::LeftButton);
    auto* fluoro = s.main()->fluoroscopyDialog();
    QVERIFY(fluoro->isVisible());
    QTest::mouseClick(s.button("Command9"), Qt::LeftButton);
    QVERIFY(!s.main()->filterDialog() || !s.main()->filterDialog()->isVisible());
    s.ctl<QRadioButton>("Option5")->click();
    QVERIFY(!s.main()->measuredDialog() || !s.main()->measuredDialog()->isVisible());
    QVERIFY(s.ctl<QRadioButton>("Option4")->isChecked());  // the source did not change
    QCOMPARE(s.cond().exposureSource, ExposureSource::DefaultOutput);
    QVERIFY(fluoro->isVisible());
    QVERIFY(s.rec.beeps >= 2);
    QTest::mouseClick(fluoro->findChild<QPushButton*>("Command2"), Qt::LeftButton);  // Cancel
    QTest::mouseClick(s.button("Command9"), Qt::LeftButton);
    QVERIFY(s.main()->filterDialog()->isVisible());
}

// The report's organ list is a table whose halves both carry the column headings (the column of
// weighted contributions captioned as such), it carries the user's comment line, and the program
// is named as in its window title.
void MainWindowTest::reportOrganTableAndComment() {
    Session s;
    s.calculate();  // 腹部正面, with an estimate
    QVERIFY(s.state().dose.effectiveDose > 0);
    ReportInputs in;
    in.conditions = s.state().shown.conditions;
    in.dose = s.state().dose;
    in.organs = s.state().estimator.organTable();
    in.comment = QStringLiteral("外来 再撮影");
    in.version = QStringLiteral("1.0");
    QCOMPARE(in.organs.rows.size(), std::size_t(16));
    const QString html = ReportHtml(in);
    QVERIFY(!html.contains("<pre>"));  // no text dump whose columns zigzag
    QCOMPARE(html.count("<th"), 10);   // five headings over each half
    QCOMPARE(html.count(QStringLiteral("実効線量への寄与 μSv")), 2);
    for (const auto& r : in.organs.rows) QVERIFY2(html.contains(r.name), qPrintable(r.name));
    QVERIFY(html.contains(QStringLiteral("コメント：外来 再撮影")));
    QVERIFY(html.contains(QStringLiteral("Dovex-SE 1.0")));
    QVERIFY(html.contains(in.organs.total));
    // The organ window's column holds the same weighted contributions, and says so.
    QTest::mouseClick(s.button("Command5"), Qt::LeftButton);
    QCOMPARE(s.main()->organWindow()->findChild<QLabel*>("Label40")->text(),
             QStringLiteral("実効線量への寄与"));
    // Written to a file with the comment; without an estimate no organ table is written.
    const QString pdf = s.tmp.filePath("report.pdf");
    s.main()->saveReport(pdf, QStringLiteral("外来"));
    QVERIFY(QFile::exists(pdf));
    s.setExamPart("その他");
    s.calculate();
    QVERIFY(s.state().estimator.organTable().empty());
}

// The tissue names of the depth-dose chart, at the size the report draws it, with many tissues
// ticked: each name has a row of its own, at least one line of text apart from the next.
void MainWindowTest::depthDoseNamesDoNotOverlap() {
    DepthDosePlot p;
    p.examPart = QStringLiteral("腹部正面");
    p.thicknessCm = 20;
    for (int k = 1; k <= 40; ++k) {
        p.depthCm.push_back(0.5 * (k - 0.5));
        p.total.push_back(100.0 / k);
        p.primary.push_back(60.0 / k);
        p.scatter.push_back(40.0 / k);
    }
    const char* tissues[] = {
        "乳房", "骨髄(赤色)", "結腸",       "肺",         "胃", "生殖腺", "食道",   "肝臓",
        "膀胱", "骨表面",     "入射皮膚面", "射出皮膚面", "脳", "唾液腺", "甲状腺", "残りの組織"};
    double from = 0;
    for (const char* t : tissues) {
        p.bands.push_back({QString::fromUtf8(t), from, from + 6});
        from += 0.8;
    }
    QChartView view(MakeDepthDoseChart(p));
    view.resize(480, 380);  // the report's drawing size
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QChart* chart = view.chart();
    QCategoryAxis* names = nullptr;
    for (QAbstractAxis* a : chart->axes(Qt::Vertical))
        if (auto* c = qobject_cast<QCategoryAxis*>(a)) names = c;
    QVERIFY(names);
    QCOMPARE(names->categoriesLabels().size(), qsizetype(std::size(tissues)));
    const double line = QFontMetricsF(names->labelsFont()).height();
    QList<double> ys;
    for (const QString& n : names->categoriesLabels())
        ys << chart->mapToPosition(QPointF(0, names->endValue(n))).y();
    std::sort(ys.begin(), ys.end());
    for (qsizetype i = 1; i < ys.size(); ++i)
        QVERIFY2(
            ys[i] - ys[i - 1] >= line * 1.1,
            qPrintable(QString("%1 px apart, a line is %2 px").arg(ys[i] - ys[i - 1]).arg(line)));
    // (Qt leaves out axis labels that would touch: a row must hold more than its line.)
    // No name is drawn over the strips: no point labels on the plot.
    for (QAbstractSeries* sr : chart->series())
        if (auto* xy = qobject_cast<QXYSeries*>(sr)) QVERIFY(!xy->pointLabelsVisible());
}

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
