// SPDX-License-Identifier: MIT
// The screenshots of the user's manual (docs/manual/images), drawn offscreen from the program's
// own windows after the calculations the manual describes, so that they follow the program.
//   app_manual_screens RUN_DATA_DIR IMAGES_DIR [--help-shot FILE]
// RUN_DATA_DIR is a writable copy of data/ (scripts/prepare-rundata.sh); `make manual-screens`
// runs it. --help-shot also draws the manual itself in its help window at 1366 x 768.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <fstream>

#include "app/application.h"
#include "app/helpwindow.h"
#include "app/mainwindow.h"
#include "engine/textio.h"
#include "results/gui/resultswindow.h"
#include "tests/app/recorder.h"

using namespace dovex;

namespace {

// PNG at the highest compression: the images are committed.
bool Save(QWidget* w, const QString& file) {
    QApplication::processEvents();
    // 256 colours: window pictures have few, and the file is a third of the size.
    const QImage image = w->grab().toImage().convertToFormat(QImage::Format_Indexed8,
                                                             Qt::ThresholdDither | Qt::AvoidDither);
    const bool ok = image.save(file, "PNG", 0);
    std::printf("%s %dx%d %s\n", qPrintable(file), image.width(), image.height(),
                ok ? "" : "NOT WRITTEN");
    return ok;
}

// The run folder's user name line (line 32 of Primary.dat): a role, never a person's name.
void RegisterUser(const QString& dir) {
    const std::string path = QFile::encodeName(QDir(dir).filePath("Primary.dat")).toStdString();
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    long lines = 0;
    for (char c : text) lines += c == '\n';
    if (lines != 31) return;
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << Utf8ToCp932OrThrow("診療放射線技師") << "\r\n";
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: app_manual_screens RUN_DATA_DIR IMAGES_DIR [--help-shot FILE]\n");
        return 2;
    }
    const QString runDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString out = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QString helpShot;
    if (argc >= 5 && QByteArray(argv[3]) == "--help-shot")
        helpShot = QString::fromLocal8Bit(argv[4]);
    QDir().mkpath(out);
    RegisterUser(runDir);
    QDir::setCurrent(runDir);
    apptest::Recorder rec;
    app::Application app{std::filesystem::path(QFile::encodeName(runDir).toStdString())};
    if (!app.start()) {
        std::fprintf(stderr, "start-up failed: %s\n", qPrintable(rec.last()));
        return 1;
    }
    bool ok = true;
    auto image = [&](QWidget* w, const char* name) {
        ok = Save(w, out + "/" + name + ".png") && ok;
    };
    app::MainWindow* m = app.mainWindow();
    // The whole window at its natural size, whatever the offscreen screen's size.
    m->resize(m->sizeHint().expandedTo(m->size()));
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
    // 腹部正面 with the standard-patient conditions: 76 kV, 32 mAs, SID 120 cm, 20 cm.
    m->findChild<QComboBox*>("Combo2")->setEditText(QStringLiteral("腹部正面"));
    line("Text5")->setText("76");
    line("Text6")->setText("320");
    line("Text7")->setText("0.1");
    line("Text8")->setText("120");
    line("Text9")->setText("97");
    button("Command2")->click();
    image(m, "main-window");
    button("Command3")->click();
    m->showDetails();
    image(m->organWindow(), "organ-window");
    m->organWindow()->findChild<QPushButton*>("DepthDoseButton")->click();
    if (auto* dd = m->organWindow()->findChild<QWidget*>("DepthDoseWindow")) {
        image(dd, "depthdose-window");
        dd->hide();
    }
    m->organWindow()->hide();
    m->openSpectrum();
    image(m->spectrumWindow(), "spectrum-window");
    m->spectrumWindow()->hide();
    // 胸部正面, 120 kV 3.2 mAs at 200 cm, into the table as a second row.
    m->findChild<QComboBox*>("Combo2")->setEditText(QStringLiteral("胸部正面"));
    line("Text5")->setText("120");
    line("Text6")->setText("320");
    line("Text7")->setText("0.01");
    line("Text8")->setText("200");
    line("Text9")->setText("177");
    button("Command2")->click();
    button("Command3")->click();
    app.resultsWindow()->totalsCommand();
    image(app.resultsWindow(), "results-window");
    m->openArbitraryFilter();
    m->filterDialog()->fileList()->setCurrentRow(4);
    m->filterDialog()->thicknessBox()->setText("0.1");
    image(m->filterDialog(), "dialog-filter");
    m->filterDialog()->hide();
    m->openMeasuredExposure();
    image(m->measuredDialog(), "dialog-measured");
    m->measuredDialog()->hide();
    m->openFluoroscopy();
    image(m->fluoroscopyDialog(), "dialog-fluoroscopy");
    m->fluoroscopyDialog()->hide();
    if (!helpShot.isEmpty()) {
        // F1 on the main window, the help window at the size of a 1366 x 768 screen.
        QTest::keyClick(m, Qt::Key_F1);
        app::HelpWindow* h = app.help()->window();
        if (!h) return 1;
        h->resize(1366, 768);
        h->showTopic(h->currentFile(), h->currentHeading());
        QTest::qWait(100);
        ok = Save(h, helpShot) && ok;
        // The validation chapter, with its generated tables.
        h->showTopic(
            QStringLiteral("06-validation.md"),
            QStringLiteral(
                "6.4 実効線量/入射表面空気カーマ：ボクセルファントムのモンテカルロとの比較"));
        QTest::qWait(100);
        QString second = helpShot;
        second.replace(QStringLiteral(".png"), QStringLiteral("-validation.png"));
        ok = Save(h, second) && ok;
    }
    return ok ? 0 : 1;
}
