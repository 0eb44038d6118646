// SPDX-License-Identifier: MIT
// Dose records in: reading (units, event kinds, quirks), the mapping rules, the record's own
// dose, profiles, the protocol mapping, the survey and the command line with its privacy.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "engine/kinds.h"
#include "engine/textio.h"
#include "records/process.h"
#include "tests/records/fixtures.h"
#include "tests/support/synthdata.h"

using namespace dovex;
using namespace dovex::records;
using namespace dovex::testing;

namespace {

std::vector<DoseEvent> Read(const std::string& bytes, std::vector<OtherEvent>* others = nullptr) {
    std::vector<DoseEvent> ev;
    std::vector<OtherEvent> oth;
    ReadRecordBytes(bytes, "fixture.dcm", ev, oth);
    if (others) *others = oth;
    return ev;
}

DoseEvent OneEvent(const FxEvent& e) {
    FxReport r;
    r.events = {e};
    auto ev = Read(WriteReport(r));
    EXPECT_EQ(ev.size(), 1u);
    return ev.empty() ? DoseEvent{} : ev[0];
}

FxEvent With(FxEvent e, FxNum n) {
    for (auto& x : e.nums)
        if (x.name.value == n.name.value) {
            x = n;
            return e;
        }
    e.nums.push_back(n);
    return e;
}

FxEvent Without(FxEvent e, const FxCode& c) {
    std::erase_if(e.nums, [&](const FxNum& n) { return n.name.value == c.value; });
    return e;
}

const RecordData& Data() {
    static RecordData d = [] {
        RecordData x;
        LoadRecordData(x, DOVEX_SOURCE_DATA_DIR);
        return x;
    }();
    return d;
}

MappedEvent Map(const DoseEvent& e, const std::vector<DeviceProfile>* profiles = nullptr,
                const std::vector<ProtocolRule>* protocols = nullptr) {
    MappingContext cx{DOVEX_SOURCE_DATA_DIR, &Data().standards, profiles, protocols};
    return MapEvent(e, cx);
}

const Assumption* FindAssumption(const MappedEvent& m, const std::string& item) {
    for (const auto& a : m.assumptions)
        if (a.item == item) return &a;
    return nullptr;
}

bool HasNote(const DoseEvent& e, const std::string& part) {
    for (const auto& n : e.readNotes)
        if (n.find(part) != std::string::npos) return true;
    return false;
}

}  // namespace

// ---- values converted by their unit codes ------------------------------------------------

struct UnitCase {
    const char* label;
    FxNum num;
    double DoseEvent::*dummy;  // unused
    std::function<std::optional<double>(const DoseEvent&)> get;
    double expected;
    const char* note;  // a read note the quirk leaves, or ""
};

void PrintTo(const UnitCase& c, std::ostream* os) { *os << c.label; }

class UnitConversion : public ::testing::TestWithParam<UnitCase> {};

