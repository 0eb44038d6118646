// SPDX-License-Identifier: MIT
// The shipped exam-part list and organ data files: layout, ranges, and that the generator
// reproduces them byte for byte.
#include <gtest/gtest.h>

#include <cmath>

#include "effdose/organdata.h"
#include "effdose/organdose.h"
#include "engine/textio.h"

#ifdef DOVEX_HAVE_ORGANMODEL
#include "engine/tables.h"
#include "tools/organdata/check.h"
#include "tools/organdata/model.h"
#endif

namespace dovex {
namespace {

const std::filesystem::path kData = DOVEX_DATA_DIR;

std::vector<std::string> ExamParts() {
    const std::string bytes = ReadFileBytes(kData / std::filesystem::path(u8"撮影部位.txt"));
    EXPECT_NE(bytes.find("\r\n"), std::string::npos);
    std::vector<std::string> parts;
    for (const auto& line : SplitLines(bytes)) parts.push_back(Cp932ToUtf8(line));
    return parts;
}

TEST(ShippedData, ExamPartListInOrder) {
    const std::vector<std::string> expected = {
        "胸部正面", "胸部側面", "腹部正面", "頭部正面", "頭部側面", "頸椎正面",   "頸椎側面",
        "胸椎正面", "胸椎側面", "腰椎正面", "腰椎側面", "骨盤正面", "股関節正面", "その他"};
    EXPECT_EQ(ExamParts(), expected);
}

TEST(ShippedData, EveryListedPartHasUsableOrganData) {
    DepthDoseCurve ramp;
    ramp.layers = 80;
    for (long k = 1; k <= 80; ++k) ramp.total[k] = 100.0 * std::exp(-0.1 * (k - 1));
    for (const std::string& part : ExamParts()) {
        if (part == "その他") continue;
        const std::string bytes = ReadFileBytes(OrganDataPath(kData, part));
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << part;
        const OrganDataRecords recs = ParseOrganData(bytes, part);
        for (long i = 1; i <= kTissueRows; ++i) {
            EXPECT_EQ(recs[i].applies, 1) << part << " record " << i;
            EXPECT_GE(recs[i].percentage, 0) << part << " record " << i;
            EXPECT_LE(recs[i].percentage, 100) << part << " record " << i;
        }
        // Every thickness the estimate accepts gives rows that pass the checks.
        for (double t : {5.0, 12.0, 20.0, 30.0, 40.0}) {
            OrganRows rows;
            LoadOrganData(part, t, kData, rows);
            DepthDoseCurve curve = ramp;
            curve.layers = DepthLayerCount(t);
            const auto out = ComputeOrganDoses(rows, curve, 1.0, t, part, DefaultTissueWeights());
            EXPECT_TRUE(out.completed) << part << " T " << t << ": " << out.message;
        }
    }
}

#ifdef DOVEX_HAVE_ORGANMODEL
TEST(ShippedData, GeneratorReproducesTheFiles) {
    using namespace organdata;
    EXPECT_EQ(ReadFileBytes(kData / std::filesystem::path(u8"撮影部位.txt")),
              Utf8ToCp932OrThrow(JoinCrLf(ExamPartLines())));
    EXPECT_EQ(ReadFileBytes(kData / std::filesystem::path(u8"標準体格.txt")),
              Utf8ToCp932OrThrow(JoinCrLf(StandardPatientLines(Method{}))))
        << "run dovex-organdata --out data";
    for (const ExamGeometry& g : StandardExams()) {
        EXPECT_EQ(ReadFileBytes(OrganDataPath(kData, g.name)),
                  Utf8ToCp932OrThrow(JoinCrLf(RecordLines(BuildRecords(g, Method{})))))
            << g.name << ": run dovex-organdata --out data";
    }
}

TEST(OrganModel, RecordsAreUsableForEveryExamAndMethod) {
    using namespace organdata;
    Method wide;
    wide.outsideLength = 8;
    wide.edgeValue = 0.9;
    for (const Method& m : {Method{}, wide}) {
        for (const ExamGeometry& g : StandardExams()) {
            const auto recs = BuildRecords(g, m);
            ASSERT_EQ(recs.size(), 16u);
            for (const TissueRecord& r : recs) {
                EXPECT_GE(r.percentage, 0) << g.name << " " << r.label;
                EXPECT_LE(r.percentage, 100) << g.name << " " << r.label;
                if (r.startMode == 1) {
                    EXPECT_GE(r.startValue, 0) << g.name << " " << r.label;
                    EXPECT_LE(r.startValue, r.endValue) << g.name << " " << r.label;
                    EXPECT_LE(r.endValue, 1) << g.name << " " << r.label;
                }
            }
        }
    }
}

TEST(OrganModel, FieldCoverageFollowsTheAnatomy) {
    using namespace organdata;
    auto pct = [](const char* exam, long row) {
        for (const ExamGeometry& g : StandardExams()) {
            if (g.name == exam) return BuildRecords(g, Method{})[row - 1].percentage;
        }
        return -1.0;
    };
    // The lungs lie in the chest field and outside the pelvis field; the bladder the reverse.
    EXPECT_GT(pct("胸部正面", 4), 40);
    EXPECT_LT(pct("骨盤正面", 4), 1);
    EXPECT_GT(pct("骨盤正面", 10), 90);
    EXPECT_LT(pct("胸部正面", 10), 1);
    // The brain only in head views, the thyroid more in the cervical AP than the lumbar AP.
    EXPECT_GT(pct("頭部正面", 14), 80);
    EXPECT_LT(pct("腹部正面", 14), 1);
    EXPECT_GT(pct("頸椎正面", 7), pct("腰椎正面", 7) + 20);
    // A wider field holds more of a large organ: abdomen AP against lumbar AP for the colon.
    EXPECT_GT(pct("腹部正面", 3), pct("腰椎正面", 3));
}

// The program's estimate on the voxel-phantom reference radiographs, with the shipped physical
// data: the trunk projections with their files (the calibration of the method), the skull PA
// with the model's records for that geometry (the head anatomy behind the head files). Organs
// carrying more than 10 % of the reference effective dose within 25 % (skull PA: 20 %), the
// effective dose within 15 %.
TEST(OrganModel, EstimateReproducesTheVoxelReference) {
    using namespace organdata;
    const PhysicsTables t = LoadAllTables(kData);
    const TissueWeights w = DefaultTissueWeights();
    for (const VoxelReference& ref : VoxelReferences()) {
        const bool skull = ref.name == SkullPaGeometry().name;
        const PerEsak ours = EstimatePerEsak(
            ref.c, skull ? BuildRecords(SkullPaGeometry(), Method{}) : std::vector<TissueRecord>{},
            t, kData);
        EXPECT_NEAR(ours.e / ref.e, 1.0, 0.15) << ref.name;
        for (int i = 0; i < 15; ++i) {
            if (w[i + 1] * ref.organ[i] < 0.1 * ref.e) continue;
            EXPECT_NEAR(ours.organ[i] / ref.organ[i], 1.0, skull ? 0.20 : 0.25)
                << ref.name << " " << WeightedTissueName(i);
        }
    }
}
#endif

}  // namespace
}  // namespace dovex
