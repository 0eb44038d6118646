// SPDX-License-Identifier: MIT
// The three drivers of one calculation agree: the same condition sets run through the main
// window (offscreen), `dovex-calc --json` and `dovex-calc --batch` give the same numbers to the
// last digit each prints, and the same refusals. The sets are random, within and just outside
// every bound of the entered conditions, over every rectification, both phantoms, every exam
// part of the list (and a typed one without organ data), each field form and a measured exposure
// in each unit.
#include <sys/wait.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/mainwindow.h"
#include "calculation/calculation.h"
#include "dialogs/measuredexposuredialog.h"
#include "engine/numtext.h"
#include "engine/presets.h"
#include "results/csvfile.h"
#include "tests/app/appdata.h"
#include "tests/app/recorder.h"

using namespace dovex;
namespace fs = std::filesystem;

namespace {

constexpr int kCases = 220;

// One condition set as dovex-calc options (name -> text); the window gets the same texts.
struct Case {
    std::map<std::string, std::string> opt;
    std::string fieldForm;  // "field", "preset" or "circle"
};

std::string Text(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.4g", v);
    return buf;
}

// A value of the bound's option: mostly inside (a typical value or anywhere in the range), or,
// when `outside`, just beyond one end.
double Pick(const calc::Bound& b, std::mt19937& rng, bool outside, double typLo, double typHi) {
    std::uniform_real_distribution<double> u(0, 1);
    if (outside) {
        const double span = b.high - b.low;
        if (u(rng) < 0.5) return b.lowIncluded ? b.low - 0.001 * span - 0.01 : b.low;
        return b.highIncluded ? b.high * 1.001 + 0.01 : b.high;
    }
    if (u(rng) < 0.96) return typLo + (typHi - typLo) * u(rng);
    const double lo = b.lowIncluded ? b.low : b.low + 0.001 * (b.high - b.low);
    const double hi = b.highIncluded ? b.high : b.high - 0.001 * (b.high - b.low);
    return lo + (hi - lo) * u(rng);
}

std::vector<Case> Generate(const std::vector<std::string>& examParts) {
    std::mt19937 rng(20261208);
    std::uniform_real_distribution<double> u(0, 1);
    using calc::Check;
    struct Numeric {
        const char* option;
        Check check;
        double typLo, typHi;
    };
    const Numeric numerics[] = {
        {"kv", Check::TubeVoltage, 45, 140},
        {"ma", Check::TubeCurrent, 10, 500},
        {"time", Check::ExposureTime, 0.005, 2},
        {"target-angle", Check::TargetAngle, 8, 20},
        {"inherent-al", Check::InherentFilter, 0.5, 3},
        {"added-al", Check::AddedAl, 0, 3},
        {"added-cu", Check::AddedCu, 0, 0.3},
        {"ffd", Check::Ffd, 100, 180},
        {"fsd", Check::Fsd, 55, 85},
        {"thickness", Check::SubjectThickness, 5, 30},
    };
    const char* units[] = {"", "C/kg", "R", "Gy"};
    std::vector<Case> cases;
    for (int n = 0; n < kCases; ++n) {
        Case c;
        // One in three sets has one value just outside its bound.
        const int outside = u(rng) < 0.33 ? static_cast<int>(u(rng) * 12) : -1;
        for (int k = 0; k < 10; ++k) {
            const Numeric& x = numerics[k];
            c.opt[x.option] =
                Text(Pick(calc::BoundOf(x.check), rng, k == outside, x.typLo, x.typHi));
        }
        const double form = u(rng);
        const calc::Bound& side = calc::BoundOf(Check::FieldLong);
        if (form < 0.4) {
            c.fieldForm = "field";
            const double l = Pick(side, rng, outside == 10, 8, 45);
            const double s = Pick(side, rng, outside == 11, 8, 45);
            c.opt["field"] = Text(l) + "x" + Text(s);
        } else if (form < 0.7) {
            c.fieldForm = "preset";
            c.opt["field-preset"] = FieldPresets()[static_cast<std::size_t>(u(rng) * 9)].name;
        } else {
            c.fieldForm = "circle";
            c.opt["circle"] = Text(Pick(side, rng, outside >= 10, 5, 40));
        }
        c.opt["rectification"] = std::to_string(1 + n % 3);
        c.opt["phantom"] = (n / 3) % 2 ? "head" : "body";
        const char* unit = units[n % 4];
        if (*unit) {
            c.opt["exposure-unit"] = unit;
            const double perUnit = std::string(unit) == "R"    ? 1
                                   : std::string(unit) == "Gy" ? 0.0088
                                                               : 2.58e-4;
            // Up to the measured-exposure bound and, rarely, beyond it.
            c.opt["exposure"] = Text(perUnit * (u(rng) < 0.05 ? 5000 : 0.01 + 2 * u(rng)));
        }
        c.opt["exam-part"] = examParts[static_cast<std::size_t>(n) % examParts.size()];
        cases.push_back(std::move(c));
    }
    return cases;
}

// What a driver shows for one set: the result fields as printed, or a refusal.
struct Shown {
    bool refused = false;
    std::string message;  // the refusal's text (Japanese in the window, English otherwise)
    std::vector<std::string> fields;  // exposure, 3 BSF, 2 conversion, 3 ESD, effective dose
};

std::vector<std::string> Printed(double x, double bs, double bk, double ba, double cs, double ck,
                                 double es, double ek, double ea, const std::string& effective) {
    return {FormatPattern(x, "0.00E+0"), FormatPattern(bs, "#0.000"),
            FormatPattern(bk, "#0.000"), FormatPattern(ba, "#0.000"),
            FormatPattern(cs, "#00.00"), FormatPattern(ck, "#00.00"),
            FormatPattern(es, "#0.00"),  FormatPattern(ek, "#0.00"),
            FormatPattern(ea, "#0.00"),  effective};
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char ch : s) q += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return q + "'";
}