TEST_P(UnitConversion, ValueIsConvertedByItsUnitCode) {
    const UnitCase& c = GetParam();
    FxEvent e = FxRadiograph();
    if (c.num.name.value == FxExposureTimeRetired().value) e = Without(e, FxExposureTime());
    const DoseEvent ev = OneEvent(With(e, c.num));
    const auto v = c.get(ev);
    ASSERT_TRUE(v.has_value()) << c.label;
    EXPECT_NEAR(*v, c.expected, 1e-12 * std::fabs(c.expected)) << c.label;
    if (*c.note) {
        EXPECT_TRUE(HasNote(ev, c.note)) << c.label;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, UnitConversion,
    ::testing::Values(UnitCase{"kV",
                               {FxKvp(), "81.5", "kV"},
                               nullptr,
                               [](const DoseEvent& e) { return e.kvp; },
                               81.5,
                               ""},
                      UnitCase{"uA.s",
                               {FxExposure(), "4500", "uA.s"},
                               nullptr,
                               [](const DoseEvent& e) { return e.exposureMAs; },
                               4.5,
                               ""},
                      UnitCase{"uAs quirk",
                               {FxExposure(), "1000", "uAs"},
                               nullptr,
                               [](const DoseEvent& e) { return e.exposureMAs; },
                               1.0,
                               "uAs"},
                      UnitCase{"Gym2 quirk",
                               {FxDap(), "0.00000239", "Gym2"},
                               nullptr,
                               [](const DoseEvent& e) { return e.dapGym2; },
                               2.39e-6,
                               "Gym2"},
                      UnitCase{"dGy.cm2",
                               {FxDap(), "12", "dGy.cm2"},
                               nullptr,
                               [](const DoseEvent& e) { return e.dapGym2; },
                               1.2e-4,
                               ""},
                      UnitCase{"Dose RP Gy",
                               {FxDoseRp(), "0.000035", "Gy"},
                               nullptr,
                               [](const DoseEvent& e) { return e.doseRpMGy; },
                               0.035,
                               ""},
                      UnitCase{"retired exposure time",
                               {FxExposureTimeRetired(), "2", "ms"},
                               nullptr,
                               [](const DoseEvent& e) { return e.exposureTimeMs; },
                               2,
                               "113735"},
                      UnitCase{"time in s",
                               {FxExposureTime(), "0.02", "s"},
                               nullptr,
                               [](const DoseEvent& e) { return e.exposureTimeMs; },
                               20,
                               ""},
                      UnitCase{"SID mm",
                               {FxSid(), "1148", "mm"},
                               nullptr,
                               [](const DoseEvent& e) { return e.sidCm; },
                               114.8,
                               ""}),
    [](const auto& info) {
        std::string s = info.param.label;
        for (char& ch : s)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return s;
    });

TEST(Records, EmptyNumericValueIsAbsentAndNoted) {
    const DoseEvent e = OneEvent(With(FxRadiograph(), {FxDap(), "", ""}));
    EXPECT_FALSE(e.dapGym2);
    EXPECT_TRUE(HasNote(e, "empty value"));
}

TEST(Records, UnknownUnitLeavesTheValueOut) {
    const DoseEvent e = OneEvent(With(FxRadiograph(), {FxKvp(), "80", "furlong"}));
    EXPECT_FALSE(e.kvp);
}

TEST(Records, TextsAreConvertedFromTheRecordsCharacterSet) {
    FxImage img = FxChestImage();
    img.attributes.push_back({{0x0008, 0x0005}, "ISO_IR 100"});
    img.device.manufacturer = "R\xF6ntgenwerk";
    const auto e = Read(WriteImage(img));
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].device.manufacturer, "R\xC3\xB6ntgenwerk");
    FxImage bad = FxChestImage();
    bad.device.station = "ROOM\xFF\x01";  // no character set named: not UTF-8, a control byte
    const auto b = Read(WriteImage(bad));
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].device.station.find('\xFF'), std::string::npos);
    EXPECT_EQ(b[0].device.station.find('\x01'), std::string::npos);
}

// ---- events and files --------------------------------------------------------------------

TEST(Records, SeveralEventsFluoroscopyCountedNotCalculated) {
    FxReport r;
    FxEvent fluoro = FxRadiograph();
    fluoro.type = {"P5-06000", "SRT", "Fluoroscopy"};
    r.events = {FxRadiograph(), fluoro, FxRadiograph()};
    std::vector<OtherEvent> others;
    const auto ev = Read(WriteReport(r), &others);
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].index, 1);
    EXPECT_EQ(ev[1].index, 3);
    ASSERT_EQ(others.size(), 1u);
    EXPECT_EQ(others[0].index, 2);
    EXPECT_EQ(others[0].kindText, "Fluoroscopy");
}

TEST(Records, WithAndWithoutPreambleReadAlike) {
    FxReport r;
    r.events = {FxRadiograph()};
    const auto a = Read(WriteReport(r, true));
    const auto b = Read(WriteReport(r, false));
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(a[0].kvp, b[0].kvp);
    EXPECT_EQ(a[0].device.deviceUid, "1.2.826.0.1.3680043.10.543.7");
}

struct BadFile {
    const char* label;
    std::function<std::string()> bytes;
    const char* reason;
};

void PrintTo(const BadFile& c, std::ostream* os) { *os << c.label; }

class SkippedFiles : public ::testing::TestWithParam<BadFile> {};

