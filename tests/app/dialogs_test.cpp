// SPDX-License-Identifier: MIT
// The auxiliary dialogs on their own: measured exposure, fluoroscopy, user name, arbitrary
// filter and exit confirmation.
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "dialogs/arbitraryfilterdialog.h"
#include "dialogs/conversions.h"
#include "dialogs/exitdialog.h"
#include "dialogs/fluoroscopydialog.h"
#include "dialogs/measuredexposuredialog.h"
#include "dialogs/usernamedialog.h"
#include "engine/material.h"
#include "tests/app/appdata.h"
#include "tests/app/recorder.h"
#include "ui/translation.h"

using namespace dovex;
using namespace dovex::ui;
using dovex::apptest::Recorder;

namespace {

template <class T>
T* Child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    if (!c) qFatal("control %s missing", name);
    return c;
}

void Activate(QWidget* w) {
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
}

void WriteFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f << bytes;
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void measuredExposureUnits_data();
    void measuredExposureUnits();
    void measuredExposureInvalidFallsBack_data();
    void measuredExposureInvalidFallsBack();
    void measuredExposureCancelAndCloseBox();
    void measuredExposureEnterAndReopen();
    void fluoroscopyPulsed();
    void fluoroscopyContinuousAndMissingData();
    void fluoroscopyOkWithoutComputing();
    void userNameDialogs();
    void arbitraryFilterDialog();
    void arbitraryFilterFirstOpeningChoosesNothing();
    void enterPressesTheFocusedButton();
    void exitDialog();
    void toolkitTextsInJapanese();  // last: it installs the translation for the whole program
};

void DialogsTest::measuredExposureUnits_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("expected");
    QTest::newRow("C/kg") << "2.58E-04" << 0 << 0.000258;
    QTest::newRow("C/kg small e") << "25.8e-5" << 0 << 0.000258;
    QTest::newRow("R") << "1" << 1 << 0.000258;
    QTest::newRow("Gy") << "0.001" << 2 << 0.001 / 33.97;
    // Typed through a Japanese input method: full-width digits, point, sign and exponent letter.
    QTest::newRow("full-width C/kg") << "２．５８Ｅ－０４" << 0 << 0.000258;
    QTest::newRow("full-width R, blanks") << "　１　" << 1 << 0.000258;
}

void DialogsTest::measuredExposureUnits() {
    QFETCH(QString, text);
    QFETCH(int, unit);
    QFETCH(double, expected);
    MeasuredExposureDialog d([] { return 33.97; });
    d.openForEntry();
    const char* options[] = {"Option1", "Option2", "Option3"};
    Child<QRadioButton>(&d, options[unit])->setChecked(true);
    QSignalSpy accepted(&d, &MeasuredExposureDialog::measuredAccepted);
    QSignalSpy fallback(&d, &MeasuredExposureDialog::defaultOutputRequested);
    d.valueBox()->setText(text);
    QTest::mouseClick(Child<QPushButton>(&d, "Command1"), Qt::LeftButton);
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(fallback.count(), 0);
    QVERIFY(qAbs(accepted.at(0).at(0).toDouble() - expected) < 1e-12 * expected + 1e-18);
    QVERIFY(!d.isVisible());
}

void DialogsTest::measuredExposureInvalidFallsBack_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString positive = QStringLiteral("　実測線量には 0 より大きい値を入力して下さい　");
    const QString number = QStringLiteral("　実測線量に数値を入力して下さい　");
    QTest::newRow("zero") << "0" << positive;
    QTest::newRow("negative") << "-1" << positive;
    QTest::newRow("letters") << "abc" << number;
    QTest::newRow("empty") << "" << number;
    QTest::newRow("text after") << "2.58E-04C/kg"
                                << QStringLiteral(
                                       "　実測線量の「2.58E-04C/kg」は数値として読めません");
    QTest::newRow("decimal comma") << "2,58" << QStringLiteral("　実測線量の「2,58」は");
}

// OK with a value that is no exposure is refused with a message and the dialog stays open: the
// user did not ask for the default output data (Cancel and the close box do).
void DialogsTest::measuredExposureInvalidFallsBack() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    Recorder rec;
    MeasuredExposureDialog d([] { return 33.97; });
    d.openForEntry();
    QSignalSpy accepted(&d, &MeasuredExposureDialog::measuredAccepted);
    QSignalSpy fallback(&d, &MeasuredExposureDialog::defaultOutputRequested);
    d.valueBox()->setText(text);
    QTest::mouseClick(Child<QPushButton>(&d, "Command1"), Qt::LeftButton);
    QCOMPARE(accepted.count(), 0);
    QCOMPARE(fallback.count(), 0);
    QCOMPARE(rec.messages.size(), std::size_t(1));
    QVERIFY2(rec.last().startsWith(message), qPrintable(rec.last()));
    QVERIFY(d.isVisible());
}

