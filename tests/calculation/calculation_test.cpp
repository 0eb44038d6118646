// SPDX-License-Identifier: MIT
// The one calculation on the shipped data: every check refuses what it should and passes its
// edges, the steps come in their order, failures keep what was reached and name their reason,
// one test tells a circular field, and no driver calls the computation steps itself.
#include "calculation/calculation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <vector>

#include "calculation/conditionfields.h"
#include "calculation/json.h"
#include "calculation/resultfields.h"
#include "engine/error.h"
#include "engine/numtext.h"
#include "engine/platform.h"
#include "tests/support/synthdata.h"

namespace fs = std::filesystem;
using namespace dovex;
using calc::Check;

namespace {

const PhysicsTables& Tables() {
    static const PhysicsTables t = LoadAllTables(DOVEX_DATA_DIR);
    return t;
}

struct Fixture {
    KernelFiles kernels{DOVEX_DATA_DIR};
    OrganRows rows;
    std::vector<std::string> listed =
        calc::ReadExamPartList(fs::path(DOVEX_DATA_DIR) / u8"撮影部位.txt");
    calc::CalculationContext context() { return {Tables(), DOVEX_DATA_DIR, listed, kernels, rows}; }
};

// The data every driver loads: the tables and the exam-part list are needed, the reference
// levels are not.
TEST(LoadData, ExamPartListIsNeededReferenceLevelsAreNot) {
    dovex::testing::TempDir dir;
    dovex::testing::WriteSyntheticData(dir.path());
    const calc::CalculationData d = calc::LoadData(dir.path());
    EXPECT_FALSE(d.examParts.empty());
    EXPECT_EQ(d.drlState, calc::DrlFileState::Absent);
    EXPECT_EQ(d.drlTable(), nullptr);
    dovex::testing::WriteBytes(dir.path() / dovex::platform::PathFromUtf8(kDrlFileName),
                               "部位,abc,,1,x\r\n");
    const calc::CalculationData faulty = calc::LoadData(dir.path());
    EXPECT_EQ(faulty.drlState, calc::DrlFileState::Faulty);
    EXPECT_NE(faulty.drlProblem.find(kDrlFileName), std::string::npos) << faulty.drlProblem;
    fs::remove(dir.path() / u8"撮影部位.txt");
    try {
        calc::LoadData(dir.path());
        ADD_FAILURE() << "a data folder without the exam-part list was loaded";
    } catch (const DataFileError& e) {
        EXPECT_EQ(e.file(), "撮影部位.txt");
    }
}

// The table of conditions agrees with the calculation: the start text of every number is the
// default the conditions hold, shown back as typed, and its bound is the bound of its option.
TEST(ConditionFields, StartTextsAreTheDefaultsAndBoundsBelongToTheirOptions) {
    const ExposureConditions defaults;
    int numbers = 0;
    for (const calc::ConditionField& f : calc::ConditionFields()) {
        if (!f.member) continue;
        ++numbers;
        const double typed = ParseLenient(f.startText);
        EXPECT_EQ(calc::HeldValue(f, typed), defaults.*f.member) << f.windowCaption;
        EXPECT_EQ(calc::TypedValue(f, defaults), typed) << f.windowCaption;
        ASSERT_TRUE(f.check.has_value()) << f.windowCaption;
        if (f.option) {
            EXPECT_STREQ(calc::BoundOf(*f.check).option, f.option);
            EXPECT_EQ(calc::FindConditionField(f.option), &f);
        }
        if (f.windowField) {
            EXPECT_EQ(calc::FindWindowField(f.windowField), &f);
        }
    }
    EXPECT_EQ(numbers, 13);  // twelve entry fields and the arbitrary filter's thickness
}

calc::CalculationRequest Request(const std::function<void(ExposureConditions&)>& change) {
    calc::CalculationRequest r;
    r.conditions.examPart = "その他";
    change(r.conditions);
    return r;
}

struct CheckCase {
    const char* name;
    std::function<void(ExposureConditions&)> change;
    std::optional<Check> refused;  // nullopt: passes
};
void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class Checks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(Checks, RefuseOrPass) {
    auto req = Request(GetParam().change);
    auto r = calc::CheckConditions(req, Tables());
    ASSERT_EQ(r.has_value(), GetParam().refused.has_value()) << (r ? r->messageEn : "passed");
    if (!r) return;
    EXPECT_EQ(r->check, *GetParam().refused);
    EXPECT_FALSE(r->messageJa.empty());
    EXPECT_FALSE(r->messageEn.empty());
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Bounds, Checks,
    ::
        testing::
            Values(
                CheckCase{"defaults", [](auto&) {}, std::nullopt},
                CheckCase{"angle_1", [](auto& c) { c.targetAngle = 1; }, std::nullopt},
                CheckCase{"angle_45", [](auto& c) { c.targetAngle = 45; }, std::nullopt},
                CheckCase{"angle_0", [](auto& c) { c.targetAngle = 0; }, Check::TargetAngle},
                CheckCase{"angle_150", [](auto& c) { c.targetAngle = 150; }, Check::TargetAngle},
                CheckCase{"no_filter",
                          [](auto& c) { c.inherentFilter = c.addedAl = c.addedCu = 0; },
                          std::nullopt},
                CheckCase{"inherent_negative", [](auto& c) { c.inherentFilter = -0.01; },
                          Check::InherentFilter},
                CheckCase{"al_11cm", [](auto& c) { c.addedAl = 11; }, Check::AddedAl},
                CheckCase{"cu_negative", [](auto& c) { c.addedCu = -0.1; }, Check::AddedCu},
                CheckCase{"kv_10",
                          [](auto& c) {
                              c.tubeVoltage = 10;
                              c.exposureSource = ExposureSource::Measured;
                              c.exposureAt1m = 1e-4;
                          },
                          std::nullopt},
                CheckCase{"kv_149_9", [](auto& c) { c.tubeVoltage = 149.9; }, std::nullopt},
                CheckCase{"kv_150", [](auto& c) { c.tubeVoltage = 150; }, Check::TubeVoltage},
                CheckCase{"kv_nan", [](auto& c) { c.tubeVoltage = kNaN; }, Check::TubeVoltage},
                CheckCase{"kv_25_default_output", [](auto& c) { c.tubeVoltage = 25; },
                          Check::DefaultOutputRange},
                CheckCase{"kv_25_measured",
                          [](auto& c) {
                              c.tubeVoltage = 25;
                              c.exposureSource = ExposureSource::Measured;
                              c.exposureAt1m = 1e-4;
                          },
                          std::nullopt},
                CheckCase{"ma_negative", [](auto& c) { c.tubeCurrent = -200; }, Check::TubeCurrent},
                CheckCase{"ma_0", [](auto& c) { c.tubeCurrent = 0; }, Check::TubeCurrent},
                CheckCase{"ma_1e300", [](auto& c) { c.tubeCurrent = 1e300; }, Check::TubeCurrent},
                CheckCase{"time_negative", [](auto& c) { c.exposureTime = -0.05; },
                          Check::ExposureTime},
                CheckCase{"ffd_0", [](auto& c) { c.ffd = 0; }, Check::Ffd},
                CheckCase{"fsd_negative", [](auto& c) { c.fsd = -1; }, Check::Fsd},
                CheckCase{"thickness_0", [](auto& c) { c.subjectThickness = 0; },
                          Check::SubjectThickness},
                CheckCase{"field_short_0", [](auto& c) { c.fieldShort = 0; }, Check::FieldShort},
                CheckCase{"field_long_0", [](auto& c) { c.fieldLong = 0; }, Check::FieldLong},
                CheckCase{"circle_short_ignored",
                          [](auto& c) {
                              c.fieldShape = FieldShape::Circle;
                              c.fieldLong = 10;
                              c.fieldShort = 0;
                          },
                          std::nullopt},
                CheckCase{"circle_0",
                          [](auto& c) {
                              c.fieldShape = FieldShape::Circle;
                              c.fieldLong = 0;
                          },
                          Check::FieldLong},
                CheckCase{"shape_3", [](auto& c) { c.fieldShape = static_cast<FieldShape>(3); },
                          Check::FieldShape},
                CheckCase{
                    "rectification_4",
                    [](auto& c) { c.rectification = static_cast<Rectification>(4); },
                    Check::Rectification},
                CheckCase{
                    "phantom_2", [](auto& c) { c.phantom = static_cast<Phantom>(2); },
                    Check::Phantom},
                CheckCase{
                    "measured_0",
                    [](auto& c) {
                        c.exposureSource = ExposureSource::Measured;
                        c.exposureAt1m = 0;
                    },
                    Check::MeasuredExposure},
                CheckCase{"geometry_equal", [](auto& c) { c.fsd = 80; }, std::nullopt},
                CheckCase{"geometry", [](auto& c) { c.fsd = 85; }, Check::Geometry},
                CheckCase{"ffd_below_fsd", [](auto& c) { c.fsd = 120; }, Check::Geometry}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Calculate, StepsInTheirOrderAndTheEstimate) {
    Fixture f;
    auto req = Request([](auto& c) {
        c.examPart = "腹部正面";
        c.subjectThickness = 20;
    });
    std::vector<calc::Step> steps;
    auto o =
        calc::Calculate(req, f.context(), [&](calc::Step s, const auto&) { steps.push_back(s); });
    ASSERT_TRUE(o.ok()) << o.refusal->messageEn;
    using S = calc::Step;
    EXPECT_EQ(steps, (std::vector<S>{S::Checked, S::Spectrum, S::ExposureAt1m, S::Doses,
                                     S::ExamPart, S::DepthDose, S::OrganData, S::OrganDoses}));
    EXPECT_EQ(o.result.estimate, calc::EstimateStatus::Made);
    EXPECT_GT(o.result.dose.effectiveDose, 0);
    EXPECT_LT(o.result.dose.effectiveDose, o.result.dose.esdSoft);
    const auto j = nlohmann::ordered_json(o.result);
    EXPECT_EQ(j["effectiveDose"].get<double>(), o.result.dose.effectiveDose);
    EXPECT_EQ(j["organs"].size(), 16u);
    EXPECT_EQ(j["depthDose"].size(), 40u);
}

// The table of result quantities reads each quantity where the JSON output writes it, under the
// name it gives.
TEST(ResultQuantities, NamesAndValuesAsTheJsonOutput) {
    Fixture f;
    const auto o = calc::Calculate(Request([](auto& c) { c.examPart = "腹部正面"; }), f.context());
    ASSERT_TRUE(o.ok()) << o.refusal->messageEn;
    const auto j = nlohmann::ordered_json(o.result);
    ASSERT_GE(calc::ResultQuantities().size(), 16u);
    for (const calc::ResultQuantity& q : calc::ResultQuantities()) {
        const auto& v = q.quality ? j["beamQuality"][q.json] : j[q.json];
        ASSERT_TRUE(v.is_number()) << q.json;
        EXPECT_EQ(v.get<double>(), q.value(o.result)) << q.json;
        EXPECT_EQ(&calc::ResultQuantityOf(q.json), &q);
    }
}

TEST(Calculate, ThicknessCappedOnlyForAnEstimate) {
    Fixture f;
    auto capped = calc::Calculate(Request([](auto& c) {
                                      c.examPart = "腹部正面";
                                      c.ffd = 150;
                                      c.subjectThickness = 45;
                                  }),
                                  f.context());
    ASSERT_TRUE(capped.ok());
    EXPECT_EQ(capped.result.conditions.subjectThickness, 40);
    for (const char* part : {"その他", "", "足関節正面"}) {
        auto none = calc::Calculate(Request([&](auto& c) {
                                        c.examPart = part;
                                        c.ffd = 150;
                                        c.subjectThickness = 45;
                                    }),
                                    f.context());
        ASSERT_TRUE(none.ok());
        EXPECT_EQ(none.result.conditions.subjectThickness, 45) << part;
        EXPECT_EQ(none.result.dose.effectiveDose, 0);
        EXPECT_EQ(none.result.dose.esdSoft, capped.result.dose.esdSoft);
    }
}

TEST(Calculate, TypedPartWithoutDataHasNoEstimateListedPartFails) {
    Fixture f;
    auto typed = calc::Calculate(Request([](auto& c) { c.examPart = "足関節正面"; }), f.context());
    ASSERT_TRUE(typed.ok());
    EXPECT_EQ(typed.result.estimate, calc::EstimateStatus::NoOrganData);
    EXPECT_NE(typed.result.estimateNoteJa.find("足関節正面"), std::string::npos);
    EXPECT_EQ(typed.result.conditions.examPart, "足関節正面");
    f.listed.push_back("足関節正面");  // the same part in the list: its missing file is a fault
    auto listed = calc::Calculate(Request([](auto& c) { c.examPart = "足関節正面"; }), f.context());
    ASSERT_FALSE(listed.ok());
    EXPECT_EQ(listed.refusal->check, Check::RunFailed);
    EXPECT_EQ(listed.refusal->failedAfter, calc::Step::DepthDose);  // organ data come after
    EXPECT_EQ(listed.refusal->messageJa.rfind(calc::kCalcFailedJa, 0), 0u);
    EXPECT_NE(listed.refusal->messageJa.find("足関節正面.csv"), std::string::npos);
    EXPECT_GT(listed.result.dose.esdSoft, 0);  // the entrance doses were reached
    EXPECT_EQ(listed.result.dose.effectiveDose, 0);
}

// The backscatter step and the depth dose tell a circle by the field shape alone: a short side
// typed beside a diameter changes nothing.
TEST(Calculate, CircularFieldToldByItsShape) {
    Fixture f;
    auto circle = [&](double shortSide) {
        auto o = calc::Calculate(Request([&](auto& c) {
                                     c.examPart = "腹部正面";
                                     c.fieldShape = FieldShape::Circle;
                                     c.fieldLong = 20;
                                     c.fieldShort = shortSide;
                                 }),
                                 f.context());
        EXPECT_TRUE(o.ok());
        return o.result;
    };
    const auto a = circle(0), b = circle(15);
    EXPECT_EQ(a.dose.bsfSoft, b.dose.bsfSoft);
    EXPECT_EQ(a.dose.effectiveDose, b.dose.effectiveDose);
    for (long k = 1; k <= a.curve.layers; ++k) EXPECT_EQ(a.curve.total[k], b.curve.total[k]) << k;
}

TEST(Calculate, MissingKernelFileIsNamed) {
    dovex::testing::TempDir dir;
    fs::copy(DOVEX_DATA_DIR, dir.path(), fs::copy_options::recursive);
    fs::remove(dir.path() / "PDS-data" / "50.dat");
    KernelFiles kernels(dir.path());
    OrganRows rows;
    auto o = calc::Calculate(Request([](auto& c) { c.examPart = "腹部正面"; }),
                             {Tables(), dir.path(), {}, kernels, rows});
    ASSERT_FALSE(o.ok());
    EXPECT_NE(o.refusal->messageJa.find("50.dat"), std::string::npos) << o.refusal->messageJa;
    EXPECT_EQ(o.refusal->failedAfter, calc::Step::ExamPart);
}

// The drivers (the main window, dovex-calc, its batch mode) go through Calculate: none of them
// calls a computation step of the engine or the estimate itself.
TEST(Drivers, CallNoComputationStepDirectly) {
    const fs::path root = DOVEX_SOURCE_DIR;
    std::vector<fs::path> files;
    for (const char* dir : {"app", "cli"})
        for (const auto& e : fs::recursive_directory_iterator(root / dir))
            if (e.path().extension() == ".cpp" || e.path().extension() == ".h")
                files.push_back(e.path());
    const std::regex step(
        R"(\b(SynthesizeSpectrum|ComputeExposureAt1m|ComputeDoses|RunEngine|RunEffectiveDoseEstimate|ComputeDepthDose|LoadOrganData|ComputeOrganDoses|ComputeBeamQuality|CompareWithDrl)\s*\()");
    ASSERT_GT(files.size(), 10u);
    for (const fs::path& p : files) {
        std::ifstream in(p);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        std::smatch m;
        EXPECT_FALSE(std::regex_search(text, m, step)) << p << " calls " << m.str(1);
    }
}

}  // namespace
