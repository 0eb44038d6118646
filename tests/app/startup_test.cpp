// SPDX-License-Identifier: MIT
// Start-up of the program: the data folder, the data files and their failures, the exam-part
// list, the user name file.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "app/application.h"
#include "app/appstate.h"
#include "app/mainwindow.h"
#include "app/username.h"
#include "engine/textio.h"
#include "tests/app/appdata.h"
#include "tests/app/recorder.h"

using namespace dovex;
using namespace dovex::app;
using dovex::apptest::Recorder;
namespace fs = std::filesystem;

namespace {

void WriteRaw(const fs::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f << bytes;
}

std::string ReadRaw(const fs::path& p) { return ReadFileBytes(p); }

// A Primary.dat with n lines: the engine's lines of the synthetic data, then filler lines.
void PrimaryWithLines(const fs::path& dir, std::size_t n) {
    auto lines = SplitLines(ReadRaw(dir / "Primary.dat"));
    lines.resize(std::min<std::size_t>(lines.size(), 31));
    while (lines.size() < n) lines.push_back("line " + std::to_string(lines.size() + 1));
    lines.resize(n);
    WriteRaw(dir / "Primary.dat", JoinCrLf(lines));
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
  private slots:
    void dataDirChoice();
    void missingDataFileEndsStartup_data();
    void missingDataFileEndsStartup();
    void malformedDataFileNamesTheFile();
    void examPartListKeepsEmptyLines();
    void userNameLine32();
    void saveUserNameKeepsEngineLines();
    void saveUserNameRefusals();
    void windowsFitTheScreen_data();
    void windowsFitTheScreen();
};

void StartupTest::dataDirChoice() {
    const QString built = "/opt/dovex/data";
    QCOMPARE(ResolveDataDir({"dovex"}, "", built), built);
    QCOMPARE(ResolveDataDir({"dovex"}, "/env/data", built), QString("/env/data"));
    QCOMPARE(ResolveDataDir({"dovex", "--data-dir", "/arg"}, "/env/data", built), QString("/arg"));
    QCOMPARE(ResolveDataDir({"dovex", "--data-dir=/arg2"}, "", built), QString("/arg2"));
    // A trailing option without its value is ignored.
    QCOMPARE(ResolveDataDir({"dovex", "--data-dir"}, "", built), built);
}

void StartupTest::missingDataFileEndsStartup_data() {
    QTest::addColumn<QString>("file");
    for (const char* f :
         {"dBSF-SoftDose-SoftPhantom.dat", "dBSF-SkinDose-Soft_Head.dat", "Att_coeff2020.dat",
          "default-output.op", "ICRUSoft.dat", "Primary.dat", "撮影部位.txt"})
        QTest::newRow(f) << QString::fromUtf8(f);
}

void StartupTest::missingDataFileEndsStartup() {
    QFETCH(QString, file);
    Recorder rec;
    QTemporaryDir tmp;
    const fs::path dir = tmp.path().toStdString();
    apptest::WriteAppTestData(dir);
    fs::remove(dir / file.toStdString());
    Application app(dir);
    QVERIFY(!app.start());
    QCOMPARE(rec.messages.size(), std::size_t(1));
    QVERIFY2(rec.last().contains(file), qPrintable(rec.last()));
    QVERIFY(app.mainWindow() == nullptr);  // no partial start
}

void StartupTest::malformedDataFileNamesTheFile() {
    Recorder rec;
    QTemporaryDir tmp;
    const fs::path dir = tmp.path().toStdString();
    apptest::WriteAppTestData(dir);
    // A backscatter file cut short.
    std::string bytes = ReadRaw(dir / "dBSF-AirDose-Soft_Head.dat");
    WriteRaw(dir / "dBSF-AirDose-Soft_Head.dat", bytes.substr(0, bytes.size() / 2));
    Application app(dir);
    QVERIFY(!app.start());
    QVERIFY2(rec.last().contains("dBSF-AirDose-Soft_Head.dat"), qPrintable(rec.last()));
}

void StartupTest::examPartListKeepsEmptyLines() {
    Recorder rec;
    QTemporaryDir tmp;
    const fs::path dir = tmp.path().toStdString();
    apptest::AppDataOptions opt;
    opt.examParts = {"頭部正面", "", "胸部正面"};
    apptest::WriteAppTestData(dir, opt);
    Application app(dir);
    QVERIFY(app.start());
    auto* combo = app.mainWindow()->findChild<QComboBox*>("Combo2");
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QString("頭部正面"));
    QCOMPARE(combo->itemText(1), QString());
    QCOMPARE(combo->itemText(2), QString("胸部正面"));
    // The list text starts as "腹部正面" whether or not it is in the file.
    QCOMPARE(combo->currentText(), QString("腹部正面"));
}