void DialogsTest::measuredExposureCancelAndCloseBox() {
    auto* d = new MeasuredExposureDialog([] { return 33.97; });
    QPointer<MeasuredExposureDialog> guard(d);
    d->openForEntry();
    QSignalSpy fallback(d, &MeasuredExposureDialog::defaultOutputRequested);
    d->valueBox()->setText("1");
    QTest::mouseClick(Child<QPushButton>(d, "Command2"), Qt::LeftButton);
    QCOMPARE(fallback.count(), 1);
    QVERIFY(!d->isVisible());
    QVERIFY(guard);  // hidden, not dropped
    d->openForEntry();
    d->close();  // the close box
    QCOMPARE(fallback.count(), 2);
    QTRY_VERIFY(!guard);  // dropped: the next opening starts afresh
}

void DialogsTest::measuredExposureEnterAndReopen() {
    MeasuredExposureDialog d([] { return 33.97; });
    Activate(&d);
    d.openForEntry();
    QVERIFY(d.valueBox()->hasFocus());
    d.valueBox()->setText("5");
    QTest::keyClick(d.valueBox(), Qt::Key_Return);
    QVERIFY(Child<QPushButton>(&d, "Command1")->hasFocus());
    Child<QRadioButton>(&d, "Option2")->setChecked(true);
    QTest::mouseClick(Child<QPushButton>(&d, "Command2"), Qt::LeftButton);
    d.openForEntry();
    QCOMPARE(d.valueBox()->text(), QString());   // emptied
    QCOMPARE(d.unit(), ExposureUnit::Roentgen);  // unit kept
}

void DialogsTest::fluoroscopyPulsed() {
    Recorder rec;
    FluoroscopyDialog d;
    d.openFresh();
    QVERIFY(!d.rateBox()->isEnabled());
    QVERIFY(!d.widthBox()->isEnabled());
    d.pulsedOption()->click();
    QVERIFY(d.rateBox()->isEnabled());
    QVERIFY(d.widthBox()->isEnabled());
    d.currentBox()->setText("10");
    d.rateBox()->setText("15");
    d.widthBox()->setText("4");
    QTest::mouseClick(Child<QPushButton>(&d, "Command3"), Qt::LeftButton);
    QCOMPARE(d.averageBox()->text(), QString("0.6"));
    QSignalSpy chosen(&d, &FluoroscopyDialog::tubeCurrentChosen);
    QTest::mouseClick(Child<QPushButton>(&d, "Command1"), Qt::LeftButton);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toDouble(), 0.6);
    QVERIFY(!d.isVisible());
    QVERIFY(rec.messages.empty());
    // Reopening resets the mode and empties the four boxes.
    d.openFresh();
    QVERIFY(d.continuousOption()->isChecked());
    QVERIFY(!d.rateBox()->isEnabled());
    for (QLineEdit* e : {d.currentBox(), d.rateBox(), d.widthBox(), d.averageBox()})
        QCOMPARE(e->text(), QString());
}

void DialogsTest::fluoroscopyContinuousAndMissingData() {
    Recorder rec;
    FluoroscopyDialog d;
    d.openFresh();
    d.computeAverage();
    QCOMPARE(rec.last(), QString("　管電流を入力してください　"));
    QCOMPARE(rec.beeps, 1);
    QCOMPARE(rec.messages.back().icon, Icon::Exclamation);
    d.currentBox()->setText("2.5");
    d.computeAverage();
    QCOMPARE(d.averageBox()->text(), QString("2.5"));
    d.currentBox()->setText("x1");
    rec.clear();
    d.computeAverage();
    QCOMPARE(rec.last(), QString("　透視管電流に数値を入力して下さい　"));
    QCOMPARE(d.averageBox()->text(), QString("2.5"));  // a text that is no number is not taken
    d.currentBox()->setText("１．５");
    d.computeAverage();
    QCOMPARE(d.averageBox()->text(), QString("1.5"));  // full-width, in ASCII
    d.currentBox()->setText("2.5");
    d.computeAverage();
    // Pulsed with an empty width: a message and the average box unchanged.
    d.pulsedOption()->click();
    d.currentBox()->setText("10");
    d.rateBox()->setText("15");
    rec.clear();
    d.computeAverage();
    QCOMPARE(rec.last(), QString("　データを入力してください　"));
    QCOMPARE(rec.beeps, 1);
    QCOMPARE(d.averageBox()->text(), QString("2.5"));
    d.widthBox()->setText("4ms");
    rec.clear();
    d.computeAverage();
    QVERIFY2(rec.last().startsWith("　パルス幅の「4ms」は数値として読めません"),
             qPrintable(rec.last()));
    QCOMPARE(d.averageBox()->text(), QString("2.5"));
    // The texts of the pulse boxes stay when the mode changes.
    d.continuousOption()->click();
    QCOMPARE(d.rateBox()->text(), QString("15"));
    QVERIFY(!d.rateBox()->isEnabled());
}

