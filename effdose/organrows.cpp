// SPDX-License-Identifier: MIT
#include "effdose/organrows.h"

#include <array>

#include "engine/constants.h"
#include "engine/error.h"
#include "engine/numtext.h"

namespace dovex {

namespace {

const std::array<TissueInfo, kTissueRows> kInfo = {{
    {"乳房", 1, "0.12", "乳房のデータに入力ミスがあります"},
    {"骨髄(赤色)", 2, "0.12", "骨髄のデータに入力ミスがあります"},
    {"結腸", 3, "0.12", "結腸のデータに入力ミスがあります"},
    {"肺", 4, "0.12", "肺のデータに入力ミスがあります"},
    {"胃", 5, "0.12", "胃のデータに入力ミスがあります"},
    {"生殖腺", 6, "0.08", "生殖腺のデータに入力ミスがあります"},
    {"甲状腺", 7, "0.04", "甲状腺のデータに入力ミスがあります"},
    {"食道", 8, "0.04", "食道のデータに入力ミスがあります"},
    {"肝臓", 9, "0.04", "肝臓のデータに入力ミスがあります"},
    {"膀胱", 10, "0.04", "膀胱のデータに入力ミスがあります"},
    {"骨表面", 11, "0.01", "骨表面のデータに入力ミスがあります"},
    {"入射皮膚面", 12, "0.01", "皮膚のデータに入力ミスがあります"},
    {"射出皮膚面", 12, "0.01", "皮膚のデータに入力ミスがあります"},
    {"脳", 13, "0.01", "脳の深さに入力ミスがあります"},
    {"唾液腺", 14, "0.01", "唾液腺のデータに入力ミスがあります"},
    {"残りの組織", 15, "0.12", "残りの組織のデータに入力ミスがあります"},
}};

}  // namespace

const TissueInfo& TissueInfoOf(long row) {
    if (row < 1 || row > kTissueRows) ThrowIndexError("tissue row", row, 1, kTissueRows);
    return kInfo[static_cast<std::size_t>(row - 1)];
}

std::string DepthText(const TissueRow& row, const std::optional<double>& depth) {
    if (!depth) return row.leftOut ? "-" : "";
    return FormatPattern(*depth, "#0.0#########");
}

std::string PercentageText(const TissueRow& row) {
    if (!row.percentage) return row.leftOut ? "-" : "";
    return PlainNumber(*row.percentage);
}

std::optional<double> ReadTissueBox(std::string_view text) {
    if (!StartsWithNumber(text)) return std::nullopt;
    return ParseLenient(text);
}

double DefaultTissueWeight(long index) {
    if (index < 1 || index > 15) ThrowIndexError("tissue weight", index, 1, 15);
    return kIcrp103TissueWeights[static_cast<std::size_t>(index - 1)];
}

}  // namespace dovex