TEST_P(SkippedFiles, AreRefusedWithTheirReason) {
    const BadFile& c = GetParam();
    try {
        Read(c.bytes());
        FAIL() << c.label << " was read";
    } catch (const RecordError& e) {
        EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, SkippedFiles,
    ::testing::Values(
        BadFile{"text", [] { return std::string("hello, this is not DICOM at all\n"); }, "DICOM"},
        BadFile{"truncated",
                [] {
                    FxReport r;
                    r.events = {FxRadiograph()};
                    std::string b = WriteReport(r);
                    return b.substr(0, b.size() * 2 / 3);
                },
                "DICOM"},
        BadFile{"ct report",
                [] {
                    FxReport r;
                    r.ctReport = true;
                    return WriteReport(r);
                },
                "CT dose report"},
        BadFile{"image without dose",
                [] {
                    FxImage img;
                    img.attributes = {{{0x0018, 0x0015}, "CHEST"}};
                    return WriteImage(img);
                },
                "without dose attributes"},
        BadFile{"other object",
                [] {
                    FxImage img = FxChestImage();
                    img.sopClass = "1.2.840.10008.5.1.4.1.1.2";  // CT image
                    return WriteImage(img);
                },
                "neither"}),
    [](const auto& info) {
        std::string s = info.param.label;
        for (char& ch : s)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return s;
    });

// ---- filters -----------------------------------------------------------------------------

TEST(Mapping, NoFilterContainerMeansNoAddedFiltration) {
    FxEvent e = FxRadiograph();
    e.filters = {FxFilter{true, {}, {}, {}}};
    const MappedEvent m = Map(OneEvent(e));
    EXPECT_EQ(m.conditions.addedAl, 0);
    EXPECT_EQ(m.conditions.addedCu, 0);
    EXPECT_EQ(FindAssumption(m, "addedFilter"), nullptr);
}

TEST(Mapping, CopperAndAluminiumFiltersTakeTheMeanThickness) {
    FxEvent e = FxRadiograph();
    e.filters = {FxFilter{false, {"C-127F9", "SRT", "Copper"}, "0.1", "0.3"},
                 FxFilter{false, {"12503006", "SCT", "Aluminum"}, "1.0", "1.0"}};
    const MappedEvent m = Map(OneEvent(e));
    EXPECT_NEAR(m.conditions.addedCu, 0.02, 1e-12);  // cm
    EXPECT_NEAR(m.conditions.addedAl, 0.1, 1e-12);
}

TEST(Mapping, AnotherMetalBecomesTheArbitraryFilter) {
    FxEvent e = FxRadiograph();
    e.filters = {FxFilter{false, {"71128006", "SCT", "Molybdenum"}, "0.03", "0.03"}};
    const MappedEvent m = Map(OneEvent(e));
    EXPECT_EQ(m.filter.on, 1);
    EXPECT_NEAR(m.conditions.arbitraryFilterThickness, 0.003, 1e-12);
    EXPECT_FALSE(m.refusal);
}

TEST(Mapping, MissingFiltersAreAssumed) {
    const MappedEvent m = Map(OneEvent(FxRadiograph()));
    EXPECT_NE(FindAssumption(m, "addedFilter"), nullptr);
    EXPECT_NE(FindAssumption(m, "inherentFilter"), nullptr);
}

TEST(Mapping, ImageHeaderFilterTypeAndCommaJoinedLists) {
    FxImage a = FxChestImage();
    a.attributes.push_back({{0x0018, 0x1160}, "CU_0.2_MM"});
    auto ea = Read(WriteImage(a));
    ASSERT_EQ(ea.size(), 1u);
    EXPECT_NEAR(Map(ea[0]).conditions.addedCu, 0.02, 1e-12);

    FxImage b = FxChestImage();
    b.attributes.push_back({{0x0018, 0x7050}, "COPPER,ALUMINUM"});
    b.attributes.push_back({{0x0018, 0x7052}, "0.1,1.0"});
    b.attributes.push_back({{0x0018, 0x7054}, "0.1,1.0"});
    auto eb = Read(WriteImage(b));
    ASSERT_EQ(eb.size(), 1u);
    const MappedEvent m = Map(eb[0]);
    EXPECT_NEAR(m.conditions.addedCu, 0.01, 1e-12);
    EXPECT_NEAR(m.conditions.addedAl, 0.1, 1e-12);
}

TEST(Mapping, ImageHeaderDecimalWhereIntegerBelongs) {
    const auto e = Read(WriteImage(FxChestImage()));  // Exposure (IS) written "3.2"
    ASSERT_EQ(e.size(), 1u);
    EXPECT_DOUBLE_EQ(*e[0].exposureMAs, 3.2);
    EXPECT_TRUE(HasNote(e[0], "decimal"));
    const MappedEvent m = Map(e[0]);
    EXPECT_EQ(m.conditions.examPart, "胸部正面");
    EXPECT_DOUBLE_EQ(m.conditions.ffd, 180);
    EXPECT_NEAR(m.conditions.tubeCurrent * m.conditions.exposureTime, 3.2, 1e-12);
}

// ---- exam part ---------------------------------------------------------------------------

struct PartCase {
    const char* label;
    FxCode region, view;
    std::string protocol;
    const char* part;
    bool viewAssumed;
};

void PrintTo(const PartCase& c, std::ostream* os) { *os << c.label; }

class ExamParts : public ::testing::TestWithParam<PartCase> {};

TEST_P(ExamParts, RegionAndViewGiveTheExamPart) {
    const PartCase& c = GetParam();
    FxEvent e = FxRadiograph();
    if (!c.region.value.empty()) e.codes.push_back({FxTargetRegion(), c.region});
    if (!c.view.value.empty()) e.codes.push_back({FxImageView(), c.view});
    if (!c.protocol.empty()) e.texts.push_back({FxProtocol(), c.protocol});
    const MappedEvent m = Map(OneEvent(e));
    EXPECT_EQ(m.conditions.examPart, c.part) << c.label;
    EXPECT_EQ(FindAssumption(m, "view") != nullptr, c.viewAssumed) << c.label;
    const bool head = m.conditions.examPart.rfind("頭部", 0) == 0;
    EXPECT_EQ(m.conditions.phantom, head ? Phantom::Head : Phantom::Body) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Mapping, ExamParts,
    ::testing::Values(
        PartCase{"snm3_chest_ap",
                 {"T-D3000", "SNM3", "Chest"},
                 {"R-10206", "SNM3", "antero-posterior"},
                 "",
                 "胸部正面",
                 false},
        PartCase{"sct_chest_pa",
                 {"816094009", "SCT", "Chest"},
                 {"272479007", "SCT", "postero-anterior"},
                 "",
                 "胸部正面",
                 false},
        PartCase{"sct_lspine_lat",
                 {"122496007", "SCT", "Lumbar spine"},
                 {"399067008", "SCT", "lateral"},
                 "",
                 "腰椎側面",
                 false},
        PartCase{"srt_skull_lat",
                 {"T-11100", "SRT", "Skull"},
                 {"R-102CD", "SRT", "lateral"},
                 "",
                 "頭部側面",
                 false},
        PartCase{"cspine_ap",
                 {"T-11501", "SRT", "Cervical spine"},
                 {"R-10206", "SRT", "antero-posterior"},
                 "",
                 "頸椎正面",
                 false},
        PartCase{"hip_joint",
                 {"T-15710", "SNM3", "Hip joint"},
                 {"R-10206", "SNM3", "antero-posterior"},
                 "",
                 "股関節正面",
                 false},
        PartCase{"oblique",
                 {"T-11503", "SRT", "Lumbar spine"},
                 {"R-102C1", "SRT", "oblique"},
                 "",
                 "その他",
                 false},
        PartCase{"femur",
                 {"T-12710", "SNM3", "Femur"},
                 {"R-10206", "SNM3", "antero-posterior"},
                 "",
                 "その他",
                 false},
        PartCase{
            "meaning_fallback", {"X-999", "LOCAL", "Pelvis"}, {}, "Pelvis AP", "骨盤正面", false},
        PartCase{"protocol_lat", {"T-D3000", "SRT", "Chest"}, {}, "Chest LAT", "胸部側面", false},
        PartCase{"protocol_japanese",
                 {"T-D3000", "SRT", "Chest"},
                 {},
                 "胸部 側面 立位",
                 "胸部側面",
                 false},
        PartCase{"protocol_pa_dots",
                 {"T-D4000", "SRT", "Abdomen"},
                 {},
                 "Abdomen p.a.",
                 "腹部正面",
                 false},
        PartCase{"no_view_assumed", {"T-D3000", "SRT", "Chest"}, {}, "Chest", "胸部正面", true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Mapping, ProtocolMappingFileWinsOverTheCodes) {
    FxEvent e = FxRadiograph();
    e.codes.push_back({FxTargetRegion(), {"T-D3000", "SRT", "Chest"}});
    e.texts.push_back({FxProtocol(), "Thorax Sonder 2"});
    const std::string bytes = *Utf8ToCp932("# department names\r\nthorax sonder*,胸椎正面\r\n");
    const auto rules = ParseProtocolMap(bytes, "map.csv", Data().examParts);
    EXPECT_EQ(Map(OneEvent(e), nullptr, &rules).conditions.examPart, "胸椎正面");
    EXPECT_THROW(ParseProtocolMap(*Utf8ToCp932("x,足首\r\n"), "map.csv", Data().examParts),
                 DataFileError);
}

// The day of an exposure: the event's start, else the header's dates; nothing that is no date.
TEST(Reading, DateOfTheEventOrItsHeader) {
    FxReport r;
    FxEvent started = FxRadiograph(), odd = FxRadiograph();
    started.started = "20261203101500.000";
    odd.started = "20261345";
    r.events = {FxRadiograph(), started, odd};
    const auto ev = Read(WriteReport(r));
    ASSERT_EQ(ev.size(), 3u);
    EXPECT_EQ(ev[0].date, "2026-12-01");
    EXPECT_EQ(ev[1].date, "2026-12-03");
    EXPECT_EQ(ev[2].date, "2026-12-01");
    EXPECT_EQ(Read(WriteImage(FxChestImage()))[0].date, "2026-12-02");
    r.studyDate = "1.12.2026";
    EXPECT_EQ(Read(WriteReport(r))[0].date, "");
}

// What the window's profile dialog writes, the profile reader reads back as it was; a cell the
// file cannot hold is refused before anything is written.
TEST(Profiles, WrittenFileReadsBackAndRefusesWhatItCannotHold) {
    DeviceProfile a;
    a.name = "#1 撮影室, 立位 ";
    a.station = "ROOM1";
    a.inherentMmAl = 2.7;
    a.addedMmCu = 0.1;
    a.rectification = Rectification::ThreePhase12Pulse;
    a.gapErectCm = 4.5;
    a.outputFactor = 0.853;
    DeviceProfile b;
    b.manufacturer = "ACME \"X\"";
    b.model = "RadOne";
    b.serial = "SN42";
    const auto back = ParseProfiles(ProfileFileBytes({a, b}), "p.csv");
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].name, a.name);
    EXPECT_EQ(back[0].inherentMmAl, a.inherentMmAl);
    EXPECT_EQ(back[0].addedMmCu, a.addedMmCu);
    EXPECT_FALSE(back[0].addedMmAl);
    EXPECT_EQ(back[0].rectification, a.rectification);
    EXPECT_EQ(back[0].gapErectCm, a.gapErectCm);
    EXPECT_EQ(back[0].outputFactor, a.outputFactor);
    EXPECT_EQ(back[1].manufacturer, b.manufacturer);
    // A unit without a name is named as the survey names it.
    b.name = "ACME \"X\" RadOne SN42";
    EXPECT_EQ(ProfileCells(back[1]), ProfileCells(b));

    TempDir dir;
    const auto file = dir.path() / "p.csv";
    WriteProfiles(file, {a});
    const std::string before = ReadFileBytes(file);
    DeviceProfile broken = a;
    broken.station = "ROOM\n2";
    EXPECT_THROW(WriteProfiles(file, {a, broken}), DataFileError);
    broken.station = "部屋😀";
    EXPECT_THROW(WriteProfiles(file, {broken}), DataFileError);
    broken.station = "ROOM2";
    broken.targetAngle = 90;  // outside what the reader takes
    EXPECT_THROW(WriteProfiles(file, {broken}), DataFileError);
    EXPECT_EQ(ReadFileBytes(file), before);
    // A control character in a cell is no unit's name: the reader refuses it as the writer does.
    EXPECT_THROW(ParseProfiles(*Utf8ToCp932("名称,ステーション名\r\nA\x01"
                                            "B,ROOM1\r\n"),
                               "p.csv"),
                 DataFileError);
}

// The window shows every assumption and refusal in Japanese: the mapping gives a Japanese text
// for each, whatever the event lacks.
TEST(Mapping, EveryAssumptionAndRefusalHasItsJapaneseText) {
    FxEvent noTime = Without(Without(FxRadiograph(), FxTubeCurrent()), FxExposureTime());
    FxEvent odd = With(FxRadiograph(), {FxExposureTime(), "35", "ms"});
    odd.filters = {FxFilter{false, {"71128006", "SCT", "Molybdenum"}, "0.03", "0.03"},
                   FxFilter{false, {"C-127F9", "SRT", "Copper"}, "0.1", "0.1"}};
    const FxEvent events[] = {
        FxRadiograph(),
        noTime,
        Without(Without(FxRadiograph(), FxTubeCurrent()), FxExposure()),
        odd,
        Without(FxRadiograph(), FxKvp()),
        Without(Without(FxRadiograph(), FxExposure()), FxTubeCurrent()),
        With(FxRadiograph(), {FxSid(), "5", "mm"}),
        With(FxRadiograph(), {FxFieldHeight(), "3000", "mm"}),
    };
    int assumptions = 0, refusals = 0;
    for (const FxEvent& e : events) {
        const MappedEvent m = Map(OneEvent(e));
        for (const Assumption& a : m.assumptions) {
            EXPECT_FALSE(a.textJa.empty()) << a.item;
            ++assumptions;
        }
        if (m.refusal) {
            EXPECT_FALSE(m.refusal->messageJa.empty()) << m.refusal->check;
            ++refusals;
        }
    }
    EXPECT_GE(assumptions, 20);
    EXPECT_GE(refusals, 3);
}

// ---- time, distances, thickness, field ---------------------------------------------------

TEST(Mapping, TimeIsExposureOverCurrentAndADisagreementIsListed) {
    const MappedEvent ok = Map(OneEvent(FxRadiograph()));
    EXPECT_NEAR(ok.conditions.exposureTime, 0.02, 1e-12);
    EXPECT_EQ(FindAssumption(ok, "exposureTime"), nullptr);
    const MappedEvent bad = Map(OneEvent(With(FxRadiograph(), {FxExposureTime(), "30", "ms"})));
    EXPECT_NEAR(bad.conditions.exposureTime, 0.02, 1e-12);  // 5 mAs / 250 mA
    ASSERT_NE(FindAssumption(bad, "exposureTime"), nullptr);
}

TEST(Mapping, FsdFromStandardThicknessAndGapIsAnAssumption) {
    FxEvent e = FxRadiograph();
    e.codes.push_back({FxTargetRegion(), {"T-D4000", "SRT", "Abdomen"}});
    e.codes.push_back({FxImageView(), {"R-10206", "SRT", "antero-posterior"}});
    const MappedEvent m = Map(OneEvent(e));
    const StandardPatient* s = nullptr;
    for (const auto& p : Data().standards)
        if (p.examPart == "腹部正面") s = &p;
    ASSERT_NE(s, nullptr);
    EXPECT_DOUBLE_EQ(m.conditions.subjectThickness, s->thicknessCm);
    EXPECT_NEAR(m.conditions.fsd, 110 - s->thicknessCm - s->receptorGapCm, 1e-9);
    EXPECT_NE(FindAssumption(m, "fsd"), nullptr);
    EXPECT_NE(FindAssumption(m, "subjectThickness"), nullptr);
    EXPECT_DOUBLE_EQ(m.conditions.fieldLong, s->fieldLongCm);
}

TEST(Mapping, RecordedThicknessAndEntranceDistanceAreTaken) {
    FxImage img = FxChestImage();
    img.attributes.push_back({{0x0018, 0x11A0}, "235"});   // body part thickness, mm
    img.attributes.push_back({{0x0040, 0x0306}, "1540"});  // source to entrance, mm
    const auto e = Read(WriteImage(img));
    const MappedEvent m = Map(e.at(0));
    EXPECT_DOUBLE_EQ(m.conditions.subjectThickness, 23.5);
    EXPECT_DOUBLE_EQ(m.conditions.fsd, 154);
    EXPECT_EQ(FindAssumption(m, "fsd"), nullptr);
}

TEST(Mapping, EquivalentThicknessBeforeTheStandard) {
    const MappedEvent m =
        Map(OneEvent(With(FxRadiograph(), {FxEquivalentThickness(), "245", "mm"})));
    EXPECT_DOUBLE_EQ(m.conditions.subjectThickness, 24.5);
}

TEST(Mapping, CollimatedFieldIsTaken) {
    FxEvent e = With(FxRadiograph(), {FxFieldHeight(), "300", "mm"});
    e = With(e, {FxFieldWidth(), "240", "mm"});
    const MappedEvent m = Map(OneEvent(e));
    EXPECT_DOUBLE_EQ(m.conditions.fieldLong, 30);
    EXPECT_DOUBLE_EQ(m.conditions.fieldShort, 24);
    EXPECT_EQ(FindAssumption(m, "field"), nullptr);
}

TEST(Mapping, DoseInTheDetectorPlaneGivesFieldAndRecordKerma) {
    FxEvent e = With(FxRadiograph(), {FxDap(), "0.0000082", "Gy.m2"});
    e = With(e, {FxDoseRp(), "0.0000569", "Gy"});
    e.codes.push_back({FxReferencePoint(), FxInDetectorPlane()});
    const MappedEvent m = Map(OneEvent(e));
    const double areaCm2 = 0.0000082 / 0.0000569 * 1e4;
    EXPECT_NEAR(m.conditions.fieldLong * m.conditions.fieldShort, areaCm2, 1e-9);
    ASSERT_TRUE(m.recordKerma);
    const double ratio = 110 / m.conditions.fsd;
    EXPECT_NEAR(m.recordKerma->mGy, 0.0569 * ratio * ratio, 1e-12);
}

// ---- refusals ----------------------------------------------------------------------------

struct RefusalCase {
    const char* label;
    std::function<FxEvent()> event;
    const char* check;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.label; }

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, EventIsRefusedNamingFileEventAndItem) {
    const RefusalCase& c = GetParam();
    const DoseEvent ev = OneEvent(c.event());
    const EventOutcome o = ProcessEvent(ev, Data(), DOVEX_SOURCE_DATA_DIR, {});
    ASSERT_TRUE(o.refusal) << c.label;
    EXPECT_EQ(o.refusal->check, c.check);
    EXPECT_NE(o.refusal->message.find("fixture.dcm event 1"), std::string::npos);
    EXPECT_FALSE(o.result);
}

