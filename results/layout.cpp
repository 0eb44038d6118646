// SPDX-License-Identifier: MIT
#include "results/layout.h"

#include <algorithm>

#include "calculation/resultfields.h"
#include "engine/kinds.h"
#include "engine/numtext.h"

namespace dovex {
namespace {

constexpr const char* kDash = "―";

// A result quantity with the pattern the table of result quantities gives the place.
std::string Shown(double value, const char* json, calc::ResultPlace place) {
    return FormatPattern(value, calc::ResultQuantityOf(json).patternAt(place));
}
std::string OnSurface(double value, const char* json) {
    return Shown(value, json, calc::ResultPlace::Window);
}
std::string Printed(double value, const char* json) {
    return Shown(value, json, calc::ResultPlace::PrintedPage);
}

std::size_t Utf8CharBytes(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;  // a stray byte counts as one character
}

// Gives every text the room from its place to the next vertical rule that crosses its line (or
// to the right edge), less a small gap, so that no value runs into the next column however long
// it is. A text that already has a tighter limit keeps it.
void KeepInCells(std::vector<PlacedText>& texts, const std::vector<PlacedLine>& rules,
                 double rightEdge, double gap) {
    for (PlacedText& t : texts) {
        const double lineY = t.y + 1;
        double next = rightEdge;
        for (const PlacedLine& l : rules) {
            if (l.x1 != l.x2 || l.x1 <= t.x + gap) continue;
            if (lineY < std::min(l.y1, l.y2) || lineY > std::max(l.y1, l.y2)) continue;
            next = std::min(next, l.x1);
        }
        const double room = std::max(next - t.x - gap, gap);
        if (t.maxWidth <= 0 || room < t.maxWidth) t.maxWidth = room;
    }
}

}  // namespace

std::string Utf8Prefix(std::string_view text, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t k = 0; k < count && pos < text.size(); ++k)
        pos += Utf8CharBytes(static_cast<unsigned char>(text[pos]));
    return std::string(text.substr(0, std::min(pos, text.size())));
}

std::size_t Utf8Length(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t pos = 0; pos < text.size(); ++n)
        pos += Utf8CharBytes(static_cast<unsigned char>(text[pos]));
    return n;
}

std::vector<PlacedText> SurfaceHeadings() {
    return {
        {10, 40, "照射部位"},
        {95, 10, "照射線量"},
        {110, 40, "at 1m"},
        {110, 70, "C/kg"},
        {165, 30, "管電圧"},
        {180, 70, "kV"},
        {230, 30, "管電流"},
        {245, 70, "mA"},
        {300, 30, "時間"},
        {303, 70, "sec"},
        {400, 2, "総濾過"},
        {350, 45, "アルミ"},
        {360, 70, "mm"},
        {410, 45, "銅"},
        {400, 70, "mm"},
        {450, 45, "材質"},
        {450, 70, "mm"},
        {512, 18, "FID"},
        {512, 42, "FSD"},
        {515, 70, "cm"},
        {545, 30, "被射体厚"},
        {560, 70, "cm"},
        {610, 2, "照射野 at FID"},
        {610, 45, "長軸"},
        {620, 70, "cm"},
        {670, 45, "短軸"},
        {680, 70, "cm"},
        {720, 2, "B.S.F."},
        {720, 45, "Soft"},
        {730, 70, "air"},
        {768, 2, "吸収線量変換係数"},
        {800, 32, "Gy/(C/kg)"},
        {785, 70, "Soft"},
        {840, 70, "skin"},
        {935, 2, "入射表面線量"},
        {965, 32, "mGy"},
        {895, 70, "Soft"},
        {960, 70, "skin"},
        {1025, 70, "air"},
        {1090, 2, "実効線量"},
        {1090, 32, "(概算値)"},
        {1100, 70, "mSv"},
    };
}