// OK without an average current (or with one that is no number) sets no tube current of 0 mA:
// a message names the box, and the dialog stays open.
void DialogsTest::fluoroscopyOkWithoutComputing() {
    Recorder rec;
    FluoroscopyDialog d;
    d.openFresh();
    QSignalSpy chosen(&d, &FluoroscopyDialog::tubeCurrentChosen);
    QTest::mouseClick(Child<QPushButton>(&d, "Command1"), Qt::LeftButton);
    QCOMPARE(chosen.count(), 0);
    QCOMPARE(rec.last(), QString("　平均管電流に数値を入力して下さい　"));
    QVERIFY(d.isVisible());
    d.averageBox()->setText("０．６");
    QTest::mouseClick(Child<QPushButton>(&d, "Command1"), Qt::LeftButton);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toDouble(), 0.6);
    // Cancel changes nothing.
    d.openFresh();
    QTest::mouseClick(Child<QPushButton>(&d, "Command2"), Qt::LeftButton);
    QCOMPARE(chosen.count(), 1);
    QVERIFY(!d.isVisible());
}

void DialogsTest::userNameDialogs() {
    Recorder rec;
    QStringList accepted;
    bool allow = false;
    UserNameDialog reg(UserNameDialog::Mode::Registration, [&](const QString& n) {
        accepted << n;
        return allow;
    });
    QCOMPARE(reg.windowTitle(), QString("　ユーザー名登録"));
    QVERIFY(!reg.nameBox()->text().isEmpty());  // an example name
    reg.present();
    reg.nameBox()->clear();
    QTest::mouseClick(Child<QPushButton>(&reg, "Command1"), Qt::LeftButton);
    QCOMPARE(rec.last(), QString("名前が入力されていません"));
    QVERIFY(accepted.isEmpty());
    QVERIFY(reg.isVisible());
    reg.nameBox()->setText("ABC");
    QTest::mouseClick(Child<QPushButton>(&reg, "Command1"), Qt::LeftButton);
    QCOMPARE(accepted, QStringList{"ABC"});
    QVERIFY(reg.isVisible());  // refused by the owner: stays open
    allow = true;
    QTest::mouseClick(Child<QPushButton>(&reg, "Command1"), Qt::LeftButton);
    QVERIFY(!reg.isVisible());
    QSignalSpy guest(&reg, &UserNameDialog::guestChosen);
    reg.present();
    QTest::mouseClick(Child<QPushButton>(&reg, "Command2"), Qt::LeftButton);
    QCOMPARE(guest.count(), 1);
    QVERIFY(!reg.isVisible());

    UserNameDialog change(UserNameDialog::Mode::Change, [](const QString&) { return true; });
    QCOMPARE(change.windowTitle(), QString("　ユーザー名変更"));
    QSignalSpy guest2(&change, &UserNameDialog::guestChosen);
    change.present();
    QTest::mouseClick(Child<QPushButton>(&change, "Command2"), Qt::LeftButton);
    QCOMPARE(guest2.count(), 0);
    QVERIFY(!change.isVisible());
}

