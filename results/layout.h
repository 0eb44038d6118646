// SPDX-License-Identifier: MIT
#pragma once
// What the results window and the printed page show, as positioned texts and lines, independent
// of any drawing toolkit: the window replays them on its surface (1160 units wide, about 909
// high, y downwards), the printer on a landscape page in millimetres. Every text is placed by
// the top-left corner of its line.
#include <string>
#include <string_view>
#include <vector>

#include "results/model.h"

namespace dovex {

struct PlacedText {
    double x = 0, y = 0;
    std::string text;
    // Room to the next column rule (0: no limit). A text that would run over it is drawn
    // narrower and, if need be, cut with "…", so that it never covers the next column.
    double maxWidth = 0;
    bool operator==(const PlacedText&) const = default;
};

struct PlacedLine {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int width = 1;  // 1 thin, 2 (window heading rules) or 5 (printed frame)
    int grey = 0;   // 0 black, 128 dark grey, 192 light grey
    bool operator==(const PlacedLine&) const = default;
};

// The first `count` characters of a UTF-8 text (whole characters, never a cut byte sequence).
std::string Utf8Prefix(std::string_view text, std::size_t count);
std::size_t Utf8Length(std::string_view text);

// ---- Results window surface ----
inline constexpr double kSurfaceWidth = 1160;
inline constexpr double kSurfaceHeight = 909;

std::vector<PlacedText> SurfaceHeadings();
// Items of row position n (1..15), band from y = 50 + 50n to 100 + 50n.
std::vector<PlacedText> SurfaceRowTexts(const ResultRow& row, int n);
// Grid lines shown while the table holds rows.
std::vector<PlacedLine> SurfaceGridLines();
// The white box painted over earlier totals, and the totals at y = 860.
struct TotalsBox {
    double x1 = 880, y1 = 860, x2 = 1150, y2 = 900;
};
std::vector<PlacedText> SurfaceTotalsTexts(const ColumnTotals& totals);

// ---- Printed page (millimetres, landscape) ----
std::vector<PlacedLine> PrintRuling();
std::vector<PlacedText> PrintHeadings();  // 9 points
// Items of row n (1..15), base line y = 33 + 10n.
std::vector<PlacedText> PrintRowTexts(const ResultRow& row, int n, double airWOverE);
std::vector<PlacedText> PrintTitle(std::string_view userName);  // 12 points

}  // namespace dovex