// The entrance surface as a row shows it: the shape word, with the radii of a cylinder or an
// ellipse; `gap` stands before the first radius and `sep` between the two radii.
static std::string SurfaceText(const ResultRow& r, const char* gap, const char* sep) {
    switch (r.surfaceShape) {
        case SurfaceShape::Plane:
            return "平面";
        case SurfaceShape::HeadPlane:
            return "頭平面";
        case SurfaceShape::Cylinder:
            return "円柱" + std::string(gap) + PlainNumber(r.cylinderRadius);
        case SurfaceShape::EllipticCylinder:
            return "楕円" + std::string(gap) + PlainNumber(r.ellipseHRadius) + sep +
                   PlainNumber(r.ellipseVRadius);
        case SurfaceShape::Racetrack:
            break;
    }
    return "Racetrack";
}

std::vector<PlacedText> SurfaceRowTexts(const ResultRow& r, int n) {
    const double upper = 49 + 50.0 * n, lower = 73 + 50.0 * n, middle = 63 + 50.0 * n;
    std::vector<PlacedText> t;
    t.push_back({10, upper, r.examPart, 78});
    t.push_back({10, lower, SurfaceText(r, "", ","), 78});
    t.push_back({95, middle, OnSurface(r.exposureAt1m, "exposureAt1m")});
    t.push_back({170, middle, FormatPattern(r.tubeVoltage, "#00.0")});
    t.push_back({230, middle, FormatPattern(r.tubeCurrent, "#00.0")});
    t.push_back({300, middle, FormatPattern(r.exposureTime, "#0.00#")});
    t.push_back({357, upper, FormatPattern((r.addedAl + r.inherentFilter) * 10, "0.00")});
    t.push_back({400, middle, FormatPattern(r.addedCu * 10, "0.00")});
    if (r.arbitraryFilterThickness > 0) {
        std::string name = r.arbitraryFilterName;
        if (Utf8Length(name) >= 9) name = Utf8Prefix(name, 8);
        t.push_back({440, upper, name, 59});
        t.push_back({450, lower, FormatPattern(r.arbitraryFilterThickness * 10, "0.00")});
    } else {
        t.push_back({460, middle, kDash});
    }
    t.push_back({510, upper, PlainNumber(r.ffd)});
    t.push_back({510, lower, PlainNumber(r.fsd)});
    t.push_back({555, middle, PlainNumber(r.subjectThickness)});
    t.push_back({615, middle, FormatPattern(r.fieldLong, "00.0")});
    t.push_back({668, middle, FormatPattern(r.fieldShort, "00.0")});
    t.push_back({725, upper, OnSurface(r.bsfSoft, "bsfSoft")});
    t.push_back({725, lower, OnSurface(r.bsfAir, "bsfAir")});
    t.push_back({783, middle, OnSurface(r.convSoft, "convSoft")});
    t.push_back({838, middle, OnSurface(r.convSkin, "convSkin")});
    t.push_back({900, middle, OnSurface(r.esdSoft, "esdSoft")});
    t.push_back({960, middle, OnSurface(r.esdSkin, "esdSkin")});
    t.push_back({1025, middle, OnSurface(r.esdAir, "esdAir")});
    if (r.effectiveDose > 0)
        t.push_back({1100, middle, OnSurface(r.effectiveDose, "effectiveDose")});
    else
        t.push_back({1110, middle, kDash});
    KeepInCells(t, SurfaceGridLines(), kSurfaceWidth, 2);
    return t;
}

std::vector<PlacedLine> SurfaceGridLines() {
    std::vector<PlacedLine> l;
    const double w = kSurfaceWidth, bottom = 855.5, foot = kSurfaceHeight;
    // Dark grey, width 2.
    l.push_back({0, 100, w, 100, 2, 128});
    for (double x : {90.0, 711.5, 884.8}) l.push_back({x, 0, x, bottom, 2, 128});
    l.push_back({1080, 0, 1080, foot, 2, 128});
    // Black bottom rule.
    l.push_back({0, bottom, w, bottom, 1, 0});
    // Light grey, width 1.
    for (double y : {150.0, 200.0, 250.0, 299.0, 349.0, 400.0, 449.0, 500.0, 550.0, 600.0, 650.0,
                     700.0, 750.0, 800.0})
        l.push_back({0, y, w, y, 1, 192});
    for (double x : {156.6, 219.0, 282.8, 346.6, 501.7, 547.3, 602.0, 775.0})
        l.push_back({x, 0, x, bottom, 1, 192});
    for (double x : {392.2, 437.8, 656.8}) l.push_back({x, 40, x, bottom, 1, 192});
    l.push_back({830, 66.8, 830, bottom, 1, 192});
    for (double x : {947.5, 1012.1}) l.push_back({x, 66.8, x, foot, 1, 192});
    l.push_back({344.6, 40, 501.2, 40, 1, 192});
    l.push_back({603, 40, 712.6, 40, 1, 192});
    l.push_back({775.3, 62.7, 1080.7, 62.7, 1, 192});
    return l;
}

