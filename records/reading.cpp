// SPDX-License-Identifier: MIT
#include "records/reading.h"

// DCMTK's headers first: they set up their own configuration.
#include <dcmtk/config/osconfig.h>
// clang-format off
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmsr/codes/dcm.h>
#include <dcmtk/oflog/oflog.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <cmath>
#include <mutex>
#include <set>

#include "engine/textio.h"

namespace dovex::records {
namespace {

// DCMTK's logger writes parsing warnings to standard error, and a warning may quote a value of
// the file; nothing of a record may reach the output but what this library chooses, so the
// logger is silenced once.
void SilenceDcmtk() {
    static std::once_flag once;
    std::call_once(once, [] { OFLog::configure(OFLogger::OFF_LOG_LEVEL); });
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(std::string s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    return s.substr(i);
}

// A decimal number of a record; nullopt for empty or non-numeric text and non-finite values.
std::optional<double> Number(const std::string& text) {
    std::string t = Trim(text);
    if (t.empty()) return std::nullopt;
    if (t.front() == '+') t.erase(0, 1);
    double v = 0;
    const char* end = ReadPlainDecimal(t.data(), t.data() + t.size(), &v);
    if (!end || end != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// The values of a multi-valued text: split at backslashes and, as some units write them, commas.
std::vector<std::string> SplitValues(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : text) {
        if (c == '\\' || c == ',') {
            out.push_back(Trim(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(Trim(cur));
    if (out.size() == 1 && out[0].empty()) out.clear();
    return out;
}

// Valid UTF-8 of a record's text: bytes that are no UTF-8 (a character set that could not be
// converted) become '?', control characters a blank.
std::string CleanUtf8(const std::string& s) {
    std::string out;
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80             ? 1
                              : (c & 0xE0) == 0xC0 ? 2
                              : (c & 0xF0) == 0xE0 ? 3
                              : (c & 0xF8) == 0xF0 ? 4
                                                   : 0;
        bool ok = n > 0 && i + n <= s.size() && !(n == 2 && c < 0xC2);
        for (std::size_t k = 1; ok && k < n; ++k)
            ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        if (n == 1 && (c < 0x20 || c == 0x7F))
            out += ' ';
        else
            out.append(s, i, n);
        i += n;
    }
    return out;
}

std::string Text(DcmItem& item, const DcmTagKey& tag) {
    OFString s;
    if (item.findAndGetOFStringArray(tag, s, OFFalse).bad()) return {};
    return Trim(CleanUtf8(std::string(s.c_str(), s.length())));
}

std::optional<double> Decimal(DcmItem& item, const DcmTagKey& tag) {
    const std::vector<std::string> v = SplitValues(Text(item, tag));
    if (v.empty()) return std::nullopt;
    return Number(v[0]);
}

Code CodeOfItem(DcmItem& item) {
    Code c;
    c.value = Text(item, DCM_CodeValue);
    if (c.value.empty()) c.value = Text(item, DCM_LongCodeValue);
    if (c.value.empty()) c.value = Text(item, DCM_URNCodeValue);
    c.scheme = Text(item, DCM_CodingSchemeDesignator);
    c.meaning = Text(item, DCM_CodeMeaning);
    return c;
}

// The first item of a code sequence.
Code CodeIn(DcmItem& item, const DcmTagKey& seqTag) {
    DcmItem* sub = nullptr;
    if (item.findAndGetSequenceItem(seqTag, sub, 0).bad() || !sub) return {};
    return CodeOfItem(*sub);
}

bool Is(const Code& c, const DSRBasicCodedEntry& e) {
    return c.value == e.CodeValue.c_str() && c.scheme == e.CodingSchemeDesignator.c_str();
}

// One content item of a structured report.
struct Node {
    DcmItem* item = nullptr;
    std::string type;  // value type
    Code name;
};

Node NodeOf(DcmItem* item) {
    Node n;
    n.item = item;
    n.type = Text(*item, DCM_ValueType);
    n.name = CodeIn(*item, DCM_ConceptNameCodeSequence);
    return n;
}

std::vector<Node> Children(DcmItem& item) {
    std::vector<Node> out;
    DcmSequenceOfItems* seq = nullptr;
    if (item.findAndGetSequence(DCM_ContentSequence, seq).bad() || !seq) return out;
    for (unsigned long i = 0; i < seq->card(); ++i)
        if (DcmItem* it = seq->getItem(i)) out.push_back(NodeOf(it));
    return out;
}

// Every node below `item` (depth first) whose name is `e`; the nesting is bounded so that a
// malformed file cannot recurse without end.
void FindAll(DcmItem& item, const DSRBasicCodedEntry& e, std::vector<Node>& out, int depth = 0) {
    if (depth > 32) return;
    for (Node& n : Children(item)) {
        if (Is(n.name, e)) out.push_back(n);
        FindAll(*n.item, e, out, depth + 1);
    }
}

struct Measured {
    std::optional<double> value;
    std::string unit;  // UCUM code value
};

Measured NumOf(const Node& n) {
    Measured m;
    DcmItem* mv = nullptr;
    if (n.item->findAndGetSequenceItem(DCM_MeasuredValueSequence, mv, 0).bad() || !mv) return m;
    m.value = Number(Text(*mv, DCM_NumericValue));
    m.unit = CodeIn(*mv, DCM_MeasurementUnitsCodeSequence).value;
    return m;
}

// Unit conversions: factor to the target unit for each spelling a record may carry.
struct UnitFactor {
    const char* unit;
    double factor;
};

std::optional<double> Convert(const Measured& m, std::initializer_list<UnitFactor> units,
                              const std::string& item, std::vector<std::string>& notes) {
    if (!m.value) {
        notes.push_back(item + ": empty value, left out");
        return std::nullopt;
    }
    for (const UnitFactor& u : units)
        if (m.unit == u.unit) return *m.value * u.factor;
    notes.push_back(item + ": unit \"" + m.unit + "\" not known, value left out");
    return std::nullopt;
}

constexpr std::initializer_list<UnitFactor> kKv = {{"kV", 1}, {"V", 1e-3}};
constexpr std::initializer_list<UnitFactor> kMa = {{"mA", 1}, {"uA", 1e-3}, {"A", 1e3}};
constexpr std::initializer_list<UnitFactor> kMs = {{"ms", 1}, {"s", 1e3}, {"us", 1e-3}};
constexpr std::initializer_list<UnitFactor> kMas = {
    {"uA.s", 1e-3}, {"uAs", 1e-3}, {"mA.s", 1}, {"mAs", 1}, {"A.s", 1e3}};
constexpr std::initializer_list<UnitFactor> kDap = {
    {"Gy.m2", 1},     {"Gym2", 1},      {"dGy.cm2", 1e-5}, {"cGy.cm2", 1e-6}, {"mGy.cm2", 1e-7},
    {"uGy.m2", 1e-6}, {"mGy.m2", 1e-3}, {"Gy.cm2", 1e-4},  {"uGy.cm2", 1e-10}};
constexpr std::initializer_list<UnitFactor> kMGy = {
    {"Gy", 1e3}, {"mGy", 1}, {"uGy", 1e-3}, {"dGy", 1e2}, {"cGy", 10}};
constexpr std::initializer_list<UnitFactor> kCm = {{"mm", 0.1}, {"cm", 1}, {"m", 100}};
constexpr std::initializer_list<UnitFactor> kCm2 = {{"cm2", 1}, {"mm2", 0.01}, {"m2", 1e4}};

// Notes for spellings a unit writes outside UCUM.
void NoteUnitSpelling(const Measured& m, const std::string& item, std::vector<std::string>& notes) {
    if (m.unit == "Gym2") notes.push_back(item + ": unit \"Gym2\" read as Gy.m2");
    if (m.unit == "uAs") notes.push_back(item + ": unit \"uAs\" read as uA.s");
    if (m.unit == "mAs") notes.push_back(item + ": unit \"mAs\" read as mA.s");
}

// Filter materials: the codes of the X-ray filter material context group (SNOMED CT, and the
// SNOMED RT codes of aluminium and copper that earlier records carry), else the meaning text.
std::string FilterSymbolOf(const Code& c) {
    struct M {
        const char* sct;
        const char* srt;
        const char* word;
        const char* symbol;
    };
    static const M kMaterials[] = {
        {"12503006", "C-120F9", "alumin", "Al"},
        {"66925006", "C-127F9", "copper", "Cu"},
        {"71128006", "", "molybdenum", "Mo"},
        {"59801003", "", "rhodium", "Rh"},
        {"767776000", "", "niobium", "Nb"},
        {"88488004", "", "lead", "Pb"},
        {"45215009", "", "tantalum", "Ta"},
        {"41967008", "", "silver", "Ag"},
        {"12597001", "", "tin", "Sn"},
        {"", "", "tungsten", "W"},
        {"", "", "erbium", "Er"},
        {"", "", "gadolinium", "Gd"},
    };
    for (const M& m : kMaterials) {
        if (c.scheme == "SCT" && c.value == m.sct) return m.symbol;
        if ((c.scheme == "SRT" || c.scheme == "SNM3") && *m.srt && c.value == m.srt)
            return m.symbol;
    }
    const std::string t = Lower(c.meaning.empty() ? c.value : c.meaning);
    for (const M& m : kMaterials)
        if (t.find(m.word) != std::string::npos) return m.symbol;
    return {};
}

// Filter material words of image headers ("ALUMINUM", "COPPER", "CU", "AL", "MOLYBDENUM").
std::string FilterSymbolOfWord(const std::string& word) {
    const std::string w = Lower(Trim(word));
    static const std::pair<const char*, const char*> kShort[] = {
        {"al", "Al"}, {"cu", "Cu"}, {"mo", "Mo"}, {"rh", "Rh"}, {"ag", "Ag"}, {"pb", "Pb"},
        {"sn", "Sn"}, {"nb", "Nb"}, {"ta", "Ta"}, {"w", "W"},   {"er", "Er"}, {"gd", "Gd"}};
    for (const auto& [s, sym] : kShort)
        if (w == s) return sym;
    return FilterSymbolOf(Code{"", "", word});
}

EventKind KindOf(const Code& type) {
    if (Is(type, CODE_DCM_StationaryAcquisition_113611)) return EventKind::Radiograph;
    // Fluoroscopy: SNOMED RT P5-06000, SNOMED CT 44491008 (irradiation event types).
    if ((type.value == "P5-06000" && (type.scheme == "SRT" || type.scheme == "SNM3")) ||
        (type.value == "44491008" && type.scheme == "SCT") ||
        Lower(type.meaning).find("fluoro") != std::string::npos)
        return EventKind::Fluoroscopy;
    return EventKind::Other;
}

ReferencePoint ReferencePointOf(const Code& c, const std::string& text) {
    if (Is(c, CODE_DCM_InDetectorPlane)) return ReferencePoint::DetectorPlane;
    if (Is(c, CODE_DCM_15cmFromIsocenterTowardSource)) return ReferencePoint::IsocenterMinus15cm;
    const std::string t = Lower(c.meaning.empty() ? text : c.meaning);
    if (t.empty()) return ReferencePoint::Unknown;
    if (t.find("detector") != std::string::npos || t.find("receptor") != std::string::npos)
        return ReferencePoint::DetectorPlane;
    if (t.find("entrance") != std::string::npos || t.find("skin") != std::string::npos)
        return ReferencePoint::Entrance;
    return ReferencePoint::Other;
}

// Patient data of the header: sex, age, size, weight (never name, ID or birth date).
PatientData PatientOf(DcmItem& ds) {
    PatientData p;
    const std::string sex = Text(ds, DCM_PatientSex);
    if (sex == "M" || sex == "F" || sex == "O") p.sex = sex;
    const std::string age = Text(ds, DCM_PatientAge);  // "045Y", "006M", "003W", "010D"
    if (age.size() == 4) {
        if (auto n = Number(age.substr(0, 3))) {
            const char u = age[3];
            const double years = u == 'Y'   ? *n
                                 : u == 'M' ? *n / 12
                                 : u == 'W' ? *n / 52.1775
                                 : u == 'D' ? *n / 365.25
                                            : -1;
            if (years >= 0) p.ageYears = years;
        }
    }
    if (auto s = Decimal(ds, DCM_PatientSize); s && *s > 0) p.sizeM = *s;
    if (auto w = Decimal(ds, DCM_PatientWeight); w && *w > 0) p.weightKg = *w;
    if (auto t = Decimal(ds, DCM_BodyPartThickness); t && *t > 0) p.thicknessCm = *t / 10;
    return p;
}

DeviceData DeviceOfHeader(DcmItem& ds) {
    DeviceData d;
    d.manufacturer = Text(ds, DCM_Manufacturer);
    d.model = Text(ds, DCM_ManufacturerModelName);
    d.serial = Text(ds, DCM_DeviceSerialNumber);
    d.station = Text(ds, DCM_StationName);
    d.deviceUid = Text(ds, DCM_DeviceUID);
    return d;
}

std::string TextOf(const Node& n) {
    if (n.type == "TEXT") return Text(*n.item, DCM_TextValue);
    if (n.type == "DATETIME") return Text(*n.item, DCM_DateTime);
    if (n.type == "UIDREF") return Text(*n.item, DCM_UID);
    if (n.type == "CODE") return CodeIn(*n.item, DCM_ConceptCodeSequence).meaning;
    return {};
}

// "YYYY-MM-DD" of a DICOM date or date-time ("YYYYMMDD...", also the old "YYYY.MM.DD"); empty
// for anything else.
std::string IsoDate(std::string t) {
    t.erase(std::remove(t.begin(), t.end(), '.'), t.end());
    if (t.size() < 8 ||
        !std::all_of(t.begin(), t.begin() + 8, [](char ch) { return ch >= '0' && ch <= '9'; }))
        return {};
    const int month = std::stoi(t.substr(4, 2)), day = std::stoi(t.substr(6, 2));
    if (month < 1 || month > 12 || day < 1 || day > 31) return {};
    return t.substr(0, 4) + "-" + t.substr(4, 2) + "-" + t.substr(6, 2);
}

// The header's date of the exposure: acquisition, else content, else study date.
std::string HeaderDate(DcmDataset& ds) {
    for (const DcmTagKey& k : {DCM_AcquisitionDate, DCM_ContentDate, DCM_StudyDate})
        if (std::string d = IsoDate(Text(ds, k)); !d.empty()) return d;
    return {};
}

// (minimum + maximum) / 2, or the one of them that is recorded.
double MeanThickness(std::optional<double> lo, std::optional<double> hi) {
    const double a = lo.value_or(hi.value_or(0));
    const double b = hi.value_or(a);
    return (a + b) / 2;
}

// The filters of one "X-Ray Filters" container.
void ReadFilterContainer(const Node& box, DoseEvent& e) {
    e.filtersRecorded = true;
    std::string symbol;
    std::optional<double> lo, hi;
    bool none = false;
    for (const Node& n : Children(*box.item)) {
        if (Is(n.name, CODE_DCM_XRayFilterType)) {
            const Code t = CodeIn(*n.item, DCM_ConceptCodeSequence);
            if (Is(t, CODE_DCM_NoFilter)) none = true;
        } else if (Is(n.name, CODE_DCM_XRayFilterMaterial)) {
            const Code m = CodeIn(*n.item, DCM_ConceptCodeSequence);
            symbol = FilterSymbolOf(m);
            if (symbol.empty()) symbol = m.meaning.empty() ? m.value : m.meaning;
        } else if (Is(n.name, CODE_DCM_XRayFilterThicknessMinimum)) {
            lo = Convert(NumOf(n), {{"mm", 1}, {"cm", 10}, {"um", 1e-3}},
                         "X-Ray Filter Thickness Minimum", e.readNotes);
        } else if (Is(n.name, CODE_DCM_XRayFilterThicknessMaximum)) {
            hi = Convert(NumOf(n), {{"mm", 1}, {"cm", 10}, {"um", 1e-3}},
                         "X-Ray Filter Thickness Maximum", e.readNotes);
        }
    }
    if (none) return;
    if (symbol.empty() && !lo && !hi) return;
    if (!lo && !hi) {
        e.unknownFilters.push_back(symbol + " without a thickness");
        return;
    }
    const double mm = MeanThickness(lo, hi);
    if (symbol.empty()) {
        e.unknownFilters.push_back("a filter of unrecorded material");
        return;
    }
    e.filters.push_back({symbol, mm});
}

// One "Irradiation Event X-Ray Data" container.
DoseEvent ReadEvent(const Node& box, const DoseEvent& report) {
    DoseEvent e = report;
    e.readNotes.clear();
    std::optional<double> time, retiredTime;
    for (const Node& n : Children(*box.item)) {
        const Code& c = n.name;
        auto num = [&](std::initializer_list<UnitFactor> u) {
            const Measured m = NumOf(n);
            NoteUnitSpelling(m, c.meaning, e.readNotes);
            return Convert(m, u, c.meaning, e.readNotes);
        };
        if (Is(c, CODE_DCM_IrradiationEventType)) {
            const Code t = CodeIn(*n.item, DCM_ConceptCodeSequence);
            e.kind = KindOf(t);
            e.kindText = t.meaning;
        } else if (Is(c, CODE_DCM_IrradiationEventUID)) {
            e.eventUid = Text(*n.item, DCM_UID);
        } else if (Is(c, CODE_DCM_AcquisitionProtocol)) {
            e.protocol = TextOf(n);
        } else if (Is(c, CODE_DCM_DateTimeStarted)) {
            if (std::string d = IsoDate(TextOf(n)); !d.empty()) e.date = d;
        } else if (Is(c, CODE_DCM_TargetRegion)) {
            e.region = CodeIn(*n.item, DCM_ConceptCodeSequence);
        } else if (Is(c, CODE_DCM_ImageView)) {
            e.view = CodeIn(*n.item, DCM_ConceptCodeSequence);
        } else if (Is(c, CODE_DCM_KVP)) {
            e.kvp = num(kKv);
        } else if (Is(c, CODE_DCM_XRayTubeCurrent)) {
            e.tubeCurrentMa = num(kMa);
        } else if (Is(c, CODE_DCM_ExposureTime)) {
            time = num(kMs);
        } else if (Is(c, CODE_DCM_RETIRED_ExposureTime)) {
            retiredTime = num(kMs);
        } else if (Is(c, CODE_DCM_Exposure)) {
            e.exposureMAs = num(kMas);
        } else if (Is(c, CODE_DCM_DoseAreaProduct)) {
            e.dapGym2 = num(kDap);
        } else if (Is(c, CODE_DCM_Dose_RP)) {
            e.doseRpMGy = num(kMGy);
        } else if (Is(c, CODE_DCM_ReferencePointDefinition)) {
            const Code rp = n.type == "CODE" ? CodeIn(*n.item, DCM_ConceptCodeSequence) : Code{};
            e.referencePointText = rp.meaning.empty() ? TextOf(n) : rp.meaning;
            e.referencePoint = ReferencePointOf(rp, e.referencePointText);
        } else if (Is(c, CODE_DCM_DistanceSourceToDetector)) {
            e.sidCm = num(kCm);
        } else if (Is(c, CODE_DCM_DistanceSourceToIsocenter)) {
            e.sourceToIsocenterCm = num(kCm);
        } else if (Is(c, CODE_DCM_DistanceSourceToReferencePoint)) {
            e.sourceToReferencePointCm = num(kCm);
        } else if (Is(c, CODE_DCM_CollimatedFieldArea)) {
            e.fieldAreaCm2 = num(kCm2);
        } else if (Is(c, CODE_DCM_CollimatedFieldHeight)) {
            e.fieldHeightCm = num(kCm);
        } else if (Is(c, CODE_DCM_CollimatedFieldWidth)) {
            e.fieldWidthCm = num(kCm);
        } else if (Is(c, CODE_DCM_PatientEquivalentThickness)) {
            e.patient.equivalentThicknessCm = num(kCm);
        } else if (Is(c, CODE_DCM_XRayFilters)) {
            ReadFilterContainer(n, e);
        }
        // Containers of the source and mechanical data (TID 10003A/B) hold the same items.
        if (n.type == "CONTAINER" && !Is(c, CODE_DCM_XRayFilters)) {
            for (const Node& m : Children(*n.item)) {
                if (Is(m.name, CODE_DCM_XRayFilters)) ReadFilterContainer(m, e);
            }
        }
    }
    if (time) {
        e.exposureTimeMs = time;
    } else if (retiredTime) {
        e.exposureTimeMs = retiredTime;
        e.readNotes.push_back("Exposure Time read from the retired code 113735");
    }
    return e;
}

void ReadDoseReport(DcmDataset& ds, const std::string& name, std::vector<DoseEvent>& events,
                    std::vector<OtherEvent>& others) {
    std::vector<Node> boxes;
    FindAll(ds, CODE_DCM_IrradiationEventXRayData, boxes);
    if (boxes.empty()) {
        std::vector<Node> ct;
        FindAll(ds, CODE_DCM_CTAcquisition, ct);
        if (!ct.empty()) throw RecordError("a CT dose report (no projection X-ray events)");
        throw RecordError("a structured report without projection X-ray irradiation events");
    }
    DoseEvent report;
    report.file = name;
    report.record = RecordKind::DoseReport;
    report.sopInstanceUid = Text(ds, DCM_SOPInstanceUID);
    report.date = HeaderDate(ds);
    report.device = DeviceOfHeader(ds);
    report.patient = PatientOf(ds);
    // The observer context of the report names the irradiating device.
    for (const Node& n : Children(ds)) {
        const Code& c = n.name;
        if (Is(c, CODE_DCM_DeviceObserverUID))
            report.device.deviceUid = TextOf(n);
        else if (Is(c, CODE_DCM_DeviceObserverName) && report.device.station.empty())
            report.device.station = TextOf(n);
        else if (Is(c, CODE_DCM_DeviceObserverManufacturer) && report.device.manufacturer.empty())
            report.device.manufacturer = TextOf(n);
        else if (Is(c, CODE_DCM_DeviceObserverModelName) && report.device.model.empty())
            report.device.model = TextOf(n);
        else if (Is(c, CODE_DCM_DeviceObserverSerialNumber) && report.device.serial.empty())
            report.device.serial = TextOf(n);
    }
    // The accumulated data's reference point applies to events that name none.
    std::vector<Node> accumulated;
    FindAll(ds, CODE_DCM_AccumulatedXRayDoseData, accumulated);
    for (const Node& acc : accumulated)
        for (const Node& n : Children(*acc.item))
            if (Is(n.name, CODE_DCM_ReferencePointDefinition)) {
                const Code rp =
                    n.type == "CODE" ? CodeIn(*n.item, DCM_ConceptCodeSequence) : Code{};
                report.referencePointText = rp.meaning.empty() ? TextOf(n) : rp.meaning;
                report.referencePoint = ReferencePointOf(rp, report.referencePointText);
            }
    int index = 0;
    for (const Node& box : boxes) {
        ++index;
        DoseEvent e = ReadEvent(box, report);
        e.index = index;
        if (e.kind != EventKind::Radiograph) {
            others.push_back({name, index, e.kindText.empty() ? "unknown" : e.kindText});
            continue;
        }
        events.push_back(std::move(e));
    }
}

// Filters of an image header: material, minimum and maximum thickness arrays (backslash- or
// comma-separated), else the Filter Type text ("CU_0.2_MM", "AL_1.0_MM", "NONE").
void ReadHeaderFilters(DcmDataset& ds, DoseEvent& e) {
    const auto materials = SplitValues(Text(ds, DCM_FilterMaterial));
    const auto mins = SplitValues(Text(ds, DCM_FilterThicknessMinimum));
    const auto maxs = SplitValues(Text(ds, DCM_FilterThicknessMaximum));
    if (!materials.empty()) {
        e.filtersRecorded = true;
        for (std::size_t i = 0; i < materials.size(); ++i) {
            const std::string sym = FilterSymbolOfWord(materials[i]);
            std::optional<double> lo = i < mins.size() ? Number(mins[i]) : std::nullopt;
            std::optional<double> hi = i < maxs.size() ? Number(maxs[i]) : std::nullopt;
            if (sym.empty() || (!lo && !hi)) {
                e.unknownFilters.push_back(materials[i] + (lo || hi ? "" : " without a thickness"));
                continue;
            }
            e.filters.push_back({sym, MeanThickness(lo, hi)});
        }
        return;
    }
    const std::string type = Text(ds, DCM_FilterType);
    if (type.empty()) return;
    const std::string t = Lower(type);
    if (t == "none" || t == "no filter") {
        e.filtersRecorded = true;
        return;
    }
    // MATERIAL_THICKNESS_MM, possibly several joined by '+' or backslashes.
    bool any = false;
    for (std::string part : SplitValues(type)) {
        std::size_t plus;
        std::vector<std::string> pieces;
        while ((plus = part.find('+')) != std::string::npos) {
            pieces.push_back(part.substr(0, plus));
            part.erase(0, plus + 1);
        }
        pieces.push_back(part);
        for (const std::string& p : pieces) {
            const std::size_t a = p.find('_');
            const std::size_t b = a == std::string::npos ? a : p.find('_', a + 1);
            if (a == std::string::npos) continue;
            const std::string sym = FilterSymbolOfWord(p.substr(0, a));
            const std::string unit = b == std::string::npos ? "" : Lower(p.substr(b + 1));
            auto mm =
                Number(p.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1));
            if (sym.empty() || !mm || (unit != "mm" && !unit.empty())) continue;
            e.filters.push_back({sym, *mm});
            any = true;
        }
    }
    if (any) {
        e.filtersRecorded = true;
        e.readNotes.push_back("filters read from the Filter Type text");
    } else {
        e.unknownFilters.push_back("Filter Type \"" + type + "\"");
    }
}

void ReadImage(DcmDataset& ds, const std::string& name, std::vector<DoseEvent>& events) {
    DoseEvent e;
    e.file = name;
    e.index = 1;
    e.record = RecordKind::Image;
    e.kind = EventKind::Radiograph;
    e.kindText = "image";
    e.sopInstanceUid = Text(ds, DCM_SOPInstanceUID);
    e.date = HeaderDate(ds);
    e.device = DeviceOfHeader(ds);
    e.patient = PatientOf(ds);
    auto note = [&](const char* what) { e.readNotes.push_back(what); };
    e.kvp = Decimal(ds, DCM_KVP);
    if (auto ua = Decimal(ds, DCM_XRayTubeCurrentInuA))
        e.tubeCurrentMa = *ua / 1000;
    else
        e.tubeCurrentMa = Decimal(ds, DCM_XRayTubeCurrent);
    if (auto us = Decimal(ds, DCM_ExposureTimeInuS))
        e.exposureTimeMs = *us / 1000;
    else
        e.exposureTimeMs = Decimal(ds, DCM_ExposureTime);
    if (auto uas = Decimal(ds, DCM_ExposureInuAs))
        e.exposureMAs = *uas / 1000;
    else
        e.exposureMAs = Decimal(ds, DCM_Exposure);
    // Integer attributes that some units write as decimals ("250.0" for an IS).
    for (const DcmTagKey& tag : {DCM_XRayTubeCurrent, DCM_ExposureTime, DCM_Exposure}) {
        const std::string t = Text(ds, tag);
        if (t.find('.') != std::string::npos) {
            note("a decimal number where the header takes an integer, read as written");
            break;
        }
    }
    if (auto dap = Decimal(ds, DCM_ImageAndFluoroscopyAreaDoseProduct))
        e.dapGym2 = *dap * 1e-5;  // dGy.cm2
    if (auto ed = Decimal(ds, DCM_EntranceDoseInmGy))
        e.entranceDoseMGy = ed;
    else if (auto ed2 = Decimal(ds, DCM_EntranceDose))
        e.entranceDoseMGy = *ed2 * 100;  // dGy
    if (auto v = Decimal(ds, DCM_DistanceSourceToDetector)) e.sidCm = *v / 10;
    if (auto v = Decimal(ds, DCM_DistanceSourceToPatient)) e.sourceToPatientCm = *v / 10;
    if (auto v = Decimal(ds, DCM_DistanceSourceToEntrance)) e.sourceToEntranceCm = *v / 10;
    ReadHeaderFilters(ds, e);
    e.bodyPart = Text(ds, DCM_BodyPartExamined);
    e.viewPosition = Text(ds, DCM_ViewPosition);
    e.protocol = Text(ds, DCM_ProtocolName);
    if (e.protocol.empty()) e.protocol = Text(ds, DCM_AcquisitionDeviceProcessingDescription);
    e.region = CodeIn(ds, DCM_AnatomicRegionSequence);
    e.view = CodeIn(ds, DCM_ViewCodeSequence);
    // Collimator edges (pixels) times the spacing at the receptor.
    const std::string shape = Text(ds, DCM_CollimatorShape);
    auto l = Decimal(ds, DCM_CollimatorLeftVerticalEdge);
    auto r = Decimal(ds, DCM_CollimatorRightVerticalEdge);
    auto u = Decimal(ds, DCM_CollimatorUpperHorizontalEdge);
    auto lo = Decimal(ds, DCM_CollimatorLowerHorizontalEdge);
    auto sp = SplitValues(Text(ds, DCM_ImagerPixelSpacing));
    if (sp.size() < 2) sp = SplitValues(Text(ds, DCM_PixelSpacing));
    if (Lower(shape).find("rectangular") != std::string::npos && l && r && u && lo &&
        sp.size() >= 2) {
        auto rowSp = Number(sp[0]), colSp = Number(sp[1]);
        if (rowSp && colSp && *rowSp > 0 && *colSp > 0) {
            const double h = std::fabs(*lo - *u) * *rowSp / 10;
            const double w = std::fabs(*r - *l) * *colSp / 10;
            if (h > 0 && w > 0) {
                e.collimatorLongCm = std::max(h, w);
                e.collimatorShortCm = std::min(h, w);
            }
        }
    }
    const bool anyDose = e.kvp || e.exposureMAs || e.tubeCurrentMa || e.dapGym2 ||
                         e.entranceDoseMGy || e.exposureTimeMs;
    if (!anyDose) throw RecordError("an image without dose attributes");
    events.push_back(std::move(e));
}

}  // namespace

void ReadRecordBytes(const std::string& bytes, const std::string& name,
                     std::vector<DoseEvent>& events, std::vector<OtherEvent>& others) {
    SilenceDcmtk();
    if (bytes.size() < 8) throw RecordError("not a DICOM file (too short)");
    DcmFileFormat ff;
    DcmInputBufferStream in;
    in.setBuffer(bytes.data(), static_cast<offile_off_t>(bytes.size()));
    in.setEos();
    ff.transferInit();
    const OFCondition st = ff.read(in, EXS_Unknown, EGL_noChange, DCM_MaxReadLength);
    ff.transferEnd();
    if (st.bad()) throw RecordError(std::string("not a readable DICOM file (") + st.text() + ")");
    DcmDataset* ds = ff.getDataset();
    if (!ds) throw RecordError("not a readable DICOM file");
    // Texts in the record's character set (Japanese station names and protocols, Latin-1
    // manufacturers) to UTF-8; what cannot be converted is replaced when it is read.
    ds->convertToUTF8();
    std::string sop = Text(*ds, DCM_SOPClassUID);
    if (sop.empty()) sop = Text(*ff.getMetaInfo(), DCM_MediaStorageSOPClassUID);
    if (sop.empty()) throw RecordError("not a DICOM object (no SOP class)");
    if (sop == UID_XRayRadiationDoseSRStorage || sop == UID_EnhancedSRStorage ||
        sop == UID_ComprehensiveSRStorage || sop == UID_Comprehensive3DSRStorage ||
        sop == UID_ExtensibleSRStorage) {
        ReadDoseReport(*ds, name, events, others);
        return;
    }
    if (sop == UID_DigitalXRayImageStorageForPresentation ||
        sop == UID_DigitalXRayImageStorageForProcessing ||
        sop == UID_ComputedRadiographyImageStorage) {
        ReadImage(*ds, name, events);
        return;
    }
    const char* known = dcmFindNameOfUID(sop.c_str());
    throw RecordError(std::string("neither a dose report nor a DX/CR image (") +
                      (known ? known : sop.c_str()) + ")");
}

std::vector<std::filesystem::path> ListRecordFiles(const std::vector<std::filesystem::path>& paths,
                                                   std::vector<SkippedFile>& missing) {
    namespace fs = std::filesystem;
    std::vector<fs::path> out;
    for (const fs::path& p : paths) {
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            std::vector<fs::path> found;
            fs::recursive_directory_iterator it(p, fs::directory_options::skip_permission_denied,
                                                ec),
                end;
            if (ec) {
                missing.push_back({p.string(), "cannot be listed: " + ec.message()});
                continue;
            }
            for (; it != end; it.increment(ec)) {
                if (ec) break;
                std::error_code e2;
                if (it->is_regular_file(e2)) found.push_back(it->path());
            }
            std::sort(found.begin(), found.end());
            out.insert(out.end(), found.begin(), found.end());
        } else if (fs::is_regular_file(p, ec)) {
            out.push_back(p);
        } else {
            missing.push_back({p.string(), fs::exists(p, ec) ? "not a regular file or folder"
                                                             : "no such file or folder"});
        }
    }
    return out;
}

ReadOutcome ReadRecords(const std::vector<std::filesystem::path>& paths,
                        const ReadProgress& progress, const std::atomic<bool>* cancel) {
    ReadOutcome out;
    const std::vector<std::filesystem::path> files = ListRecordFiles(paths, out.skipped);
    std::size_t done = 0;
    for (const auto& f : files) {
        if (cancel && cancel->load()) break;
        const std::string name = f.string();
        try {
            const std::string bytes = ReadFileBytes(f, name);
            std::vector<DoseEvent> ev;
            std::vector<OtherEvent> oth;
            ReadRecordBytes(bytes, name, ev, oth);
            ++out.filesRead;
            for (auto& e : ev) out.events.push_back(std::move(e));
            for (auto& o : oth) out.others.push_back(std::move(o));
        } catch (const RecordError& e) {
            out.skipped.push_back({name, e.what()});
        } catch (const std::exception& e) {
            out.skipped.push_back({name, e.what()});
        }
        ++done;
        if (progress) progress(done, files.size());
    }
    return out;
}

const char* EventKindWord(EventKind k) {
    switch (k) {
        case EventKind::Radiograph:
            return "radiograph";
        case EventKind::Fluoroscopy:
            return "fluoroscopy";
        case EventKind::Other:
            break;
    }
    return "other";
}

const char* ReferencePointWord(ReferencePoint p) {
    switch (p) {
        case ReferencePoint::DetectorPlane:
            return "detector plane";
        case ReferencePoint::Entrance:
            return "entrance";
        case ReferencePoint::IsocenterMinus15cm:
            return "15 cm from the isocentre toward the source";
        case ReferencePoint::Other:
            return "other";
        case ReferencePoint::Unknown:
            break;
    }
    return "unknown";
}

}  // namespace dovex::records