void DialogsTest::arbitraryFilterDialog() {
    Recorder rec;
    QTemporaryDir tmp;
    const std::filesystem::path dir = tmp.path().toStdString();
    WriteFile(dir / "Al.ele", apptest::MaterialFileText("アルミニウム (Al)", 2.699));
    WriteFile(dir / "Cu.ele", apptest::MaterialFileText("銅 (Cu)", 8.96));
    WriteFile(dir / "Broken.mix", "Broken\r\n1.0,0\r\n0.005,1,1,1,3,3\r\n");
    WriteFile(dir / "notes.txt", "not a material\r\n");

    ArbitraryFilterDialog d(dir);
    int sets = 0, removes = 0;
    ArbitraryFilterDialog::Choice last;
    d.onSet = [&](const ArbitraryFilterDialog::Choice& c) {
        ++sets;
        last = c;
    };
    d.onRemove = [&] { ++removes; };
    Activate(&d);
    d.openFresh();
    QCOMPARE(d.fileList()->count(), 3);
    QCOMPARE(d.fileList()->item(0)->text(), QString("Al.ele"));

    // Nothing selected.
    d.applyCommand();
    QCOMPARE(rec.last(), QString("　フィルター材質が未選択です　"));
    QCOMPARE(rec.beeps, 1);
    QCOMPARE(sets, 0);

    // Choosing a file shows its name and moves on to the thickness.
    d.fileList()->setCurrentRow(0);
    QCOMPARE(d.materialLabel()->text(), QString("アルミニウム (Al)"));
    QVERIFY(d.thicknessBox()->hasFocus());
    d.applyCommand();
    QCOMPARE(rec.last(), QString("　フィルターの厚さを入力して下さい　"));
    d.thicknessBox()->setText("0");
    d.applyCommand();
    QCOMPARE(rec.last(), QString("　フィルターの厚さを入力して下さい　"));
    QCOMPARE(sets, 0);
    QVERIFY(d.isVisible());
    d.thicknessBox()->setText("0.5mm");  // text after the number is refused, naming the box
    d.applyCommand();
    QVERIFY2(rec.last().startsWith("　フィルターの厚さの「0.5mm」は数値として読めません"),
             qPrintable(rec.last()));
    QCOMPARE(sets, 0);

    d.thicknessBox()->setText("０．５");
    QTest::keyClick(d.thicknessBox(), Qt::Key_Return);
    QVERIFY(Child<QPushButton>(&d, "Command1")->hasFocus());
    QTest::mouseClick(Child<QPushButton>(&d, "Command1"), Qt::LeftButton);
    QCOMPARE(sets, 1);
    QCOMPARE(last.materialName, QString("アルミニウム (Al)"));
    QCOMPARE(last.thicknessText, QString("0.5"));
    QCOMPARE(last.thicknessCm, 0.05);
    const FineArray expected = BuildArbitraryFilterMu(ReadMaterialFile(dir / "Al.ele"));
    for (long i = 1; i <= 300; ++i) QCOMPARE(last.mu[i], expected[i]);
    QVERIFY(!d.isVisible());

    // A faulty file is refused with a message; the filter stays as it was.
    d.openFresh();
    QCOMPARE(d.materialLabel()->text(), QString());
    QCOMPARE(d.thicknessBox()->text(), QString());
    d.fileList()->setCurrentRow(1);  // Broken.mix
    d.thicknessBox()->setText("1");
    rec.clear();
    d.applyCommand();
    QCOMPARE(sets, 1);
    QVERIFY(rec.last().startsWith("　フィルター材質ファイルに誤りがあります　"));
    QVERIFY(rec.last().contains("Broken.mix"));
    QVERIFY(d.isVisible());

    // "解 除" and "Cancel".
    QTest::mouseClick(Child<QPushButton>(&d, "Command2"), Qt::LeftButton);
    QCOMPARE(removes, 1);
    QVERIFY(!d.isVisible());
    d.openFresh();
    QTest::mouseClick(Child<QPushButton>(&d, "Command3"), Qt::LeftButton);
    QCOMPARE(removes, 1);
    QCOMPARE(sets, 1);
    QVERIFY(!d.isVisible());
}

void DialogsTest::arbitraryFilterFirstOpeningChoosesNothing() {
    // The first opening in a run: the window gets the keyboard only now, and the list with it.
    Recorder rec;
    QTemporaryDir tmp;
    const std::filesystem::path dir = tmp.path().toStdString();
    WriteFile(dir / "Ag.ele", apptest::MaterialFileText("銀 (Ag)", 10.5));
    WriteFile(dir / "Al.ele", apptest::MaterialFileText("アルミニウム (Al)", 2.699));
    ArbitraryFilterDialog d(dir);
    int sets = 0;
    d.onSet = [&](const ArbitraryFilterDialog::Choice&) { ++sets; };
    d.openFresh();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    QTest::qWait(20);
    QCOMPARE(d.materialLabel()->text(), QString());
    d.thicknessBox()->setText("1");
    QTest::mouseClick(Child<QPushButton>(&d, "Command1"), Qt::LeftButton);
    QCOMPARE(rec.last(), QString("　フィルター材質が未選択です　"));
    QCOMPARE(sets, 0);
    // Choosing with the keyboard still works.
    d.fileList()->setFocus();
    QTest::keyClick(d.fileList(), Qt::Key_Down);
    QVERIFY(!d.materialLabel()->text().isEmpty());
}

