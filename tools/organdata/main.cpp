// SPDX-License-Identifier: MIT
// dovex-organdata: writes the exam-part list "撮影部位.txt" and one organ data file per exam part
// ("Organ-data/<exam part>.csv") from the geometric model of model.cpp, and checks the estimate
// that the program then makes against reference Monte Carlo organ doses.
//
//   dovex-organdata --out DIR            write DIR/撮影部位.txt and DIR/Organ-data/*.csv
//   dovex-organdata --print              show the records of every exam part
//   dovex-organdata --check DATADIR      calibration table and standard-patient effective doses,
//                                        computed with the data files in DATADIR
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>

#include "effdose/organdose.h"
#include "engine/error.h"
#include "engine/numtext.h"
#include "engine/tables.h"
#include "engine/textio.h"
#include "tools/organdata/check.h"
#include "tools/organdata/model.h"

namespace fs = std::filesystem;
using namespace dovex;
using namespace dovex::organdata;

namespace {

std::string Cp932File(const std::vector<std::string>& lines) {
    return Utf8ToCp932OrThrow(JoinCrLf(lines));
}

void WriteAll(const fs::path& out, const Method& m) {
    fs::create_directories(out / "Organ-data");
    WriteFileAtomic(out / fs::path(u8"撮影部位.txt"), Cp932File(ExamPartLines()));
    WriteFileAtomic(out / fs::path(u8"標準体格.txt"), Cp932File(StandardPatientLines(m)));
    for (const ExamGeometry& g : StandardExams()) {
        const std::u8string name(reinterpret_cast<const char8_t*>(g.name.data()), g.name.size());
        WriteFileAtomic(out / "Organ-data" / fs::path(name + u8".csv"),
                        Cp932File(RecordLines(BuildRecords(g, m))));
    }
}

void PrintAll(const Method& m) {
    std::vector<ExamGeometry> all = StandardExams();
    all.push_back(SkullPaGeometry());
    for (const ExamGeometry& g : all) {
        std::cout << g.name << "  " << ProjectionName(g.projection) << "  " << g.note << "\n";
        for (const std::string& line : RecordLines(BuildRecords(g, m)))
            std::cout << "  " << line << "\n";
    }
}

void PrintComparison(const std::string& title, const PerEsak& ours, const VoxelReference& ref,
                     const TissueWeights& w) {
    std::printf("\n%s  ESAK %.4f mGy  E/ESAK ours %.4f ref %.4f (%+.1f %%)\n", title.c_str(),
                ours.esak, ours.e, ref.e, 100 * (ours.e / ref.e - 1));
    for (int i = 0; i < 15; ++i) {
        const double share = w[i + 1] * ref.organ[i] / ref.e;
        std::printf("  %-10s ours %.4f ref %.4f  ratio %5.2f  (%4.1f %% of E)%s\n",
                    WeightedTissueName(i), ours.organ[i], ref.organ[i],
                    ref.organ[i] > 0 ? ours.organ[i] / ref.organ[i] : 0.0, 100 * share,
                    share > 0.1 ? "  *" : "");
    }
}

// The remainder's tissues one by one (dose per ESAK of each, as if it were the whole remainder).
void PrintRemainderTissues(const ExposureConditions& c, const ExamGeometry& g, const Method& m,
                           const PhysicsTables& t, const fs::path& dataDir) {
    std::vector<TissueRecord> recs = BuildRecords(g, m);
    std::printf("  remainder tissues:");
    for (const TissueRecord& r : RemainderTissueRecords(g, m)) {
        recs[15] = r;
        const double d = EstimatePerEsak(c, recs, t, dataDir).organ[14];
        if (d > 0.0005) std::printf("  %s %.4f", r.label.c_str(), d);
    }
    std::printf("\n");
}

void Check(const fs::path& dataDir, const Method& m) {
    const PhysicsTables t = LoadAllTables(dataDir);
    const TissueWeights w = DefaultTissueWeights();
    std::printf("Calibration against the voxel-phantom Monte Carlo (dose per ESAK, mGy/mGy)\n");
    for (const VoxelReference& ref : VoxelReferences()) {
        if (ref.name == SkullPaGeometry().name) {
            // Not an exam part: the records the model gives for this geometry.
            PrintComparison(ref.name + " (records of the model, not a file)",
                            EstimatePerEsak(ref.c, BuildRecords(SkullPaGeometry(), m), t, dataDir),
                            ref, w);
            // The head part of the remainder tissue by tissue (reference: extrathoracic airways
            // 0.0529, oral mucosa 0.0517, lymph nodes 0.0185, muscle 0.0076).
            PrintRemainderTissues(ref.c, SkullPaGeometry(), m, t, dataDir);
        } else {
            PrintComparison(ref.name, EstimatePerEsak(ref.c, {}, t, dataDir), ref, w);
        }
    }
    std::printf(
        "\nHead views, 75 kV, 3 mm Al, SID 100, 25 x 20, FSD = SID - T - 3 cm "
        "(records of the model)\n");
    for (const ExamGeometry& g : StandardExams()) {
        if (g.name.rfind("頭部", 0) != 0) continue;
        const double thickness = g.projection == Projection::RLAT ? 15.4 : 20.7;
        const auto c = Conditions(g.name, 75, 10, 100, 100 - thickness - 3, thickness, 25, 20, 3.0);
        const PerEsak r = EstimatePerEsak(c, BuildRecords(g, m), t, dataDir);
        std::printf(
            "%-10s T %4.1f  E/ESAK %.4f  brain %.4f  salivary %.4f  marrow %.4f  "
            "remainder %.4f  thyroid %.4f  oesophagus %.4f\n",
            g.name.c_str(), thickness, r.e, r.organ[12], r.organ[13], r.organ[1], r.organ[14],
            r.organ[6], r.organ[7]);
        PrintRemainderTissues(c, g, m, t, dataDir);
    }
    std::printf("\nStandard-patient conditions (filtration 2.6 mm Al, FSD = SID - T - 3 cm)\n");
    std::printf("%-10s %-5s %5s %6s %5s %5s %-9s %8s %8s %8s\n", "exam", "proj", "kV", "mAs", "SID",
                "T", "field", "ESAK mGy", "E mSv", "E/ESAK");
    for (const ExamGeometry& g : StandardExams()) {
        const double fsd = g.sid - g.thickness - 3.0;
        const auto c = Conditions(g.name, g.kv, g.mas, g.sid, fsd, g.thickness, g.fieldLong,
                                  g.fieldShort, 2.6);
        const PerEsak r = EstimatePerEsak(c, {}, t, dataDir);
        char field[32];
        std::snprintf(field, sizeof field, "%gx%g", g.fieldLong, g.fieldShort);
        std::printf("%-10s %-5s %5g %6g %5g %5g %-9s %8.3f %8.4f %8.4f\n", g.name.c_str(),
                    ProjectionName(g.projection), g.kv, g.mas, g.sid, g.thickness, field, r.esak,
                    r.e * r.esak, r.e);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Method m;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "--edge" && i + 3 < argc) {
                m.edgeValue = std::stod(argv[++i]);
                m.insideLength = std::stod(argv[++i]);
                m.outsideLength = std::stod(argv[++i]);
            } else if (a == "--surface-tail" && i + 1 < argc) {
                m.surfaceOutsideLength = std::stod(argv[++i]);
            } else if (a == "--spongiosa" && i + 1 < argc) {
                m.spongiosaFactor = std::stod(argv[++i]);
            } else if (a == "--vault" && i + 1 < argc) {
                m.vaultWaterEquivalent = std::stod(argv[++i]);
            } else if (a == "--neck" && i + 1 < argc) {
                m.neckScatterFactor = std::stod(argv[++i]);
            } else if (a == "--lung" && i + 1 < argc) {
                m.lungScatterFactor = std::stod(argv[++i]);
            } else if (a == "--out" && i + 1 < argc) {
                WriteAll(argv[++i], m);
            } else if (a == "--print") {
                PrintAll(m);
            } else if (a == "--check" && i + 1 < argc) {
                Check(argv[++i], m);
            } else {
                std::cerr << "usage: dovex-organdata [--edge VALUE IN OUT] [--out DIR] [--print] "
                             "[--check DATADIR]\n";
                return 2;
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "dovex-organdata: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