INSTANTIATE_TEST_SUITE_P(
    Mapping, Refusals,
    ::testing::Values(RefusalCase{"sid_11_5_mm",
                                  [] {
                                      return With(FxRadiograph(), {FxSid(), "11.5", "mm"});
                                  },
                                  "sid"},
                      RefusalCase{"no_kv", [] { return Without(FxRadiograph(), FxKvp()); }, "kvp"},
                      RefusalCase{"kv_200",
                                  [] {
                                      return With(FxRadiograph(), {FxKvp(), "200", "kV"});
                                  },
                                  "kv"},
                      RefusalCase{"no_mas",
                                  [] {
                                      return Without(Without(FxRadiograph(), FxExposure()),
                                                     FxTubeCurrent());
                                  },
                                  "exposure"}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- profiles ----------------------------------------------------------------------------

TEST(Profiles, MatchByUidThenSerialThenStation) {
    DeviceData d{"ACME", "RadOne", "SN42", "ROOM1", "1.2.3"};
    std::vector<DeviceProfile> p(3);
    p[0].name = "by station";
    p[0].station = "room1";
    p[1].name = "by serial";
    p[1].manufacturer = "acme";
    p[1].model = "RadOne";
    p[1].serial = "SN42";
    p[2].name = "by uid";
    p[2].deviceUid = "1.2.3";
    EXPECT_EQ(MatchProfile(p, d)->name, "by uid");
    d.deviceUid = "9.9";
    EXPECT_EQ(MatchProfile(p, d)->name, "by serial");
    d.serial = "other";
    EXPECT_EQ(MatchProfile(p, d)->name, "by station");
    d.station = "elsewhere";
    EXPECT_EQ(MatchProfile(p, d), nullptr);
}

TEST(Profiles, FileSetsTheUnitAndItsOutputFactorScalesTheDose) {
    const std::string text =
        "名称,ステーション名,固有フィルタ mmAl,ターゲット角度,整流方式,臥位 受像面間隔 cm,"
        "出力係数\r\n"
        "第1撮影室,ROOM1,2.8,16,定電圧,6,2\r\n";
    const auto profiles = ParseProfiles(*Utf8ToCp932(text), "profiles.csv");
    ASSERT_EQ(profiles.size(), 1u);
    const DoseEvent ev = OneEvent(FxRadiograph());
    const MappedEvent m = Map(ev, &profiles);
    EXPECT_EQ(m.profile, "第1撮影室");
    EXPECT_NEAR(m.conditions.inherentFilter, 0.28, 1e-12);
    EXPECT_DOUBLE_EQ(m.conditions.targetAngle, 16);
    EXPECT_EQ(FindAssumption(m, "targetAngle"), nullptr);

    RecordData with;
    LoadRecordData(with, DOVEX_SOURCE_DATA_DIR);
    const EventOutcome plain =
        ProcessEvent(ev, with, DOVEX_SOURCE_DATA_DIR, ProcessOptions{DoseSource::Model, false});
    with.profiles = profiles;
    const EventOutcome doubled = ProcessEvent(ev, with, DOVEX_SOURCE_DATA_DIR, {});
    ASSERT_TRUE(plain.result && doubled.result);
    // The same beam with the profile's filtration and angle, but twice the output: compare with
    // the profile's conditions at factor 1.
    with.profiles[0].outputFactor = 1;
    const EventOutcome single = ProcessEvent(ev, with, DOVEX_SOURCE_DATA_DIR, {});
    ASSERT_TRUE(single.result);
    EXPECT_NEAR(doubled.result->dose.esdAir / single.result->dose.esdAir, 2, 1e-9);
    EXPECT_THROW(ParseProfiles(*Utf8ToCp932("名称,色\r\n"), "p.csv"), DataFileError);
    EXPECT_THROW(ParseProfiles(*Utf8ToCp932("名称,ステーション名,出力係数\r\nA,R,-1\r\n"), "p.csv"),
                 DataFileError);
}

// ---- the record's own dose ---------------------------------------------------------------

TEST(RecordDose, RecordSourceReproducesTheRecordsKerma) {
    FxEvent e = With(FxRadiograph(), {FxDap(), "0.0000082", "Gy.m2"});
    e = With(e, {FxDoseRp(), "0.0000569", "Gy"});
    e.codes.push_back({FxReferencePoint(), FxInDetectorPlane()});
    const DoseEvent ev = OneEvent(e);
    const EventOutcome model = ProcessEvent(ev, Data(), DOVEX_SOURCE_DATA_DIR, {});
    ASSERT_TRUE(model.result && model.recordDose);
    const double programKerma = model.result->dose.esdAir / model.result->dose.bsfAir;
    EXPECT_NEAR(model.recordDose->ratio, model.recordDose->esakMGy / programKerma, 1e-12);
    const EventOutcome rec =
        ProcessEvent(ev, Data(), DOVEX_SOURCE_DATA_DIR, ProcessOptions{DoseSource::Record, true});
    ASSERT_TRUE(rec.result);
    EXPECT_EQ(rec.result->conditions.exposureSource, ExposureSource::Measured);
    EXPECT_NEAR(rec.result->dose.esdAir / rec.result->dose.bsfAir, rec.recordDose->esakMGy,
                1e-9 * rec.recordDose->esakMGy);
}

// ---- survey ------------------------------------------------------------------------------

TEST(Survey, QuartilesInterpolateBetweenRanks) {
    const Spread s = SpreadOf({4, 1, 3, 2});
    EXPECT_EQ(s.n, 4);
    EXPECT_DOUBLE_EQ(s.q1, 1.75);
    EXPECT_DOUBLE_EQ(s.median, 2.5);
    EXPECT_DOUBLE_EQ(s.q3, 3.25);
    EXPECT_EQ(SpreadOf({}).n, 0);
}

TEST(Survey, GroupsByUnitAndPartAndComparesTheMedianWithTheLevel) {
    std::vector<SurveyInput> in;
    for (double esd : {0.2, 0.3, 0.5}) in.push_back({"A", "胸部正面", esd, {}, 1e-5, 90, 2, 0.8});
    in.push_back({"B", "胸部正面", 1.0, {}, {}, 90, 2, {}});
    const auto rows = BuildSurvey(in, &*Data().drl);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].unit, "A");
    EXPECT_EQ(rows[0].events, 3);
    EXPECT_DOUBLE_EQ(rows[0].esdAir.median, 0.3);
    ASSERT_TRUE(rows[0].drl.hasLevel);
    EXPECT_DOUBLE_EQ(rows[0].drl.percent, 100 * 0.3 / rows[0].drl.valueMGy);
    EXPECT_EQ(rows[1].dap.n, 0);
    EXPECT_DOUBLE_EQ(rows[0].recordRatio.median, 0.8);
    EXPECT_EQ(rows[1].recordRatio.n, 0);
    const std::string csv = Cp932ToUtf8(SurveyFileBytes(rows));
    EXPECT_EQ(SplitLines(csv).size(), 3u);
    EXPECT_EQ(csv.rfind("装置,撮影部位,件数,入射表面線量 mGy 件数", 0), 0u);
    EXPECT_NE(csv.find("\r\n"), std::string::npos);
}