void DialogsTest::enterPressesTheFocusedButton() {
    // Enter in the entry moves on to the command; a second Enter presses it.
    MeasuredExposureDialog measured([] { return 33.97; });
    QSignalSpy accepted(&measured, &MeasuredExposureDialog::measuredAccepted);
    measured.openForEntry();
    QVERIFY(QTest::qWaitForWindowActive(&measured));
    QTest::keyClicks(measured.valueBox(), "5");
    QTest::keyClick(measured.valueBox(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(accepted.count(), 1);

    QTemporaryDir tmp;
    const std::filesystem::path dir = tmp.path().toStdString();
    WriteFile(dir / "Al.ele", apptest::MaterialFileText("アルミニウム (Al)", 2.699));
    ArbitraryFilterDialog filter(dir);
    int sets = 0;
    filter.onSet = [&](const ArbitraryFilterDialog::Choice&) { ++sets; };
    filter.openFresh();
    QVERIFY(QTest::qWaitForWindowActive(&filter));
    filter.fileList()->setCurrentRow(0);
    QTest::keyClicks(filter.thicknessBox(), "1");
    QTest::keyClick(filter.thicknessBox(), Qt::Key_Enter);  // the keypad's Enter
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QCOMPARE(sets, 1);

    QStringList names;
    UserNameDialog reg(UserNameDialog::Mode::Registration, [&](const QString& n) {
        names << n;
        return true;
    });
    reg.present();
    QVERIFY(QTest::qWaitForWindowActive(&reg));
    reg.nameBox()->setFocus();
    QTest::keyClick(reg.nameBox(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), Child<QPushButton>(&reg, "Command1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(names.size(), 1);
    QVERIFY(!reg.isVisible());
}

void DialogsTest::exitDialog() {
    ExitDialog d;
    QCOMPARE(d.windowTitle(), QString("END"));
    QCOMPARE(Child<QLabel>(&d, "Label1")->text(), QString("Dovex_SE を終了しますか ？"));
    QSignalSpy yes(&d, &ExitDialog::exitConfirmed);
    QSignalSpy no(&d, &ExitDialog::exitDeclined);
    d.present();
    QTest::mouseClick(Child<QPushButton>(&d, "Command2"), Qt::LeftButton);
    QCOMPARE(no.count(), 1);
    QCOMPARE(yes.count(), 0);
    QVERIFY(!d.isVisible());
    d.present();
    QTest::mouseClick(Child<QPushButton>(&d, "Command1"), Qt::LeftButton);
    QCOMPARE(yes.count(), 1);
}

// The toolkit's own texts (message box buttons, the file dialogs, the edit menu of a field)
// come in Japanese once the program has installed the translation.
void DialogsTest::toolkitTextsInJapanese() {
    QDialogButtonBox english(QDialogButtonBox::Yes | QDialogButtonBox::No);
    QVERIFY(english.button(QDialogButtonBox::Yes)->text().contains("Yes"));
    QVERIFY(ui::InstallToolkitTranslation(*qApp));
    QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel |
                         QDialogButtonBox::Save | QDialogButtonBox::Open);
    const std::pair<QDialogButtonBox::StandardButton, const char*> texts[] = {
        {QDialogButtonBox::Yes, "はい"},
        {QDialogButtonBox::No, "いいえ"},
        {QDialogButtonBox::Cancel, "キャンセル"},
        {QDialogButtonBox::Save, "保存"},
        {QDialogButtonBox::Open, "開く"}};
    for (const auto& [b, ja] : texts)
        QVERIFY2(box.button(b)->text().contains(QString::fromUtf8(ja)),
                 qPrintable(box.button(b)->text()));
    QLineEdit field;
    field.setText("80");
    std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
    QStringList items;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) items << a->text();
    QVERIFY2(items.join("|").contains(QStringLiteral("貼り付け")), qPrintable(items.join("|")));
    QVERIFY2(!items.join("|").contains("Paste"), qPrintable(items.join("|")));
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