void StartupTest::userNameLine32() {
    QTemporaryDir tmp;
    const fs::path dir = tmp.path().toStdString();
    apptest::WriteAppTestData(dir);
    QCOMPARE(QString::fromStdString(ReadUserName(dir / "Primary.dat").value()),
             QString("テスト太郎"));
    PrimaryWithLines(dir, 31);
    QVERIFY(!ReadUserName(dir / "Primary.dat"));
    PrimaryWithLines(dir, 40);
    QCOMPARE(QString::fromStdString(ReadUserName(dir / "Primary.dat").value()), QString("line 32"));
    QVERIFY(!ReadUserName(dir / "missing.dat"));
}

void StartupTest::saveUserNameKeepsEngineLines() {
    QTemporaryDir tmp;
    const fs::path dir = tmp.path().toStdString();
    apptest::WriteAppTestData(dir);
    PrimaryWithLines(dir, 40);
    const auto before = SplitLines(ReadRaw(dir / "Primary.dat"));
    QCOMPARE(SaveUserName(dir / "Primary.dat", "山田 ABC").status, SaveNameStatus::Saved);
    const std::string bytes = ReadRaw(dir / "Primary.dat");
    const auto after = SplitLines(bytes);
    QCOMPARE(after.size(), std::size_t(32));
    for (std::size_t i = 0; i < 31; ++i) QCOMPARE(after[i], before[i]);
    QCOMPARE(QString::fromStdString(Cp932ToUtf8(after[31])), QString("山田 ABC"));
    QVERIFY(bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n");
    // No temporary file is left beside it.
    int count = 0;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().find("Primary") != std::string::npos) ++count;
    QCOMPARE(count, 1);
}

void StartupTest::saveUserNameRefusals() {
    QTemporaryDir tmp;
    const fs::path dir = tmp.path().toStdString();
    apptest::WriteAppTestData(dir);
    const std::string original = ReadRaw(dir / "Primary.dat");
    // Characters without a cp932 form and line breaks are refused; the file stays.
    QCOMPARE(SaveUserName(dir / "Primary.dat", "名前\xF0\x9F\x98\x80").status,
             SaveNameStatus::NotRepresentable);
    QCOMPARE(SaveUserName(dir / "Primary.dat", "two\nlines").status,
             SaveNameStatus::NotRepresentable);
    QCOMPARE(ReadRaw(dir / "Primary.dat"), original);
    // A file without its 31 engine lines is never rewritten.
    PrimaryWithLines(dir, 20);
    const std::string shortFile = ReadRaw(dir / "Primary.dat");
    QCOMPARE(SaveUserName(dir / "Primary.dat", "ABC").status, SaveNameStatus::FileTooShort);
    QCOMPARE(ReadRaw(dir / "Primary.dat"), shortFile);
    QCOMPARE(SaveUserName(dir / "none.dat", "ABC").status, SaveNameStatus::FileTooShort);
    QVERIFY(!fs::exists(dir / "none.dat"));
}

void StartupTest::windowsFitTheScreen_data() {
    QTest::addColumn<QRect>("area");
    QTest::newRow("1366x768") << QRect(0, 0, 1366, 768);
    QTest::newRow("1366x768 with a panel") << QRect(0, 0, 1366, 728);
    QTest::newRow("1600x1000") << QRect(0, 0, 1600, 1000);
    QTest::newRow("1920x1080") << QRect(0, 0, 1920, 1080);
    QTest::newRow("1920x1080 panel at the left") << QRect(64, 0, 1856, 1080);
    QTest::newRow("2560x1440") << QRect(0, 0, 2560, 1440);
}

void StartupTest::windowsFitTheScreen() {
    // The windows' own sizes in the unnamed state (the tallest main window).
    QFETCH(QRect, area);
    Recorder rec;
    QTemporaryDir tmp;
    const fs::path dir = tmp.path().toStdString();
    apptest::AppDataOptions opt;
    opt.withUserName = false;
    apptest::WriteAppTestData(dir, opt);
    Application app(dir);
    QVERIFY(app.start());
    MainWindow* m = app.mainWindow();
    const QSize mainNatural = m->sizeHint();
    m->resize(mainNatural);
    m->layout()->activate();
    const QMargins frame(4, 28, 4, 4);
    const WindowPlan plan =
        PlanWindows(area, frame, mainNatural, m->commandRow(), QSize(1200, 720));
    QVERIFY(area.contains(plan.main));
    QVERIFY(area.contains(plan.results));
    // The results window never covers the main window's command row, as the main window lays
    // it out at the planned size.
    m->resize(plan.main.size() - QSize(8, 32));
    m->layout()->activate();
    const QRect commands =
        m->commandRow().translated(plan.main.topLeft() + QPoint(frame.left(), frame.top()));
    QVERIFY(plan.main.contains(commands));
    QVERIFY(!plan.results.intersects(commands));
    // Both stay large enough to use.
    QVERIFY(plan.results.width() >= 700 && plan.results.height() >= 420);
    // On a screen that holds it, the main window has its whole size.
    if (area.height() >= mainNatural.height() + 32)
        QCOMPARE(plan.main.size(), mainNatural + QSize(8, 32));
}

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
