// SPDX-License-Identifier: MIT
#include "cli/dicom.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "cli/batch.h"
#include "engine/error.h"
#include "engine/textio.h"
#include "records/process.h"

namespace dovex::cli {

CLI::Option* AddDicomOptions(CLI::App& app, DicomOptions& o) {
    CLI::Option* dicom = app.add_option(
        "--dicom", o.paths,
        "read DICOM dose records (X-ray radiation dose reports, DX/CR images; files or folders) "
        "and calculate every radiograph in them");
    auto* survey = app.add_option(
        "--survey", o.survey,
        "with --dicom: write the survey per unit and exam part (cp932 CSV) to this file");
    auto* profiles = app.add_option(
        "--profiles", o.profiles,
        "with --dicom: the device profile file (default: 装置プロファイル.csv of the data folder)");
    auto* map = app.add_option(
        "--protocol-map", o.protocolMap,
        "with --dicom: the protocol-to-exam-part file (default: プロトコル対応.csv of the data "
        "folder)");
    auto* source = app.add_option(
        "--dose-source", o.doseSource,
        "with --dicom: model (default, the program's tube output) or record (the air kerma the "
        "record implies, as a measured exposure)");
    source->check(CLI::IsMember({"model", "record"}));
    auto* noEstimate = app.add_flag("--no-estimate", o.noEstimate,
                                    "with --dicom: no effective dose estimate (a faster survey)");
    for (CLI::Option* x : {survey, profiles, map, source, noEstimate}) x->needs(dicom);
    return dicom;
}

namespace {

// Writes bytes through a temporary file; false (and the reason on `err`) when it fails.
bool WriteOutput(const std::string& file, const std::string& bytes, std::ostream& err) {
    try {
        WriteFileAtomic(file, bytes);
        return true;
    } catch (const std::exception& e) {
        err << "dovex-calc: " << file << ": " << e.what() << "\n";
        return false;
    }
}

}  // namespace

int RunDicomCommand(const DicomOptions& o, std::ostream& out, std::ostream& err) {
    records::RecordData data;
    try {
        records::LoadRecordData(data, o.dataDir, o.profiles, o.protocolMap);
    } catch (const DataFileError& e) {
        err << "dovex-calc: data file " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        err << "dovex-calc: " << e.what() << "\n";
        return 1;
    }
    for (const std::string& w : data.warnings) err << "dovex-calc: " << w << "\n";
    records::ProcessOptions po;
    po.source = o.doseSource == "record" ? records::DoseSource::Record : records::DoseSource::Model;
    po.estimate = !o.noEstimate;
    std::vector<std::filesystem::path> paths(o.paths.begin(), o.paths.end());
    const records::RunOutcome run = records::ProcessRecords(paths, data, o.dataDir, po);

    for (const records::SkippedFile& s : run.read.skipped)
        err << "dovex-calc: " << s.file << ": skipped: " << s.reason << "\n";
    for (const records::OtherEvent& x : run.read.others)
        err << "dovex-calc: " << x.file << " event " << x.index << ": not a radiograph ("
            << x.kindText << ")\n";
    for (const records::EventOutcome& e : run.events)
        if (e.refusal) err << "dovex-calc: refused: " << e.refusal->message << "\n";

    bool failed = false;
    std::vector<records::SurveyRow> survey;
    if (!o.survey.empty()) {
        std::vector<records::SurveyInput> in;
        for (const records::EventOutcome& e : run.events)
            if (e.result) in.push_back(records::SurveyInputOf(e));
        survey = records::BuildSurvey(in, data.drl ? &*data.drl : nullptr);
        if (!WriteOutput(o.survey, records::SurveyFileBytes(survey), err)) failed = true;
    }
    if (!o.out.empty()) {
        std::vector<batch::RowCalculation> rows;
        for (const records::EventOutcome& e : run.events)
            if (e.result) {
                batch::RowCalculation r;
                r.cond = e.result->conditions;
                r.dose = e.result->dose;
                rows.push_back(std::move(r));
            }
        try {
            for (const auto& f : batch::WriteResultsRows(o.out, rows, "", data.tables.airWOverE))
                err << "dovex-calc: " << f.string() << " written\n";
        } catch (const std::exception& e) {
            err << "dovex-calc: " << e.what() << "\n";
            failed = true;
        }
    }
    if (o.json)
        out << records::RunToJson(run, o.survey.empty() ? nullptr : &survey)
                   .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
            << "\n";

    const long events = static_cast<long>(run.read.events.size() + run.read.others.size());
    err << "dovex-calc: " << run.read.filesRead << " files read, " << events << " events, "
        << run.computed() << " radiographs computed, " << run.refused() << " refused, "
        << run.read.skipped.size() << " files skipped\n";
    if (failed || run.refused() > 0 || !run.read.skipped.empty()) return 1;
    return 0;
}

}  // namespace dovex::cli
