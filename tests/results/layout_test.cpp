// SPDX-License-Identifier: MIT
#include "results/layout.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "calculation/resultfields.h"
#include "engine/numtext.h"
#include "sample_rows.h"

namespace dovex {
namespace {

// The text placed at (x, y), or "<none>".
std::string At(const std::vector<PlacedText>& texts, double x, double y) {
    for (const auto& t : texts)
        if (t.x == x && t.y == y) return t.text;
    return "<none>";
}

TEST(SurfaceLayout, FirstRowInTheFirstBand) {
    auto t = SurfaceRowTexts(test::TypicalRow(), 1);
    EXPECT_EQ(At(t, 10, 99), "腹部正面");
    EXPECT_EQ(At(t, 10, 123), "平面");
    EXPECT_EQ(At(t, 95, 113), "2.58E-5");
    EXPECT_EQ(At(t, 170, 113), "75.0");
    EXPECT_EQ(At(t, 230, 113), "200.0");
    EXPECT_EQ(At(t, 300, 113), "0.05");
    EXPECT_EQ(At(t, 357, 99), "3.50");  // (0.1 + 0.25) cm = 3.5 mm of aluminium
    EXPECT_EQ(At(t, 460, 113), "―");    // no arbitrary filter
    EXPECT_EQ(At(t, 510, 99), "100");
    EXPECT_EQ(At(t, 510, 123), "80");
    EXPECT_EQ(At(t, 615, 113), "43.2");
    EXPECT_EQ(At(t, 725, 123), "1.299");
    EXPECT_EQ(At(t, 1100, 113), "0.123");
    EXPECT_EQ(At(t, 1110, 113), "<none>");
}

TEST(SurfaceLayout, FilterNameCutAndMissingEstimate) {
    ResultRow r = test::TypicalRow();
    r.arbitraryFilterName = "ポリメタクリル酸メチル";  // 11 characters
    r.arbitraryFilterThickness = 0.2;
    r.effectiveDose = 0;
    r.exposureTime = 0.125;
    r.surfaceShape = SurfaceShape::EllipticCylinder;
    r.ellipseHRadius = 15;
    r.ellipseVRadius = 10.5;
    auto t = SurfaceRowTexts(r, 15);
    EXPECT_EQ(At(t, 440, 799), "ポリメタクリル酸");
    EXPECT_EQ(At(t, 450, 823), "2.00");
    EXPECT_EQ(At(t, 460, 813), "<none>");
    EXPECT_EQ(At(t, 1110, 813), "―");
    EXPECT_EQ(At(t, 300, 813), "0.125");
    EXPECT_EQ(At(t, 10, 823), "楕円15,10.5");
    r.arbitraryFilterName = "ｱﾙﾐﾆｳﾑ合金";  // 8 characters: shown whole
    EXPECT_EQ(At(SurfaceRowTexts(r, 2), 440, 149), "ｱﾙﾐﾆｳﾑ合金");
}

TEST(SurfaceLayout, GridAndTotals) {
    auto g = SurfaceGridLines();
    EXPECT_EQ(std::count_if(g.begin(), g.end(),
                            [](const PlacedLine& l) { return l.y1 == l.y2 && l.grey == 192; }),
              17);  // 14 row separators and 3 partial rules
    EXPECT_EQ(std::count_if(g.begin(), g.end(), [](const PlacedLine& l) { return l.y2 == 909; }),
              3);  // the verticals that divide the totals line
    ColumnTotals s{3.734, 1, 2, 0.5};
    auto t = SurfaceTotalsTexts(s);
    EXPECT_EQ(At(t, 900, 860), "3.73");
    EXPECT_EQ(At(t, 1100, 860), "0.500");
}

TEST(PrintLayout, OneRow) {
    ResultRow r = test::TypicalRow();
    auto t = PrintRowTexts(r, 1, 33.97);
    EXPECT_EQ(At(t, 3, 41), "腹部正面");
    EXPECT_EQ(At(t, 3, 45), "平面");
    EXPECT_EQ(At(t, 22, 43), "定電圧");
    EXPECT_EQ(At(t, 47, 43), "75");
    EXPECT_EQ(At(t, 65.5, 43), "0.05");
    EXPECT_EQ(At(t, 87, 43), "2.50");
    EXPECT_EQ(At(t, 120, 43), "―");
    EXPECT_EQ(At(t, 151, 43), "半切");
    EXPECT_EQ(At(t, 230, 43), "33.97");
    EXPECT_EQ(At(t, 274, 43), "0.123");
    r.fieldPreset = "その他";
    r.effectiveDose = 0;
    r.rectification = 3;
    r.arbitraryFilterName = "ポリメタクリル酸メチル";
    r.arbitraryFilterThickness = 0.1;
    t = PrintRowTexts(r, 15, 34);
    EXPECT_EQ(At(t, 149, 183), "その他");
    EXPECT_EQ(At(t, 151, 183), "<none>");
    EXPECT_EQ(At(t, 278, 183), "―");
    EXPECT_EQ(At(t, 22, 183), "単相全");
    EXPECT_EQ(At(t, 116, 181), "ポリメタクリル酸メチル");  // whole, not cut
    EXPECT_EQ(At(t, 118, 185), "1.00");
    EXPECT_EQ(At(t, 230, 183), "34.00");
}

// Each result quantity on the results window and on the printed page is written with the pattern
// the table of result quantities gives that place; conversion factors below 10 show a place
// whose pattern differs.
TEST(Layouts, ResultQuantitiesTakeTheirPlacesPatterns) {
    ResultRow r = test::TypicalRow();
    r.convSoft = 8.456;
    r.convSkin = 9.5;
    struct Item {
        const char* json;
        double value;
        double surfaceX, surfaceY;  // row 1 on the results window, 0: not shown there
        double printX;              // row 1 of the printed page (y 43)
    };
    const Item items[] = {
        {"exposureAt1m", r.exposureAt1m, 95, 113, 33},
        {"bsfSoft", r.bsfSoft, 725, 99, 180},
        {"bsfSkin", r.bsfSkin, 0, 0, 190},
        {"bsfAir", r.bsfAir, 725, 123, 200},
        {"convSoft", r.convSoft, 783, 113, 210},
        {"convSkin", r.convSkin, 838, 113, 220},
        {"esdSoft", r.esdSoft, 900, 113, 241},
        {"esdSkin", r.esdSkin, 960, 113, 252},
        {"esdAir", r.esdAir, 1025, 113, 264},
        {"effectiveDose", r.effectiveDose, 1100, 113, 274},
    };
    const auto surface = SurfaceRowTexts(r, 1);
    const auto page = PrintRowTexts(r, 1, 33.97);
    for (const Item& i : items) {
        const calc::ResultQuantity& q = calc::ResultQuantityOf(i.json);
        if (i.surfaceX > 0) {
            EXPECT_EQ(At(surface, i.surfaceX, i.surfaceY),
                      FormatPattern(i.value, q.patternAt(calc::ResultPlace::Window)))
                << i.json;
        }
        EXPECT_EQ(At(page, i.printX, 43),
                  FormatPattern(i.value, q.patternAt(calc::ResultPlace::PrintedPage)))
            << i.json;
    }
    EXPECT_EQ(At(surface, 783, 113), "08.46");
    EXPECT_EQ(At(page, 210, 43), "8.46");
    const ColumnTotals totals{1.5, 2.25, 3.125, 0.0456};
    const auto foot = SurfaceTotalsTexts(totals);
    EXPECT_EQ(
        At(foot, 1100, 860),
        FormatPattern(
            0.0456, calc::ResultQuantityOf("effectiveDose").patternAt(calc::ResultPlace::Window)));
}

TEST(PrintLayout, RulingAndTitle) {
    auto l = PrintRuling();
    int separators = 0;
    for (const auto& x : l)
        if (x.y1 == x.y2 && x.x1 == 0 && x.x2 == 285 && x.y1 >= 50 && x.width == 1) ++separators;
    EXPECT_EQ(separators, 14);
    auto t = PrintTitle("山田");
    EXPECT_EQ(At(t, 200, 12), "山田  with  Dovex-FV");
}

TEST(Utf8Text, PrefixKeepsWholeCharacters) {
    EXPECT_EQ(Utf8Prefix("半切サイズ 縦", 2), "半切");
    EXPECT_EQ(Utf8Prefix("ab", 5), "ab");
    EXPECT_EQ(Utf8Length("ｱﾙﾐ付加"), 5u);
    EXPECT_EQ(Utf8Prefix("\xE5\x8D", 1), "\xE5\x8D");  // a cut sequence stays inside the text
}

}  // namespace
}  // namespace dovex