// ---- the command line --------------------------------------------------------------------

namespace {

struct CalcRun {
    int status = -1;
    std::string out, err;
};

CalcRun Calc(const std::string& args, const std::filesystem::path& dir) {
    CalcRun r;
    const std::string errFile = (dir / "stderr.txt").string();
    const std::string cmd =
        std::string(DOVEX_CALC) + " --data-dir " DOVEX_SOURCE_DATA_DIR " " + args + " 2>" + errFile;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream e(errFile);
    std::stringstream s;
    s << e.rdbuf();
    r.err = s.str();
    return r;
}

std::string FileText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(DicomCommand, NoOutputHoldsPatientNameIdOrBirthDate) {
    TempDir dir;
    FxReport r;
    FxEvent e = FxRadiograph();
    e.codes.push_back({FxTargetRegion(), {"T-D3000", "SRT", "Chest"}});
    r.events = {e, With(FxRadiograph(), {FxSid(), "11.5", "mm"})};
    const std::filesystem::path in = dir.path() / "records";
    std::filesystem::create_directories(in / "sub");
    WriteBytes(in / "report.dcm", WriteReport(r));
    WriteBytes(in / "sub" / "image.dcm", WriteImage(FxChestImage(), false));
    WriteBytes(in / "notes.txt", "not a record");
    const CalcRun run =
        Calc("--dicom " + in.string() + " --json --out " + (dir.path() / "res.csv").string() +
                 " --survey " + (dir.path() / "survey.csv").string(),
             dir.path());
    EXPECT_EQ(run.status, 1) << run.err;  // one refused event, one skipped file
    const std::string all = run.out + run.err + FileText(dir.path() / "res.csv") +
                            Cp932ToUtf8(FileText(dir.path() / "survey.csv"));
    ASSERT_FALSE(run.out.empty());
    for (const char* secret : {"Yamada", "Taro", "PID-987654", "19700102", "1970-01-02"})
        EXPECT_EQ(all.find(secret), std::string::npos) << secret;
    const auto j = nlohmann::json::parse(run.out);
    EXPECT_EQ(j["events"].size(), 3u);
    EXPECT_EQ(j["summary"]["computed"], 2);
    EXPECT_EQ(j["summary"]["refused"], 1);
    EXPECT_EQ(j["summary"]["filesSkipped"], 1);
    EXPECT_EQ(j["events"][0]["record"]["patient"]["sex"], "M");
    EXPECT_EQ(j["events"][0]["record"]["patient"]["weightKg"], 65.0);
    EXPECT_NE(run.err.find("radiographs computed"), std::string::npos);
    EXPECT_NE(run.err.find("notes.txt: skipped"), std::string::npos);
    EXPECT_FALSE(j["survey"].empty());
    EXPECT_NE(FileText(dir.path() / "res.csv").find("80"), std::string::npos);
}

TEST(DicomCommand, ExitZeroWhenEveryRadiographIsComputed) {
    TempDir dir;
    WriteBytes(dir.path() / "image.dcm", WriteImage(FxChestImage()));
    const CalcRun run =
        Calc("--no-estimate --dicom " + (dir.path() / "image.dcm").string(), dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("1 radiographs computed, 0 refused"), std::string::npos) << run.err;
    EXPECT_EQ(Calc("--dicom " + dir.path().string() + " --kv 80", dir.path()).status, 2);
    EXPECT_EQ(Calc("--out " + (dir.path() / "x.csv").string(), dir.path()).status, 2);
}
