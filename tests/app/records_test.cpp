// SPDX-License-Identifier: MIT
// The dose-record window driven as a user drives it: reading the project's own DICOM fixtures
// off the window's thread, the events and their assumed values, the conditions set in the main
// window from an event (the same doses as dovex-calc --dicom), events kept in the results table,
// the survey against the library's, the device profiles saved and the events calculated again,
// and a long read stopped. With DOVEX_RECORDS_SHOTS=<folder> it also draws the windows and the
// survey page there (1366 x 768) for a look.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

#include "app/application.h"
#include "engine/numtext.h"
#include "engine/textio.h"
#include "records/gui/eventtable.h"
#include "records/gui/profiledialog.h"
#include "records/gui/recordswindow.h"
#include "records/gui/surveywindow.h"
#include "results/gui/resultswindow.h"
#include "tests/app/appdata.h"
#include "tests/app/recorder.h"
#include "tests/records/fixtures.h"

using namespace dovex;
using namespace dovex::testing;
namespace fs = std::filesystem;

namespace {

void WriteBytes(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

FxEvent Event(FxCode region, FxCode view, const std::string& kv, const std::string& uAs) {
    FxEvent e = FxRadiograph();
    for (FxNum& n : e.nums) {
        if (n.name.value == FxKvp().value) n.value = kv;
        if (n.name.value == FxExposure().value) n.value = uAs;
        // At the fixture's 250 mA.
        if (n.name.value == FxExposureTime().value) n.value = PlainNumber(std::stod(uAs) / 250);
    }
    e.codes.push_back({FxTargetRegion(), region});
    e.codes.push_back({FxImageView(), view});
    return e;
}
const FxCode kChest{"T-D3000", "SRT", "Chest"}, kAbdomen{"T-D4000", "SRT", "Abdomen"};
const FxCode kPa{"R-10214", "SRT", "postero-anterior"}, kAp{"R-10206", "SRT", "antero-posterior"};

// A chest PA with the dose in the detector plane and DAP: the record implies its own kerma.
FxEvent ChestWithRecordDose(const std::string& uAs) {
    FxEvent e = Event(kChest, kPa, "120", uAs);
    e.nums.push_back({FxDap(), "0.000060", "Gym2"});
    e.nums.push_back({FxDoseRp(), "0.00018", "Gy"});
    e.codes.push_back({FxReferencePoint(), FxInDetectorPlane()});
    return e;
}

// The records of a small department: two units, chest and abdomen, a refused event (no tube
// voltage), a fluoroscopy event, an image header and a file that is no record.
void WriteDepartment(const fs::path& dir) {
    FxReport a;
    a.events = {ChestWithRecordDose("2000"), ChestWithRecordDose("2500"),
                ChestWithRecordDose("3200"), Event(kAbdomen, kAp, "80", "20000")};
    FxEvent noKv = Event(kAbdomen, kAp, "80", "16000");
    std::erase_if(noKv.nums, [](const FxNum& n) { return n.name.value == FxKvp().value; });
    a.events.push_back(noKv);
    FxEvent fluoro = FxRadiograph();
    fluoro.type = {"113613", "DCM", "Fluoroscopy"};
    a.events.push_back(fluoro);
    WriteBytes(dir / "roomA.dcm", WriteReport(a));
    FxReport b;
    b.device.manufacturer = "OTHERCO";
    b.device.model = "XR9";
    b.device.serial = "77";
    b.device.station = "ROOM2";
    b.device.observerUid = "1.2.826.0.1.3680043.10.543.8";
    b.events = {Event(kAbdomen, kAp, "85", "25000"), Event(kAbdomen, kAp, "75", "32000")};
    WriteBytes(dir / "roomB.dcm", WriteReport(b));
    WriteBytes(dir / "images" / "chest.dcm", WriteImage(FxChestImage()));
    WriteBytes(dir / "notes.txt", "not a record");
}

struct Session {
    Session() {
        dir = fs::path(tmp.path().toStdString()) / "data";
        records = fs::path(tmp.path().toStdString()) / "records";
        apptest::CopyShippedData(dir);
        WriteDepartment(records);
        app = std::make_unique<app::Application>(dir);
        started = app->start();
        if (started && !app->mainWindow()->findChild<QPushButton*>("Command2")->isEnabled()) {
            QTest::mouseClick(app->mainWindow()->findChild<QPushButton*>("Command8"),
                              Qt::LeftButton);
            QTest::mouseClick(
                app->mainWindow()->registrationDialog()->findChild<QPushButton*>("Command2"),
                Qt::LeftButton);
        }
    }
    ui::RecordsWindow* open() {
        QTest::mouseClick(app->mainWindow()->findChild<QPushButton*>("Command10"), Qt::LeftButton);
        return app->recordsWindow();
    }
    // Reads the paths and waits for the run to end.
    bool read(const QStringList& paths) {
        ui::RecordsWindow* w = app->recordsWindow();
        QSignalSpy done(w, &ui::RecordsWindow::runFinished);
        if (!w->readPaths(paths)) return false;
        return done.wait(120000);
    }
    QString recordsDir() const { return QString::fromStdString(records.string()); }
    // A cell of the event table as shown.
    QString cell(int row, const char* caption) const {
        const auto* v = app->recordsWindow()->eventView();
        return v->model()->index(row, ui::EventColumnOf(caption)).data().toString();
    }
    void select(const std::vector<int>& rows) const {
        QTableView* v = app->recordsWindow()->eventView();
        v->clearSelection();
        for (int r : rows)
            v->selectionModel()->select(v->model()->index(r, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    apptest::Recorder rec;
    QTemporaryDir tmp;
    fs::path dir, records;
    std::unique_ptr<app::Application> app;
    bool started = false;
};

// dovex-calc --dicom on the same records and data: its events by file and index.
nlohmann::json CalcJson(const Session& s, const QStringList& extra = {}) {
    QProcess p;
    p.start(QStringLiteral(DOVEX_CALC),
            QStringList{"--dicom", s.recordsDir(), "--json", "--data-dir",
                        QString::fromStdString(s.dir.string())} +
                extra);
    if (!p.waitForFinished(120000)) return {};
    return nlohmann::json::parse(p.readAllStandardOutput().toStdString(), nullptr, false);
}

const nlohmann::json* CalcEvent(const nlohmann::json& all, const records::EventOutcome& o) {
    for (const auto& e : all["events"])
        if (e["source"]["file"] == o.event.file && e["source"]["index"] == o.event.index) return &e;
    return nullptr;
}

void Shot(QWidget* w, const QString& name) {
    const QString dir = qEnvironmentVariable("DOVEX_RECORDS_SHOTS");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    w->grab().save(dir + "/" + name + ".png");
}

}  // namespace

class RecordsWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // The windows are drawn on a screen of the size a department's PC has.
        QVERIFY(QGuiApplication::primaryScreen() != nullptr);
    }
    void readsAndListsEvents();
    void conditionsFromAnEventGiveDovexCalcDoses();
    void addsToTheResultsTableUpToItsRows();
    void surveyIsTheLibrarys();
    void profilesSavedAtomicallyAndEventsCalculatedAgain();
    void longReadStaysResponsiveAndStops();
};

void RecordsWindowTest::readsAndListsEvents() {
    Session s;
    QVERIFY(s.started);
    ui::RecordsWindow* w = s.open();
    QVERIFY(w && w->isVisible());
    QVERIFY(s.read({s.recordsDir()}));
    // 3 chest + 1 abdomen (room A) + 2 abdomen (room B) + the image; the event without kV
    // refused; the fluoroscopy event and the text file listed.
    QCOMPARE(w->eventView()->model()->rowCount(), 7);
    QCOMPARE(w->refusedList()->rowCount(), 1);
    QCOMPARE(w->refusedList()->item(0, 2)->text(), QStringLiteral("管電圧"));
    QVERIFY(w->refusedList()->item(0, 3)->text().contains(QStringLiteral("記録がありません")));
    QCOMPARE(w->skippedList()->rowCount(), 2);
    // No record gives the thickness: every row marks it, and its tooltip says why.
    const int thick = ui::EventColumnOf("厚さ cm");
    const QModelIndex i = w->eventView()->model()->index(0, thick);
    QVERIFY(i.data().toString().endsWith(ui::kAssumedMark));
    QVERIFY(i.data(Qt::ToolTipRole).toString().contains(QStringLiteral("被写体厚 20 cm：")));
    // The tube voltage is read, not assumed.
    QVERIFY(!s.cell(0, "管電圧 kV").endsWith(ui::kAssumedMark));
    // Sorting by the entrance dose, and the filter by unit and exam part.
    w->eventView()->sortByColumn(ui::EventColumnOf("表面線量 空気 mGy"), Qt::AscendingOrder);
    const auto sorted = w->shownEvents();
    for (std::size_t k = 1; k < sorted.size(); ++k)
        QVERIFY(sorted[k - 1]->result->dose.esdAir <= sorted[k]->result->dose.esdAir);
    w->partChoice()->setCurrentText(QStringLiteral("腹部正面"));
    QCOMPARE(w->eventView()->model()->rowCount(), 3);
    w->unitChoice()->setCurrentIndex(
        w->unitChoice()->findText(QString::fromStdString(w->shownEvents().back()->mapped.unit)));
    QVERIFY(w->eventView()->model()->rowCount() >= 1);
    for (const auto* o : w->shownEvents()) QCOMPARE(o->result->conditions.examPart, "腹部正面");
    // Nothing of the patient but sex and age appears anywhere in the window.
    QStringList texts;
    for (QTableWidget* t : {w->refusedList(), w->skippedList()})
        for (int r = 0; r < t->rowCount(); ++r)
            for (int c = 0; c < t->columnCount(); ++c) texts << t->item(r, c)->text();
    w->partChoice()->setCurrentIndex(0);
    w->unitChoice()->setCurrentIndex(0);
    const auto* m = w->eventView()->model();
    for (int r = 0; r < m->rowCount(); ++r)
        for (int c = 0; c < m->columnCount(); ++c)
            texts << m->index(r, c).data().toString()
                  << m->index(r, c).data(Qt::ToolTipRole).toString();
    const QString all = texts.join('|');
    for (const char* secret : {"Yamada", "PID-987654", "19700102", "1970-01-02"})
        QVERIFY2(!all.contains(QString::fromLatin1(secret)), secret);
    QVERIFY(all.contains(QStringLiteral("男")));
    w->resize(1366, 740);
    Shot(w, "records-window");
}

void RecordsWindowTest::conditionsFromAnEventGiveDovexCalcDoses() {
    Session s;
    QVERIFY(s.started);
    // A profile for room A: the unit's filtration, angle and output factor come from it.
    WriteBytes(
        s.dir / records::kProfileFile,
        *Utf8ToCp932(
            "名称,ステーション名,固有フィルタ mmAl,付加フィルタ Cu mm,ターゲット角度,出力係数\r\n"
            "撮影室A,ROOM1,2.8,0.1,14,0.85\r\n"));
    ui::RecordsWindow* w = s.open();
    QVERIFY(s.read({s.recordsDir()}));
    const nlohmann::json calc = CalcJson(s);
    QVERIFY(calc.contains("events"));
    app::MainWindow* main = s.app->mainWindow();
    const auto events = w->shownEvents();
    QCOMPARE(events.size(), std::size_t{7});
    for (int row = 0; row < static_cast<int>(events.size()); ++row) {
        const records::EventOutcome& o = *events[static_cast<std::size_t>(row)];
        s.select({row});
        QTest::mouseClick(w->findChild<QPushButton*>("Apply"), Qt::LeftButton);
        QVERIFY(main->recordSource().contains(QString::number(o.event.index)));
        if (row == 0) {
            main->resize(1366, 740);
            Shot(main, "main-window-from-record");
        }
        QTest::mouseClick(main->findChild<QPushButton*>("Command2"), Qt::LeftButton);
        const DoseResult& d = s.app->state().dose;
        const nlohmann::json* j = CalcEvent(calc, o);
        QVERIFY(j && !(*j)["result"].is_null());
        // The same doses as dovex-calc to the last digit.
        const nlohmann::json& res = (*j)["result"];
        QVERIFY2(d.esdAir == res["esdAir"].get<double>(), o.event.file.c_str());
        QVERIFY(d.esdSoft == res["esdSoft"].get<double>());
        QVERIFY(s.app->state().conditions.exposureAt1m == res["exposureAt1m"].get<double>());
        if (!res["effectiveDose"].is_null())
            QVERIFY(d.effectiveDose == res["effectiveDose"].get<double>());
        QCOMPARE(s.app->state().shown.conditions.examPart, o.result->conditions.examPart);
    }
    // Room A's output factor made its exposure a measured one.
    QVERIFY(events.front()->mapped.profile == "撮影室A" ||
            events.back()->mapped.profile == "撮影室A");
    // Editing a field: the conditions are the user's, the mark goes.
    QLineEdit* kv = main->findChild<QLineEdit*>("Text5");
    kv->setFocus();
    QTest::keyClick(kv, Qt::Key_End);
    QTest::keyClick(kv, Qt::Key_Backspace);
    QVERIFY(main->recordSource().isEmpty());
}

void RecordsWindowTest::addsToTheResultsTableUpToItsRows() {
    Session s;
    QVERIFY(s.started);
    // Twenty exposures of one report.
    FxReport r;
    for (int k = 0; k < 20; ++k)
        r.events.push_back(Event(kAbdomen, kAp, std::to_string(70 + k), "20000"));
    fs::remove_all(s.records);
    WriteBytes(s.records / "many.dcm", WriteReport(r));
    ui::RecordsWindow* w = s.open();
    QVERIFY(s.read({s.recordsDir()}));
    QCOMPARE(w->eventView()->model()->rowCount(), 20);
    s.select({0, 1});
    QTest::mouseClick(w->findChild<QPushButton*>("AddToTable"), Qt::LeftButton);
    QCOMPARE(s.app->state().table.count(), 2);
    const auto shown = w->shownEvents();
    QCOMPARE(s.app->state().table.row(1).esdAir, shown[0]->result->dose.esdAir);
    QCOMPARE(s.app->state().table.row(2).tubeVoltage, shown[1]->result->conditions.tubeVoltage);
    std::vector<int> all(20);
    for (int k = 0; k < 20; ++k) all[static_cast<std::size_t>(k)] = k;
    s.select(all);
    s.rec.clear();
    QTest::mouseClick(w->findChild<QPushButton*>("AddToTable"), Qt::LeftButton);
    QCOMPARE(s.app->state().table.count(), 15);
    QVERIFY(
        s.rec.last().contains(QStringLiteral("13 件を追加し、残りの 7 件は追加しませんでした")));
}

void RecordsWindowTest::surveyIsTheLibrarys() {
    Session s;
    QVERIFY(s.started);
    ui::RecordsWindow* w = s.open();
    QVERIFY(s.read({s.recordsDir()}));
    QTest::mouseClick(w->findChild<QPushButton*>("Survey"), Qt::LeftButton);
    ui::SurveyWindow* sw = w->surveyWindow();
    QVERIFY(sw && sw->isVisible());
    std::vector<records::SurveyInput> in;
    for (const auto* o : w->shownEvents()) in.push_back(records::SurveyInputOf(*o));
    const auto expected = records::BuildSurvey(in, w->data()->drlTable());
    QCOMPARE(sw->rows().size(), expected.size());
    QCOMPARE(sw->table()->rowCount(), static_cast<int>(expected.size()));
    for (std::size_t k = 0; k < expected.size(); ++k) {
        QCOMPARE(sw->rows()[k].esdAir.median, expected[k].esdAir.median);
        QCOMPARE(sw->table()->item(static_cast<int>(k), 4)->text(),
                 QString::fromStdString(FormatPattern(expected[k].esdAir.median, "0.00")));
    }
    // The three files, each written whole.
    const fs::path out = fs::path(s.tmp.path().toStdString()) / "out";
    fs::create_directories(out);
    auto at = [&](const char* name) { return QString::fromStdString((out / name).string()); };
    QVERIFY(sw->saveCsv(at("survey.csv")));
    QVERIFY(ReadFileBytes(out / "survey.csv") == records::SurveyFileBytes(expected));
    QVERIFY(sw->savePng(at("survey.png")));
    QImage png;
    QVERIFY(png.load(at("survey.png")));
    QVERIFY(png.width() > 1000);
    QVERIFY(sw->savePdf(at("survey.pdf")));
    QVERIFY(ReadFileBytes(out / "survey.pdf").starts_with("%PDF"));
    // A folder in the way: refused with a message, nothing written.
    s.rec.clear();
    fs::create_directories(out / "taken.pdf");
    QVERIFY(!sw->savePdf(at("taken.pdf")));
    QVERIFY(!s.rec.messages.empty());
    // The page's text holds the user but no patient.
    const QByteArray pdf = ui::SurveyPdf(sw->rows(), sw->heading());
    QVERIFY(!pdf.contains("Yamada"));
    sw->resize(1366, 740);
    Shot(sw, "survey-window");
    if (!qEnvironmentVariable("DOVEX_RECORDS_SHOTS").isEmpty()) {
        // The A4 page as it is printed, drawn at 150 dpi.
        QImage page(1240, 1754, QImage::Format_ARGB32);
        page.fill(Qt::white);
        QPainter p(&page);
        const double mm = 1240 / 210.0;
        ui::PaintSurveyPage(p, QRectF(15 * mm, 15 * mm, 180 * mm, 267 * mm), sw->rows(),
                            sw->heading());
        p.end();
        page.save(qEnvironmentVariable("DOVEX_RECORDS_SHOTS") + "/survey-page.png");
        QVERIFY(sw->savePdf(qEnvironmentVariable("DOVEX_RECORDS_SHOTS") + "/survey-page.pdf"));
    }
}

void RecordsWindowTest::profilesSavedAtomicallyAndEventsCalculatedAgain() {
    Session s;
    QVERIFY(s.started);
    ui::RecordsWindow* w = s.open();
    QVERIFY(s.read({s.recordsDir()}));
    const auto before = w->shownEvents();
    std::map<std::pair<std::string, int>, double> esd;
    for (const auto* o : before) esd[{o->event.file, o->event.index}] = o->result->dose.esdAir;
    QTest::mouseClick(w->findChild<QPushButton*>("Profiles"), Qt::LeftButton);
    ui::ProfileDialog* d = w->profileDialog();
    QVERIFY(d && d->isVisible());
    QTableWidget* t = d->table();
    // A new row for each unit seen: room A (its report and its image) and room B.
    QCOMPARE(t->rowCount(), 2);
    int roomA = -1;
    for (int r = 0; r < t->rowCount(); ++r)
        if (t->item(r, ui::ProfileDialog::ColumnOf("ステーション名"))->text() == "ROOM1") roomA = r;
    QVERIFY(roomA >= 0);
    // The chest events of room A carry the record's dose: their median ratio is the hint.
    const auto ratios = records::RecordRatioByUnit(w->run().events);
    const std::string unitA = t->item(roomA, 0)->text().toStdString();
    QVERIFY(ratios.count(unitA));
    QVERIFY(
        t->item(roomA, ui::ProfileDialog::HintColumn())
            ->text()
            .startsWith(QString::fromStdString(FormatPattern(ratios.at(unitA).median, "0.000"))));
    t->setCurrentCell(roomA, 0);
    QTest::mouseClick(d->findChild<QPushButton*>("TakeHint"), Qt::LeftButton);
    Shot(d, "profile-dialog");
    const int factorCol = ui::ProfileDialog::ColumnOf("出力係数");
    QCOMPARE(t->item(roomA, factorCol)->text(), QString::number(ratios.at(unitA).median, 'g', 3));
    // A value out of bounds: refused naming the row, the file untouched.
    const fs::path file = s.dir / records::kProfileFile;
    QVERIFY(!fs::exists(file));
    t->item(roomA, ui::ProfileDialog::ColumnOf("ターゲット角度"))->setText("90");
    s.rec.clear();
    QTest::mouseClick(d->findChild<QPushButton*>("SaveProfiles"), Qt::LeftButton);
    QVERIFY(d->isVisible());
    QVERIFY(s.rec.last().contains(QStringLiteral("%1 行目").arg(roomA + 1)));
    QVERIFY(!fs::exists(file));
    // A factor of 0.5: saved, read back, and every event of the unit calculated again.
    t->item(roomA, ui::ProfileDialog::ColumnOf("ターゲット角度"))->setText("");
    t->item(roomA, factorCol)->setText("0.5");
    QSignalSpy again(w, &ui::RecordsWindow::runFinished);
    QTest::keyClick(d, Qt::Key_Return);  // Enter saves
    QVERIFY(!d->isVisible());
    QVERIFY(again.wait(60000));
    const auto saved = records::ReadProfiles(file);
    QCOMPARE(saved.size(), std::size_t{1});  // the units left empty are not written
    QCOMPARE(*saved[0].outputFactor, 0.5);
    for (const auto& entry : fs::directory_iterator(s.dir))
        QVERIFY2(entry.path().filename().string().find(".tmp") == std::string::npos,
                 entry.path().string().c_str());
    int changed = 0;
    for (const auto* o : w->shownEvents()) {
        const double was = esd[{o->event.file, o->event.index}];
        if (o->mapped.unit == unitA) {
            QVERIFY(std::fabs(o->result->dose.esdAir / was - 0.5) < 1e-9);
            ++changed;
        } else {
            QCOMPARE(o->result->dose.esdAir, was);
        }
    }
    QCOMPARE(changed, 5);
    // Escape closes the dialog without saving.
    QTest::mouseClick(w->findChild<QPushButton*>("Profiles"), Qt::LeftButton);
    d->table()->item(0, factorCol)->setText("0.7");
    QTest::keyClick(d, Qt::Key_Escape);
    QVERIFY(!d->isVisible());
    QCOMPARE(*records::ReadProfiles(file)[0].outputFactor, 0.5);
}

void RecordsWindowTest::longReadStaysResponsiveAndStops() {
    Session s;
    QVERIFY(s.started);
    // 1000 reports of five exposures each, read without the estimate as a survey is.
    fs::remove_all(s.records);
    FxReport r;
    for (int k = 0; k < 5; ++k) r.events.push_back(Event(kChest, kPa, "120", "2500"));
    const std::string bytes = WriteReport(r);
    for (int k = 0; k < 1000; ++k)
        WriteBytes(s.records / ("r" + std::to_string(k) + ".dcm"), bytes);
    ui::RecordsWindow* w = s.open();
    w->findChild<QCheckBox*>("Estimate")->setChecked(false);
    // The window's own timer goes on firing while the events are read and calculated.
    int ticks = 0, progressShown = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++ticks;
        if (w->progressBar()->maximum() > 1 && w->progressBar()->value() > 0) ++progressShown;
    });
    tick.start(20);
    QVERIFY(s.read({s.recordsDir()}));
    tick.stop();
    QCOMPARE(w->run().events.size(), std::size_t{5000});
    QCOMPARE(w->run().computed(), 5000L);
    QVERIFY(ticks > 3);
    QVERIFY(progressShown > 0);
    // Stopped at once: what was done is kept, the rest is not read.
    QSignalSpy done(w, &ui::RecordsWindow::runFinished);
    QVERIFY(w->readPaths({s.recordsDir()}));
    QVERIFY(!w->readPaths({s.recordsDir()}));  // one run at a time
    QTest::mouseClick(w->findChild<QPushButton*>("Stop"), Qt::LeftButton);
    QVERIFY(done.wait(60000));
    QVERIFY(w->run().cancelled);
    QVERIFY(w->run().events.size() < 5000);
    QVERIFY(w->findChild<QPushButton*>("OpenFolder")->isEnabled());
}

QTEST_MAIN(RecordsWindowTest)
#include "records_test.moc"
