// SPDX-License-Identifier: MIT
#include "effdose/organdata.h"

#include <cmath>

#include "engine/error.h"
#include "engine/numtext.h"
#include "engine/textio.h"

namespace dovex {

namespace {

constexpr std::size_t kFields = 7 * kTissueRows;

int ReadMode(FieldReader& reader, const std::string& fileName, long record) {
    const double v = reader.NextNumber(kFields);
    if (v != 0 && v != 1 && v != 2) {
        const std::string line = std::to_string(reader.itemLine());
        throw DataFileError(fileName, line + " 行目: 深さの指定 " + PlainNumber(v) +
                                          " は 0, 1, 2 のいずれかでなければなりません (line " +
                                          line + ", record " + std::to_string(record) +
                                          ": depth mode must be 0, 1 or 2, found " +
                                          PlainNumber(v) + ")");
    }
    return static_cast<int>(v);
}

}  // namespace

OrganDataRecords ParseOrganData(const std::string& bytes, const std::string& fileName) {
    OrganDataRecords recs;
    FieldReader reader(bytes, fileName);
    for (long i = 1; i <= kTissueRows; ++i) {
        OrganDataRecord& r = recs[i];
        auto label = reader.NextItem(false);
        if (!label) {
            throw DataFileError(
                fileName, "データが途中で終わっています: " + std::to_string(kFields) +
                              " 個の値が必要なところ " + std::to_string(reader.itemsRead()) +
                              " 個しかありません (too short: expected " + std::to_string(kFields) +
                              " fields, found " + std::to_string(reader.itemsRead()) + ")");
        }
        r.label = *label;
        r.applies = reader.NextNumber(kFields);
        r.startMode = ReadMode(reader, fileName, i);
        r.startValue = reader.NextNumber(kFields);
        r.endMode = ReadMode(reader, fileName, i);
        r.endValue = reader.NextNumber(kFields);
        r.percentage = reader.NextNumber(kFields);
        // The share of the organ inside the field is a percentage.
        if (!(r.percentage >= 0 && r.percentage <= 100)) {
            const std::string line = std::to_string(reader.itemLine());
            throw DataFileError(fileName, line + " 行目の割合 " + PlainNumber(r.percentage) +
                                              " % は 0 から 100 の範囲になければなりません (line " +
                                              line + ": percentage " + PlainNumber(r.percentage) +
                                              " must lie within 0 to 100)");
        }
    }
    return recs;
}

double TissueDepth(double depthCm) { return RoundToDecimals(depthCm, 1); }

double DepthFromMode(int mode, double value, double thickness) {
    switch (mode) {
        case 0:
            return value;
        case 1:
            return value * thickness;
        case 2:
            return thickness - value;
        default:
            throw CalcError("depth mode must be 0, 1 or 2");
    }
}

bool IsSafeExamPartName(std::string_view examPart) {
    if (examPart.empty()) return false;
    if (examPart.find("..") != std::string_view::npos) return false;
    for (char ch : examPart) {
        const auto u = static_cast<unsigned char>(ch);
        if (ch == '/' || ch == '\\' || ch == ':' || u < 0x20 || u == 0x7f) return false;
    }
    return true;
}

std::filesystem::path OrganDataPath(const std::filesystem::path& dataDir,
                                    std::string_view examPart) {
    const std::string display = "Organ-data/" + std::string(examPart) + ".csv";
    if (!IsSafeExamPartName(examPart)) {
        throw DataFileError(display, "対象部位のデータがありません (not a usable exam part name)");
    }
    const std::u8string stem(reinterpret_cast<const char8_t*>(examPart.data()), examPart.size());
    return dataDir / "Organ-data" / std::filesystem::path(stem + u8".csv");
}

void LoadOrganData(std::string_view examPart, double subjectThickness,
                   const std::filesystem::path& dataDir, OrganRows& rows) {
    const std::string display = "Organ-data/" + std::string(examPart) + ".csv";
    const std::filesystem::path path = OrganDataPath(dataDir, examPart);
    const OrganDataRecords recs = ParseOrganData(ReadFileBytes(path, display, 1u << 20), display);
    const double t = subjectThickness;
    for (long i = 1; i <= kTissueRows; ++i) {
        const OrganDataRecord& r = recs[i];
        if (r.applies != 1) continue;
        TissueRow& row = rows.rows[i];
        row.tick = TickState::Checked;
        row.leftOut = false;
        row.startDepth = TissueDepth(DepthFromMode(r.startMode, r.startValue, t));
        row.endDepth = TissueDepth(DepthFromMode(r.endMode, r.endValue, t));
        row.percentage = r.percentage;
    }
}

}  // namespace dovex
