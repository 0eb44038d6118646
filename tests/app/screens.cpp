// SPDX-License-Identifier: MIT
// Draws the program's windows after a few calculations into PNG files, for looking at the layout
// (clipped texts, overlaps) without a person at the screen. Not a test.
//   app_screens DATA_DIR OUT_DIR     (QT_QPA_PLATFORM=offscreen or under xvfb-run)
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/application.h"
#include "app/mainwindow.h"
#include "dialogs/exitdialog.h"
#include "results/gui/resultswindow.h"
#include "tests/app/recorder.h"
#include "ui/messenger.h"
#include "ui/translation.h"

using namespace dovex;

namespace {

void Save(QWidget* w, const QString& out, const QString& name) {
    QApplication::processEvents();
    w->grab().save(out + "/" + name + ".png");
    std::printf("%s/%s.png %dx%d\n", qPrintable(out), qPrintable(name), w->width(), w->height());
}

// The whole screen as the window manager shows it (only under a real X server such as Xvfb).
void Root(const QString& out, const QString& name) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") || QGuiApplication::platformName() != "xcb") return;
    QTest::qWait(600);
    QProcess::execute("import", {"-window", "root", out + "/" + name + ".png"});
    std::printf("%s/%s.png (screen)\n", qPrintable(out), qPrintable(name));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    ui::InstallToolkitTranslation(qapp);
    if (argc < 3) {
        std::fprintf(stderr, "usage: app_screens DATA_DIR OUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    apptest::Recorder rec;
    app::Application app{std::filesystem::path(argv[1])};
    if (!app.start()) {
        std::fprintf(stderr, "start-up failed: %s\n", qPrintable(rec.last()));
        return 1;
    }
    app::MainWindow* m = app.mainWindow();
    auto button = [m](const char* name) {
        for (auto* b : m->findChildren<QPushButton*>(name))
            if (b->window() == m) return b;
        return static_cast<QPushButton*>(nullptr);
    };
    auto line = [m](const char* name) {
        for (auto* b : m->findChildren<QLineEdit*>(name))
            if (b->window() == m) return b;
        return static_cast<QLineEdit*>(nullptr);
    };
    Save(m, out, "main-startup");
    if (!app.state().named) {
        m->openRegistration();
        Save(m->registrationDialog(), out, "dialog-registration");
        m->registrationDialog()->findChild<QPushButton*>("Command2")->click();
    }
    auto* part = m->findChild<QComboBox*>("Combo2");
    part->setEditText("腹部正面");
    button("Command2")->click();
    Save(m, out, "main-after-calculation");
    button("Command3")->click();
    m->showDetails();
    Save(m->organWindow(), out, "organ-window");
    m->organWindow()->hide();
    m->move(0, 0);
    Root(out, "screen-main-quality");
    m->openSpectrum();
    m->spectrumWindow()->move(60, 80);
    Save(m->spectrumWindow(), out, "spectrum-window");
    Root(out, "screen-spectrum");
    m->spectrumWindow()->hide();
    m->showDetails();
    m->organWindow()->findChild<QPushButton*>("DepthDoseButton")->click();
    if (auto* dd = m->organWindow()->findChild<QWidget*>("DepthDoseWindow")) {
        dd->move(80, 60);
        Save(dd, out, "depthdose-window");
        Root(out, "screen-depthdose");
        dd->hide();
    }
    m->organWindow()->hide();
    m->saveReport(out + "/report.pdf");
    part->setEditText("胸部正面");
    line("Text5")->setText("120");
    line("Text6")->setText("320");
    line("Text7")->setText("0.01");
    line("Text8")->setText("200");
    line("Text9")->setText("180");
    button("Command2")->click();
    Save(m, out, "main-chest-120kV");
    button("Command3")->click();
    m->openArbitraryFilter();
    m->filterDialog()->fileList()->setCurrentRow(1);
    m->filterDialog()->thicknessBox()->setText("0.5");
    Save(m->filterDialog(), out, "dialog-filter");
    m->filterDialog()->applyCommand();
    part->setEditText("その他");
    line("Text5")->setText("60");
    line("Text8")->setText("100");
    line("Text9")->setText("80");
    button("Command2")->click();
    button("Command3")->click();
    app.resultsWindow()->totalsCommand();
    Save(app.resultsWindow(), out, "results-window");
    app.resultsWindow()->resize(1500, 1000);
    Save(app.resultsWindow(), out, "results-window-large");
    Save(m, out, "main-after-filter");
    m->openMeasuredExposure();
    Save(m->measuredDialog(), out, "dialog-measured");
    m->openFluoroscopy();
    Save(m->fluoroscopyDialog(), out, "dialog-fluoroscopy");
    m->openNameChange();
    Save(m->nameChangeDialog(), out, "dialog-change");
    app.exitDialog()->present();
    Save(app.exitDialog(), out, "dialog-exit");
    app.exitDialog()->hide();
    for (QWidget* w : QList<QWidget*>{m->measuredDialog(), m->fluoroscopyDialog(),
                                      m->nameChangeDialog(), m->filterDialog()})
        if (w) w->hide();

    // Conditions changed after a calculation: the results of the previous conditions, greyed.
    m->show();
    m->raise();
    m->activateWindow();
    QApplication::processEvents();
    auto typeInto = [&](const char* field, const QString& text) {
        QLineEdit* e = line(field);
        e->setFocus();
        e->selectAll();
        QInputMethodEvent commit;  // as an input method commits it
        commit.setCommitString(text);
        QApplication::sendEvent(e, &commit);
    };
    part->setEditText("頭部正面");
    typeInto("Text5", "100");
    typeInto("Text7", "0.1");
    typeInto("Text6", "200");
    button("Command2")->click();
    typeInto("Text5", "110");
    typeInto("Text7", "0.5");
    line("Text8")->setFocus();
    Save(m, out, "main-stale-results");
    Root(out, "screen-stale-results");

    // A number typed through an input method, with letters after it: refused, naming the field.
    // The real message boxes, in the toolkit's Japanese.
    ui::setMessenger(nullptr);
    auto shootModal = [&](const QString& name) {
        QTimer::singleShot(900, [&, name] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                Save(box, out, name);
                Root(out, "screen-" + name);
                box->close();
            }
        });
    };
    typeInto("Text5", "８０ａｂｃ");
    shootModal("box-number-refused");
    button("Command2")->click();
    typeInto("Text5", "８０");
    line("Text8")->setFocus();
    Save(m, out, "main-fullwidth-read");
    shootModal("box-question-japanese");
    ui::messenger().askYesNo(
        m, QStringLiteral("　「結果.csv」は既にあります。　\n　置き換えますか？　"),
        ui::Icon::Question);
    // The right-click menu of an entry field.
    std::unique_ptr<QMenu> menu(line("Text5")->createStandardContextMenu());
    menu->popup(line("Text5")->mapToGlobal(QPoint(20, 20)));
    QApplication::processEvents();
    Save(menu.get(), out, "menu-edit-japanese");
    Root(out, "screen-menu-edit-japanese");
    menu->close();
    ui::setMessenger(&rec);

    // Reports: with an estimate (organ table, comment, both charts) and without one.
    part->setEditText("腹部正面");
    typeInto("Text5", "80");
    typeInto("Text6", "200");
    typeInto("Text7", "0.1");
    button("Command2")->click();
    m->saveReport(out + "/report-abdomen.pdf", QStringLiteral("外来 再撮影の確認"));
    part->setEditText("その他");
    button("Command2")->click();
    m->saveReport(out + "/report-no-estimate.pdf", QString());
    std::printf("%s/report-abdomen.pdf %s/report-no-estimate.pdf\n", qPrintable(out),
                qPrintable(out));
    return 0;
}
