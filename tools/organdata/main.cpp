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

#include "effdose/estimate.h"
#include "engine/dose.h"
#include "engine/error.h"
#include "engine/numtext.h"
#include "engine/tables.h"
#include "engine/textio.h"
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
    for (const ExamGeometry& g : StandardExams()) {
        const std::u8string name(reinterpret_cast<const char8_t*>(g.name.data()), g.name.size());
        WriteFileAtomic(out / "Organ-data" / fs::path(name + u8".csv"),
                        Cp932File(RecordLines(BuildRecords(g, m))));
    }
}

void PrintAll(const Method& m) {
    for (const ExamGeometry& g : StandardExams()) {
        std::cout << g.name << "  " << ProjectionName(g.projection) << "  " << g.note << "\n";
        for (const std::string& line : RecordLines(BuildRecords(g, m)))
            std::cout << "  " << line << "\n";
    }
}

struct Run {
    double esak = 0;  // mGy
    EstimateResult estimate;
    DoseResult dose;
};

Run Calculate(ExposureConditions c, const PhysicsTables& t, const fs::path& dataDir) {
    ArbitraryFilter filter;
    EngineOutput eng = RunEngine(c, t, filter);
    Run r;
    r.dose = eng.dose;
    r.esak = eng.dose.esdAir / eng.dose.bsfAir;
    KernelFiles kernels(dataDir);
    OrganRows rows;
    r.estimate = RunEffectiveDoseEstimate(c, eng.spectrum, r.dose, t, dataDir, kernels, rows);
    return r;
}

ExposureConditions Conditions(const std::string& part, double kv, double mas, double sid,
                              double fsd, double thickness, double longSide, double shortSide,
                              double filterMm) {
    ExposureConditions c;
    c.examPart = part;
    c.tubeVoltage = kv;
    c.tubeCurrent = 100;
    c.exposureTime = mas / 100.0;
    c.inherentFilter = filterMm * 0.1;
    c.addedAl = 0;
    c.addedCu = 0;
    c.ffd = sid;
    c.fsd = fsd;
    c.subjectThickness = thickness;
    c.fieldLong = longSide;
    c.fieldShort = shortSide;
    c.fieldShape = 1;
    c.phantom = part.rfind("頭部", 0) == 0 ? 1 : 0;
    return c;
}

struct Reference {
    std::string part;
    ExposureConditions c;
    // Organ dose per ESAK (mGy/mGy) in the order of the 15 weights, then E/ESAK.
    double organ[15];
    double e;
};

void Check(const fs::path& dataDir) {
    const PhysicsTables t = LoadAllTables(dataDir);
    const Reference refs[] = {
        {"胸部正面",
         Conditions("胸部正面", 120, 10, 180, 158, 18.8, 35, 35, 3.0),
         {0.1195, 0.2975, 0.0279, 0.5344, 0.2276, 0.0004, 0.2357, 0.3399, 0.3119, 0.0006, 0.1555,
          0.1288, 0.0063, 0.0389, 0.2103},
         0.2089},
        {"腹部正面",
         Conditions("腹部正面", 80, 10, 120, 98, 19.0, 43, 35, 3.0),
         {0.0599, 0.1781, 0.5596, 0.0908, 0.5292, 0.0670, 0.0038, 0.0568, 0.4065, 0.3351, 0.0967,
          0.1257, 0.0001, 0.0008, 0.1837},
         0.2318},
        {"腰椎側面",
         Conditions("腰椎側面", 85, 10, 100, 67.5, 29.5, 30, 15, 3.0),
         {0.0015, 0.0500, 0.1077, 0.0040, 0.0160, 0.0032, 0.0003, 0.0034, 0.1439, 0.0051, 0.0251,
          0.0211, 0.0000, 0.0001, 0.0487},
         0.0342},
    };
    // Row of each weight index (skin: rows 12 and 13 together).
    const long rowOf[15] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15, 16};
    const char* names[15] = {"乳房", "骨髄", "結腸",   "肺",   "胃", "生殖腺", "甲状腺", "食道",
                             "肝臓", "膀胱", "骨表面", "皮膚", "脳", "唾液腺", "残り"};
    const TissueWeights w = DefaultTissueWeights();
    std::printf("Calibration against the voxel-phantom Monte Carlo (dose per ESAK, mGy/mGy)\n");
    for (const Reference& ref : refs) {
        const Run r = Calculate(ref.c, t, dataDir);
        const double e = r.estimate.effectiveDose / r.esak;
        std::printf("\n%s  ESAK %.4f mGy  esdSoft %.4f  E/ESAK ours %.4f ref %.4f (%+.1f %%)\n",
                    ref.part.c_str(), r.esak, r.dose.esdSoft, e, ref.e, 100 * (e / ref.e - 1));
        for (int i = 0; i < 15; ++i) {
            double h = 0;
            const auto& doses = r.estimate.organs.doseMicroSv;
            if (doses[rowOf[i]]) h += *doses[rowOf[i]];
            if (i == 11 && doses[13]) h += *doses[13];
            const double perEsak = h / 1000.0 / w[i + 1] / r.esak;
            const double share = w[i + 1] * ref.organ[i] / ref.e;
            std::printf("  %-10s ours %.4f ref %.4f  ratio %5.2f  (%4.1f %% of E)%s\n", names[i],
                        perEsak, ref.organ[i], ref.organ[i] > 0 ? perEsak / ref.organ[i] : 0.0,
                        100 * share, share > 0.1 ? "  *" : "");
        }
    }
    std::printf("\nStandard-patient conditions (filtration 2.6 mm Al, FSD = SID - T - 3 cm)\n");
    std::printf("%-10s %-5s %5s %6s %5s %5s %-9s %8s %8s %8s\n", "exam", "proj", "kV", "mAs", "SID",
                "T", "field", "ESD mGy", "E mSv", "E/ESD");
    for (const ExamGeometry& g : StandardExams()) {
        const double fsd = g.sid - g.thickness - 3.0;
        const auto c = Conditions(g.name, g.kv, g.mas, g.sid, fsd, g.thickness, g.fieldLong,
                                  g.fieldShort, 2.6);
        const Run r = Calculate(c, t, dataDir);
        char field[32];
        std::snprintf(field, sizeof field, "%gx%g", g.fieldLong, g.fieldShort);
        std::printf("%-10s %-5s %5g %6g %5g %5g %-9s %8.3f %8.4f %8.4f\n", g.name.c_str(),
                    ProjectionName(g.projection), g.kv, g.mas, g.sid, g.thickness, field,
                    r.dose.esdSoft, r.estimate.effectiveDose,
                    r.estimate.effectiveDose / r.dose.esdSoft);
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
            } else if (a == "--lung" && i + 1 < argc) {
                m.lungScatterFactor = std::stod(argv[++i]);
            } else if (a == "--out" && i + 1 < argc) {
                WriteAll(argv[++i], m);
            } else if (a == "--print") {
                PrintAll(m);
            } else if (a == "--check" && i + 1 < argc) {
                Check(argv[++i]);
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