struct Run {
    int status = -1;
    std::string out, err;
};

Run Execute(const std::string& args, const fs::path& errFile) {
    Run r;
    const std::string cmd = std::string(DOVEX_CALC) + " " + args + " 2>" + Quote(errFile.string());
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[8192];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream err(errFile, std::ios::binary);
    r.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return r;
}

// The option a dovex-calc refusal names ("--ma: ..."), empty when none.
std::string OptionNamed(const std::string& message) {
    const QRegularExpression re(QStringLiteral("--([a-z-]+):"));
    const auto m = re.match(QString::fromStdString(message));
    return m.hasMatch() ? m.captured(1).toStdString() : std::string();
}

}  // namespace

class DifferentialTest : public QObject {
    Q_OBJECT
  private slots:
    void windowCliAndBatchAgree();
};

void DifferentialTest::windowCliAndBatchAgree() {
    apptest::Recorder rec;
    QTemporaryDir tmp;
    const fs::path dir = tmp.path().toStdString();
    apptest::AppDataOptions opt;
    apptest::WriteAppTestData(dir, opt);
    app::Application application(dir);
    QVERIFY(application.start());
    app::MainWindow* w = application.mainWindow();
    auto ctl = [&](const char* name) {
        for (QWidget* c : w->findChildren<QWidget*>(QString::fromLatin1(name)))
            if (c->window() == w) return c;
        qFatal("control %s missing", name);
        return static_cast<QWidget*>(nullptr);
    };
    auto edit = [&](const char* name) { return static_cast<QLineEdit*>(ctl(name)); };
    auto label = [&](const char* name) {
        return static_cast<QLabel*>(ctl(name))->text().toStdString();
    };

    // Every exam part of the list (the empty one included), and one typed without organ data.
    std::vector<std::string> parts;
    for (const auto& p : opt.examParts) parts.push_back(p);
    parts.push_back("足関節正面");
    const std::vector<Case> cases = Generate(parts);

    // The window.
    std::vector<Shown> window;
    const std::pair<const char*, const char*> entries[] = {
        {"kv", "Text5"},           {"ma", "Text6"},          {"time", "Text7"},
        {"target-angle", "Text1"}, {"inherent-al", "Text2"}, {"added-al", "Text3"},
        {"added-cu", "Text4"},     {"ffd", "Text8"},         {"fsd", "Text9"},
        {"thickness", "Text23"}};
    for (const Case& c : cases) {
        rec.clear();
        w->startup();
        // The tissue rows keep a user's ticks and edits from run to run; dovex-calc starts from
        // fresh rows, and so does every set here.
        application.state().estimator.rows() = OrganRows{};
        for (const auto& [option, control] : entries)
            edit(control)->setText(QString::fromStdString(c.opt.at(option)));
        auto* presets = static_cast<QComboBox*>(ctl("Combo1"));
        auto choose = [&](const std::string& name) {
            const int i = presets->findText(QString::fromStdString(name));
            presets->setCurrentIndex(i);
            emit presets->activated(i);
        };
        if (c.fieldForm == "field") {
            choose(kPresetOther);
            const std::string& f = c.opt.at("field");
            const auto x = f.find('x');
            edit("Text10")->setText(QString::fromStdString(f.substr(0, x)));
            edit("Text11")->setText(QString::fromStdString(f.substr(x + 1)));
        } else if (c.fieldForm == "preset") {
            choose(c.opt.at("field-preset"));
        } else {
            choose(kPresetCircle);
            edit("Text10")->setText(QString::fromStdString(c.opt.at("circle")));
        }
        static_cast<QRadioButton*>(ctl(("Option" + c.opt.at("rectification")).c_str()))->click();
        static_cast<QRadioButton*>(ctl(c.opt.at("phantom") == "head" ? "Option7" : "Option6"))
            ->click();
        if (c.opt.count("exposure")) {
            static_cast<QRadioButton*>(ctl("Option5"))->click();
            auto* d = w->measuredDialog();
            const std::string& unit = c.opt.at("exposure-unit");
            d->findChild<QRadioButton*>(unit == "C/kg" ? "Option1"
                                        : unit == "R"  ? "Option2"
                                                       : "Option3")
                ->setChecked(true);
            d->valueBox()->setText(QString::fromStdString(c.opt.at("exposure")));
            QTest::mouseClick(d->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        }
        static_cast<QComboBox*>(ctl("Combo2"))
            ->setEditText(QString::fromStdString(c.opt.at("exam-part")));
        QTest::mouseClick(static_cast<QPushButton*>(ctl("Command2")), Qt::LeftButton);
        Shown s;
        if (!rec.messages.empty() &&
            !rec.messages.front().text.endsWith(QStringLiteral("に入力ミスがあります"))) {
            s.refused = true;
            s.message = rec.messages.front().text.toStdString();
        } else {
            for (const char* l : {"Label78", "Label68", "Label69", "Label70", "Label71", "Label72",
                                  "Label73", "Label74", "Label75", "Label81"})
                s.fields.push_back(label(l));
        }
        window.push_back(std::move(s));
    }

    // dovex-calc --json, one process per set.
    const fs::path errFile = dir / "stderr.txt";
    std::vector<Shown> cli;
    std::vector<Run> runs;
    for (const Case& c : cases) {
        std::string args = "--data-dir " + Quote(dir.string()) + " --json";
        for (const auto& [k, v] : c.opt) args += " --" + k + " " + Quote(v);
        const Run r = Execute(args, errFile);
        Shown s;
        if (r.status != 0 && r.out.empty()) {
            s.refused = true;
            s.message = r.err;
        } else {
            const auto j = nlohmann::json::parse(r.out);
            const auto& e = j["effectiveDose"];
            s.fields =
                Printed(j["exposureAt1m"], j["bsfSoft"], j["bsfSkin"], j["bsfAir"], j["convSoft"],
                        j["convSkin"], j["esdSoft"], j["esdSkin"], j["esdAir"],
                        e.is_null() ? "---" : FormatPattern(e.get<double>(), "##0.000"));
        }
        cli.push_back(std::move(s));
    }

    // dovex-calc --batch over one conditions file holding every set.
    std::vector<std::string> columns = {"kv",
                                        "ma",
                                        "time",
                                        "target-angle",
                                        "inherent-al",
                                        "added-al",
                                        "added-cu",
                                        "ffd",
                                        "fsd",
                                        "thickness",
                                        "field",
                                        "field-preset",
                                        "circle",
                                        "rectification",
                                        "phantom",
                                        "exposure",
                                        "exposure-unit",
                                        "exam-part"};
    std::string csv;
    for (const auto& col : columns) csv += (csv.empty() ? "" : ",") + col;
    csv += "\n";
    for (const Case& c : cases) {
        std::string line;
        for (std::size_t k = 0; k < columns.size(); ++k) {
            auto it = c.opt.find(columns[k]);
            line += (k ? "," : "") + (it == c.opt.end() ? std::string() : "\"" + it->second + "\"");
        }
        csv += line + "\n";
    }
    {
        std::FILE* f = std::fopen((dir / "conditions.csv").c_str(), "wb");
        std::fwrite(csv.data(), 1, csv.size(), f);
        std::fclose(f);
    }
    const Run b = Execute("--data-dir " + Quote(dir.string()) + " --batch " +
                              Quote((dir / "conditions.csv").string()) + " --out " +
                              Quote((dir / "batch.csv").string()),
                          errFile);
    std::map<long, std::string> skipped;  // conditions line -> reason
    const QRegularExpression skipLine(QStringLiteral("^line (\\d+): (.*) \\(row skipped\\)$"));
    for (const QString& l : QString::fromStdString(b.err).split('\n')) {
        const auto m = skipLine.match(l);
        if (m.hasMatch()) skipped[m.captured(1).toLong()] = m.captured(2).toStdString();
    }
    std::vector<ResultRow> written;
    for (int k = 1;; ++k) {
        const fs::path p =
            dir / (k == 1 ? std::string("batch.csv") : "batch-" + std::to_string(k) + ".csv");
        if (!fs::exists(p)) break;
        const ResultsFileContents in = ReadResultsFile(p);
        for (int i = 1; i <= in.table.count(); ++i) written.push_back(in.table.row(i));
    }
    std::vector<Shown> batch;
    std::size_t next = 0;
    for (int n = 0; n < kCases; ++n) {
        Shown s;
        const long line = n + 2;
        if (skipped.count(line)) {
            s.refused = true;
            s.message = skipped[line];
        } else if (next < written.size()) {
            const ResultRow& r = written[next++];
            s.fields =
                Printed(r.exposureAt1m, r.bsfSoft, r.bsfSkin, r.bsfAir, r.convSoft, r.convSkin,
                        r.esdSoft, r.esdSkin, r.esdAir,
                        r.effectiveDose == 0 ? "---" : FormatPattern(r.effectiveDose, "##0.000"));
        }
        batch.push_back(std::move(s));
    }
    QCOMPARE(next, written.size());

    // The comparison.
    int refusals = 0, results = 0;
    for (int n = 0; n < kCases; ++n) {
        const Shown &wi = window[n], &cl = cli[n], &ba = batch[n];
        std::string args;
        for (const auto& [k, v] : cases[n].opt) args += " --" + k + " " + v;
        const QByteArray where = QByteArray("set ") + QByteArray::number(n) + ":" + args.c_str() +
                                 " | window: " + wi.message.c_str() +
                                 " | cli: " + cl.message.c_str() +
                                 " | batch: " + ba.message.c_str();
        QVERIFY2(wi.refused == cl.refused && cl.refused == ba.refused, where.constData());
        if (wi.refused) {
            ++refusals;
            // The same check: dovex-calc and the batch name the same option (or both none), and
            // the window's message names the same quantity.
            const std::string option = OptionNamed(cl.message);
            QVERIFY2(option == OptionNamed(ba.message), where.constData());
            if (option.empty()) {
                const bool geometry = wi.message == calc::kGeometryJa;
                QVERIFY2(geometry == (cl.message.find("FFD - FSD") != std::string::npos),
                         where.constData());
                QVERIFY2(geometry == (ba.message.find("FFD - FSD") != std::string::npos),
                         where.constData());
            } else {
                bool named = false;
                for (const calc::Bound& bd : calc::Bounds())
                    if (bd.option == option ||
                        (option == "circle" && bd.check == calc::Check::FieldLong))
                        named = named || wi.message.find(bd.nameJa) != std::string::npos;
                QVERIFY2(named, where.constData());
            }
        } else {
            ++results;
            std::string shown;
            for (std::size_t k = 0; k < wi.fields.size() && k < cl.fields.size(); ++k)
                shown += " " + wi.fields[k] + "/" + cl.fields[k];
            QVERIFY2(wi.fields == cl.fields, (where + shown.c_str()).constData());
            for (std::size_t k = 0; k + 1 < wi.fields.size(); ++k)
                QVERIFY2(wi.fields[k] == ba.fields[k],
                         (where + " field " + QByteArray::number(int(k))).constData());
            QVERIFY2(wi.fields.back() == ba.fields.back() ||
                         (wi.fields.back() == "0.000" && ba.fields.back() == "---"),
                     where.constData());
        }
    }
    qInfo("%d condition sets: %d results, %d refusals", kCases, results, refusals);
    QVERIFY(results > kCases / 3);
    QVERIFY(refusals > kCases / 10);
}

QTEST_MAIN(DifferentialTest)
#include "differential_test.moc"