std::vector<PlacedText> SurfaceTotalsTexts(const ColumnTotals& s) {
    std::vector<PlacedText> t = {
        {900, 860, OnSurface(s.esdSoft, "esdSoft")},
        {960, 860, OnSurface(s.esdSkin, "esdSkin")},
        {1025, 860, OnSurface(s.esdAir, "esdAir")},
        {1100, 860, OnSurface(s.effectiveDose, "effectiveDose")},
    };
    KeepInCells(t, SurfaceGridLines(), kSurfaceWidth, 2);
    return t;
}

std::vector<PlacedLine> PrintRuling() {
    std::vector<PlacedLine> l;
    // Width 5: the outer frame, the rule under the headings, three verticals.
    l.push_back({0, 20, 285, 20, 5, 0});
    l.push_back({285, 20, 285, 190, 5, 0});
    l.push_back({285, 190, 0, 190, 5, 0});
    l.push_back({0, 190, 0, 20, 5, 0});
    l.push_back({0, 40, 285, 40, 5, 0});
    for (double x : {21.0, 179.0, 273.0}) l.push_back({x, 20, x, 190, 5, 0});
    // Width 1.
    for (double x : {32.0, 45.0, 55.0, 65.0, 75.0, 85.0, 129.0, 139.0, 148.0, 179.0, 209.0, 239.0})
        l.push_back({x, 20, x, 190, 1, 0});
    for (double x : {95.0, 105.0, 115.0, 159.0, 169.0}) l.push_back({x, 27, x, 190, 1, 0});
    for (double x : {189.0, 199.0, 219.0, 229.0, 251.0, 262.0}) l.push_back({x, 33, x, 190, 1, 0});
    l.push_back({85, 27, 129, 27, 1, 0});
    l.push_back({148, 27, 179, 27, 1, 0});
    l.push_back({179, 33, 273, 33, 1, 0});
    for (int y = 50; y <= 180; y += 10) l.push_back({0, double(y), 285, double(y), 1, 0});
    return l;
}

std::vector<PlacedText> PrintHeadings() {
    return {
        {5, 25, "照射部位"},   {6, 29, "入射面"},     {24, 25, "整流"},
        {24, 29, "方式"},      {35, 23, "照射"},      {35, 27, "線量"},
        {35, 31, "at 1m"},     {35, 35, "C/kg"},      {45, 27, "管電圧"},
        {49, 35, "kV"},        {55, 27, "管電流"},    {58, 35, "mA"},
        {67, 27, "時間"},      {67, 35, "sec"},       {75, 25, "ﾀｰｹﾞｯﾄ"},
        {77, 29, "角度"},      {79, 35, "度"},        {100, 22, "総濾過"},
        {87, 30, "固有"},      {87, 35, "mmAl", 7.6}, {97, 28, "ｱﾙﾐ"},
        {97, 31, "付加"},      {98, 35, "mm"},        {108, 28, "銅"},
        {107, 31, "付加"},     {108, 35, "mm"},       {117, 28, "その他"},
        {118, 31, "付加"},     {119, 35, "mm"},       {131, 24, "FFD"},
        {131, 28, "FSD"},      {132, 35, "cm"},       {140, 24, "被写"},
        {140, 28, "体厚"},     {141, 35, "cm"},       {153, 22, "照射野 at FFD"},
        {149, 33, "サイズ"},   {160, 30, "長軸"},     {162, 35, "cm"},
        {170, 30, "短軸"},     {172, 35, "cm"},       {185, 25, "後方散乱係数"},
        {181, 35, "Soft"},     {191, 35, "Skin"},     {201, 35, "Air"},
        {217, 21, "吸収線量"}, {217, 25, "変換係数"}, {218, 29, "Gy/C/kg"},
        {210, 35, "Soft"},     {220, 35, "Skin"},     {230, 35, "Air"},
        {249, 21, "入射表面"}, {254, 25, "線量"},     {255, 29, "mGy"},
        {241, 35, "Soft"},     {253, 35, "Skin"},     {266, 35, "Air"},
        {277, 21, "実効"},     {277, 24, "線量"},     {275, 29, "概算値"},
        {275, 35, "mSv"},
    };
}

