// SPDX-License-Identifier: MIT
#include "records/process.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "calculation/json.h"
#include "engine/error.h"
#include "engine/kinds.h"
#include "engine/numtext.h"
#include "engine/textio.h"

namespace dovex::records {

void LoadRecordData(RecordData& d, const std::filesystem::path& dataDir,
                    const std::filesystem::path& profileFile,
                    const std::filesystem::path& protocolFile) {
    static_cast<calc::CalculationData&>(d) = calc::LoadData(dataDir);
    if (d.drlState == calc::DrlFileState::Faulty)
        d.warnings.push_back("no reference-level comparison: " + d.drlProblem);
    std::error_code ec;
    d.kernels = std::make_unique<KernelFiles>(dataDir);
    d.standards = ReadStandardPatients(dataDir / kStandardPatientFile);
    const std::filesystem::path prof = !profileFile.empty() ? profileFile : dataDir / kProfileFile;
    if (!profileFile.empty() || std::filesystem::exists(prof, ec)) d.profiles = ReadProfiles(prof);
    const std::filesystem::path map =
        !protocolFile.empty() ? protocolFile : dataDir / kProtocolMapFile;
    if (!protocolFile.empty() || std::filesystem::exists(map, ec))
        d.protocols = ReadProtocolMap(map, d.examParts);
}

namespace {

std::string CheckWord(calc::Check c) {
    for (const calc::Bound& b : calc::Bounds())
        if (b.check == c) return b.option;
    switch (c) {
        case calc::Check::Rectification:
            return "rectification";
        case calc::Check::Phantom:
            return "phantom";
        case calc::Check::FieldShape:
            return "field-shape";
        case calc::Check::ExposureSource:
            return "exposure-source";
        case calc::Check::DefaultOutputRange:
            return "kv";
        case calc::Check::Geometry:
            return "geometry";
        default:
            break;
    }
    return "calculation";
}

// The entrance air kerma without backscatter of a calculation, mGy.
double IncidentKerma(const DoseResult& d) { return d.bsfAir > 0 ? d.esdAir / d.bsfAir : 0; }

}  // namespace

EventOutcome ProcessEvent(const DoseEvent& e, const RecordData& d,
                          const std::filesystem::path& dataDir, const ProcessOptions& options) {
    EventOutcome out;
    out.event = e;
    MappingContext mc{dataDir, &d.standards, &d.profiles, &d.protocols};
    out.mapped = MapEvent(e, mc);
    MappedEvent& m = out.mapped;
    if (m.refusal) {
        out.refusal = m.refusal;
        return out;
    }
    const std::string examPart = m.conditions.examPart;
    calc::CalculationRequest req{m.conditions, m.filter, {}};
    // Without the estimate the calculation is asked for the exam part "その他"; the exam part
    // is kept for the reference level.
    if (!options.estimate) req.conditions.examPart = "その他";
    const std::string where = e.file + " event " + std::to_string(e.index);
    if (auto r = calc::CheckConditions(req, d.tables)) {
        out.refusal = EventRefusal{CheckWord(r->check), where + ": " + r->messageEn, r->messageJa};
        return out;
    }
    OrganRows rows;
    const calc::CalculationContext ctx{d.tables,   dataDir, d.examParts,
                                       *d.kernels, rows,    d.drl ? &*d.drl : nullptr};
    auto run = [&](const calc::CalculationRequest& r) {
        rows = OrganRows{};
        return calc::Calculate(r, ctx);
    };
    // The measured-exposure path: the unit's own output (profile's output factor) or the
    // record's own air kerma at 1 m.
    std::optional<double> measured;
    if (options.source == DoseSource::Record && m.recordKerma) {
        const double kAt1m = m.recordKerma->mGy * 1e-3 * std::pow(m.conditions.fsd / 100, 2);
        measured = kAt1m / d.tables.airWOverE;
        m.assumptions.push_back(
            {"exposureAt1m", PlainNumber(*measured) + " C/kg",
             "the record's air kerma (" + m.recordKerma->how + ") as the measured exposure",
             "1 m での照射線量 " + PlainNumber(*measured) +
                 " C/kg：記録の線量から求めた空気カーマを実測値として使用"});
    } else {
        if (options.source == DoseSource::Record)
            m.assumptions.push_back(
                {"exposureAt1m", "default output",
                 "the record implies no air kerma; the program's tube output used",
                 "1 m での照射線量：記録から空気カーマが求まらないため、デフォルト出力データ"});
        if (m.outputFactor != 1) {
            calc::CalculationRequest first = req;
            first.conditions.examPart = "その他";
            const calc::CalculationOutcome o = run(first);
            if (o.refusal) {
                out.refusal =
                    EventRefusal{CheckWord(o.refusal->check), where + ": " + o.refusal->messageEn,
                                 o.refusal->messageJa};
                return out;
            }
            measured = o.result.conditions.exposureAt1m * m.outputFactor;
            m.assumptions.push_back(
                {"exposureAt1m", PlainNumber(*measured) + " C/kg",
                 "the default output × the profile's output factor " + PlainNumber(m.outputFactor),
                 "1 m での照射線量 " + PlainNumber(*measured) +
                     " C/kg：デフォルト出力 × 装置設定の出力係数 " + PlainNumber(m.outputFactor)});
        }
    }
    if (measured) {
        req.conditions.exposureSource = ExposureSource::Measured;
        req.conditions.exposureAt1m = *measured;
    }
    calc::CalculationOutcome o = run(req);
    if (o.refusal) {
        out.refusal = EventRefusal{CheckWord(o.refusal->check), where + ": " + o.refusal->messageEn,
                                   o.refusal->messageJa};
        return out;
    }
    if (!options.estimate) {
        o.result.conditions.examPart = examPart;
        if (d.drl)
            o.result.drl = CompareWithDrl(*d.drl, examPart, o.result.conditions.tubeVoltage,
                                          o.result.dose.esdAir);
    }
    if (m.recordKerma) {
        const double program = IncidentKerma(o.result.dose);
        out.recordDose = RecordDose{
            m.recordKerma->mGy, program > 0 ? m.recordKerma->mGy / program : 0, m.recordKerma->how};
    }
    out.result = std::move(o.result);
    return out;
}

long RunOutcome::computed() const {
    return static_cast<long>(std::count_if(
        events.begin(), events.end(), [](const EventOutcome& o) { return o.result.has_value(); }));
}
long RunOutcome::refused() const { return static_cast<long>(events.size()) - computed(); }

std::vector<EventOutcome> ProcessEvents(const std::vector<DoseEvent>& events, const RecordData& d,
                                        const std::filesystem::path& dataDir,
                                        const ProcessOptions& options, const Progress& progress,
                                        const std::atomic<bool>* cancel) {
    std::vector<EventOutcome> out;
    out.reserve(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (cancel && cancel->load()) break;
        out.push_back(ProcessEvent(events[i], d, dataDir, options));
        if (progress) progress(Stage::Calculating, i + 1, events.size());
    }
    return out;
}

RunOutcome ProcessRecords(const std::vector<std::filesystem::path>& paths, const RecordData& d,
                          const std::filesystem::path& dataDir, const ProcessOptions& options,
                          const Progress& progress, const std::atomic<bool>* cancel) {
    RunOutcome run;
    run.read = ReadRecords(
        paths,
        [&](std::size_t done, std::size_t total) {
            if (progress) progress(Stage::Reading, done, total);
        },
        cancel);
    run.events = ProcessEvents(run.read.events, d, dataDir, options, progress, cancel);
    if (cancel && cancel->load()) run.cancelled = true;
    return run;
}

// ---- survey ------------------------------------------------------------------------------

SurveyInput SurveyInputOf(const EventOutcome& o) {
    SurveyInput s;
    s.unit = o.mapped.unit;
    s.examPart = o.mapped.conditions.examPart;
    if (o.result) {
        s.esdAirMGy = o.result->dose.esdAir;
        if (o.result->estimate == calc::EstimateStatus::Made)
            s.effectiveDose = o.result->dose.effectiveDose;
    }
    s.dapGym2 = o.event.dapGym2;
    s.kv = o.mapped.conditions.tubeVoltage;
    s.mas = o.mapped.conditions.tubeCurrent * o.mapped.conditions.exposureTime;
    if (o.recordDose && o.recordDose->ratio > 0) s.recordRatio = o.recordDose->ratio;
    return s;
}

Spread SpreadOf(std::vector<double> v) {
    Spread s;
    s.n = static_cast<long>(v.size());
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    auto q = [&](double p) {
        const double h = p * static_cast<double>(v.size() - 1);
        const std::size_t lo = static_cast<std::size_t>(std::floor(h));
        const std::size_t hi = std::min(lo + 1, v.size() - 1);
        return v[lo] + (h - static_cast<double>(lo)) * (v[hi] - v[lo]);
    };
    s.q1 = q(0.25);
    s.median = q(0.5);
    s.q3 = q(0.75);
    s.min = v.front();
    s.max = v.back();
    return s;
}

std::map<std::string, Spread> RecordRatioByUnit(const std::vector<EventOutcome>& events) {
    std::map<std::string, std::vector<double>> ratios;
    for (const EventOutcome& o : events)
        if (o.result && o.recordDose && o.recordDose->ratio > 0)
            ratios[o.mapped.unit].push_back(o.recordDose->ratio);
    std::map<std::string, Spread> out;
    for (auto& [unit, v] : ratios) out[unit] = SpreadOf(std::move(v));
    return out;
}

std::vector<SurveyRow> BuildSurvey(const std::vector<SurveyInput>& inputs, const DrlTable* drl) {
    std::map<std::pair<std::string, std::string>, std::vector<const SurveyInput*>> groups;
    for (const SurveyInput& s : inputs) groups[{s.unit, s.examPart}].push_back(&s);
    std::vector<SurveyRow> rows;
    for (const auto& [key, list] : groups) {
        SurveyRow r;
        r.unit = key.first;
        r.examPart = key.second;
        r.events = static_cast<long>(list.size());
        std::vector<double> esd, e, dap, kv, mas, ratio;
        for (const SurveyInput* s : list) {
            esd.push_back(s->esdAirMGy);
            if (s->effectiveDose) e.push_back(*s->effectiveDose);
            if (s->dapGym2) dap.push_back(*s->dapGym2);
            kv.push_back(s->kv);
            mas.push_back(s->mas);
            if (s->recordRatio) ratio.push_back(*s->recordRatio);
        }
        r.esdAir = SpreadOf(std::move(esd));
        r.effectiveDose = SpreadOf(std::move(e));
        r.dap = SpreadOf(std::move(dap));
        r.kv = SpreadOf(std::move(kv));
        r.mas = SpreadOf(std::move(mas));
        r.recordRatio = SpreadOf(std::move(ratio));
        if (drl) r.drl = CompareWithDrl(*drl, r.examPart, r.kv.median, r.esdAir.median);
        rows.push_back(std::move(r));
    }
    return rows;
}

namespace {

std::string Cell(double v) { return PlainNumber(v); }

}  // namespace

std::string SurveyFileBytes(const std::vector<SurveyRow>& rows) {
    std::vector<std::string> lines;
    std::string head = "装置,撮影部位,件数";
    for (const char* q : {"入射表面線量 mGy", "実効線量 mSv", "DAP Gy・m2", "管電圧 kV", "mAs",
                          "記録の空気カーマ/計算の空気カーマ"})
        for (const char* p : {"件数", "第1四分位", "中央値", "第3四分位"})
            head += std::string(",") + q + " " + p;
    head += ",診断参考レベル mGy,中央値/診断参考レベル %,診断参考レベルの項目";
    lines.push_back(head);
    for (const SurveyRow& r : rows) {
        std::string l =
            CsvCell(r.unit) + "," + CsvCell(r.examPart) + "," + std::to_string(r.events);
        for (const Spread* s :
             {&r.esdAir, &r.effectiveDose, &r.dap, &r.kv, &r.mas, &r.recordRatio}) {
            l += "," + std::to_string(s->n);
            if (s->n == 0)
                l += ",,,";
            else
                l += "," + Cell(s->q1) + "," + Cell(s->median) + "," + Cell(s->q3);
        }
        if (r.drl.hasLevel)
            l += "," + Cell(r.drl.valueMGy) + "," + Cell(r.drl.percent) + "," + CsvCell(r.drl.item);
        else
            l += ",,,";
        lines.push_back(l);
    }
    // A unit's name may hold characters that cp932 lacks: each such character is written '?'.
    std::string out;
    for (const std::string& l : lines) {
        if (auto b = Utf8ToCp932(l)) {
            out += *b;
        } else {
            std::size_t i = 0;
            while (i < l.size()) {
                const unsigned char c = static_cast<unsigned char>(l[i]);
                const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
                const auto one = Utf8ToCp932(l.substr(i, n));
                out += one ? *one : std::string("?");
                i += n;
            }
        }
        out += "\r\n";
    }
    return out;
}

// ---- JSON --------------------------------------------------------------------------------

namespace {

template <class T>
nlohmann::ordered_json Opt(const std::optional<T>& v) {
    return v ? nlohmann::ordered_json(*v) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json Str(const std::string& s) {
    return s.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(s);
}

nlohmann::ordered_json CodeJson(const Code& c, const std::string& fallback) {
    if (c.empty()) return Str(fallback);
    return {{"scheme", c.scheme}, {"code", c.value}, {"meaning", c.meaning}};
}

nlohmann::ordered_json SpreadJson(const Spread& s) {
    if (s.n == 0) return {{"n", 0}, {"q1", nullptr}, {"median", nullptr}, {"q3", nullptr}};
    return {{"n", s.n}, {"q1", s.q1}, {"median", s.median}, {"q3", s.q3}};
}

}  // namespace

void to_json(nlohmann::ordered_json& j, const EventOutcome& o) {
    const DoseEvent& e = o.event;
    j = nlohmann::ordered_json::object();
    j["source"] = {{"file", e.file},
                   {"sopInstanceUid", Str(e.sopInstanceUid)},
                   {"eventUid", Str(e.eventUid)},
                   {"index", e.index},
                   {"date", Str(e.date)},
                   {"kind", e.record == RecordKind::Image ? "image" : "dose report"}};
    j["device"] = {{"manufacturer", Str(e.device.manufacturer)},
                   {"model", Str(e.device.model)},
                   {"serial", Str(e.device.serial)},
                   {"station", Str(e.device.station)},
                   {"deviceUid", Str(e.device.deviceUid)},
                   {"profile", Str(o.mapped.profile)}};
    nlohmann::ordered_json filters = nlohmann::ordered_json::array();
    for (const RecordFilter& f : e.filters)
        filters.push_back({{"material", f.material}, {"mm", f.mm}});
    nlohmann::ordered_json rec;
    rec["kvp"] = Opt(e.kvp);
    rec["tubeCurrentMa"] = Opt(e.tubeCurrentMa);
    rec["exposureTimeMs"] = Opt(e.exposureTimeMs);
    rec["exposureMAs"] = Opt(e.exposureMAs);
    rec["dapGym2"] = Opt(e.dapGym2);
    rec["doseRpMGy"] = Opt(e.doseRpMGy);
    rec["entranceDoseMGy"] = Opt(e.entranceDoseMGy);
    rec["referencePoint"] = Str(e.referencePointText);
    rec["sidCm"] = Opt(e.sidCm);
    rec["region"] = CodeJson(e.region, e.bodyPart);
    rec["view"] = CodeJson(e.view, e.viewPosition);
    rec["protocol"] = Str(e.protocol);
    rec["filters"] = e.filtersRecorded ? filters : nlohmann::ordered_json(nullptr);
    rec["patient"] = {{"sex", Str(e.patient.sex)},
                      {"age", Opt(e.patient.ageYears)},
                      {"sizeM", Opt(e.patient.sizeM)},
                      {"weightKg", Opt(e.patient.weightKg)}};
    rec["notes"] = e.readNotes;
    j["record"] = std::move(rec);
    j["conditions"] = o.mapped.conditions;
    nlohmann::ordered_json as = nlohmann::ordered_json::array();
    for (const Assumption& a : o.mapped.assumptions)
        as.push_back({{"item", a.item}, {"value", a.value}, {"why", a.why}, {"textJa", a.textJa}});
    j["assumptions"] = std::move(as);
    j["result"] = o.result ? nlohmann::ordered_json(*o.result) : nlohmann::ordered_json(nullptr);
    if (o.recordDose)
        j["recordDose"] = {{"esakMGy", o.recordDose->esakMGy},
                           {"ratio", o.recordDose->ratio},
                           {"how", o.recordDose->how}};
    else
        j["recordDose"] = nullptr;
    if (o.refusal)
        j["refusal"] = {{"check", o.refusal->check},
                        {"message", o.refusal->message},
                        {"messageJa", o.refusal->messageJa}};
    else
        j["refusal"] = nullptr;
}

void to_json(nlohmann::ordered_json& j, const SurveyRow& r) {
    j = nlohmann::ordered_json::object();
    j["unit"] = r.unit;
    j["examPart"] = r.examPart;
    j["events"] = r.events;
    j["esdAirMGy"] = SpreadJson(r.esdAir);
    j["effectiveDoseMSv"] = SpreadJson(r.effectiveDose);
    j["dapGym2"] = SpreadJson(r.dap);
    j["kv"] = SpreadJson(r.kv);
    j["mAs"] = SpreadJson(r.mas);
    j["recordRatio"] = SpreadJson(r.recordRatio);
    if (r.drl.hasLevel)
        j["drl"] = {
            {"valueMGy", r.drl.valueMGy}, {"item", r.drl.item}, {"percentOfLevel", r.drl.percent}};
    else
        j["drl"] = nullptr;
}

nlohmann::ordered_json RunToJson(const RunOutcome& run, const std::vector<SurveyRow>* survey) {
    nlohmann::ordered_json j;
    j["events"] = nlohmann::ordered_json::array();
    for (const EventOutcome& o : run.events) j["events"].push_back(o);
    j["notRadiographs"] = nlohmann::ordered_json::array();
    for (const OtherEvent& o : run.read.others)
        j["notRadiographs"].push_back({{"file", o.file}, {"index", o.index}, {"kind", o.kindText}});
    j["skipped"] = nlohmann::ordered_json::array();
    for (const SkippedFile& s : run.read.skipped)
        j["skipped"].push_back({{"file", s.file}, {"reason", s.reason}});
    if (survey) j["survey"] = *survey;
    j["summary"] = {{"filesRead", run.read.filesRead},
                    {"events", static_cast<long>(run.read.events.size() + run.read.others.size())},
                    {"radiographs", static_cast<long>(run.read.events.size())},
                    {"computed", run.computed()},
                    {"refused", run.refused()},
                    {"filesSkipped", static_cast<long>(run.read.skipped.size())}};
    return j;
}

}  // namespace dovex::records