std::vector<PlacedText> PrintRowTexts(const ResultRow& r, int n, double airWOverE) {
    const double base = 33 + 10.0 * n, upper = base - 2, lower = base + 2;
    std::vector<PlacedText> t;
    t.push_back({3, upper, r.examPart, 17.5});
    t.push_back({3, lower, SurfaceText(r, " ", ", "), 17.5});
    t.push_back({22, base, std::string(PrintText(RectificationOrSinglePhase(r.rectification)))});
    t.push_back({33, base, Printed(r.exposureAt1m, "exposureAt1m")});
    t.push_back({47, base, FormatPattern(r.tubeVoltage, "#00")});
    t.push_back({56, base, FormatPattern(r.tubeCurrent, "#00")});
    t.push_back({65.5, base, PlainNumber(r.exposureTime)});
    t.push_back({77, base, PlainNumber(r.targetAngle)});
    t.push_back({87, base, FormatPattern(r.inherentFilter * 10, "0.00")});
    t.push_back({97, base, FormatPattern(r.addedAl * 10, "0.00")});
    t.push_back({107, base, FormatPattern(r.addedCu * 10, "0.00")});
    if (r.arbitraryFilterThickness > 0) {
        t.push_back({116, upper, r.arbitraryFilterName, 12.5});
        t.push_back({118, lower, FormatPattern(r.arbitraryFilterThickness * 10, "0.00")});
    } else {
        t.push_back({120, base, kDash});
    }
    t.push_back({130, upper, PlainNumber(r.ffd)});
    t.push_back({130, lower, PlainNumber(r.fsd)});
    t.push_back({140, base, PlainNumber(r.subjectThickness)});
    if (r.fieldPreset == "その他")
        t.push_back({149, base, "その他", 9.5});
    else
        t.push_back({151, base, Utf8Prefix(r.fieldPreset, 2)});
    t.push_back({161, base, FormatPattern(r.fieldLong, "00.0")});
    t.push_back({171, base, FormatPattern(r.fieldShort, "00.0")});
    t.push_back({180, base, Printed(r.bsfSoft, "bsfSoft")});
    t.push_back({190, base, Printed(r.bsfSkin, "bsfSkin")});
    t.push_back({200, base, Printed(r.bsfAir, "bsfAir")});
    t.push_back({210, base, Printed(r.convSoft, "convSoft")});
    t.push_back({220, base, Printed(r.convSkin, "convSkin")});
    t.push_back({230, base, FormatPattern(airWOverE, "00.00")});
    t.push_back({241, base, Printed(r.esdSoft, "esdSoft")});
    t.push_back({252, base, Printed(r.esdSkin, "esdSkin")});
    t.push_back({264, base, Printed(r.esdAir, "esdAir")});
    if (r.effectiveDose != 0)
        t.push_back({274, base, Printed(r.effectiveDose, "effectiveDose")});
    else
        t.push_back({278, base, kDash});
    KeepInCells(t, PrintRuling(), 285, 0.5);
    return t;
}

std::vector<PlacedText> PrintTitle(std::string_view userName) {
    return {
        {50, 12, "診断Ｘ線の入射表面線量"},
        {200, 12, std::string(userName) + "  with  Dovex-FV", 85},
    };
}

}  // namespace dovex
