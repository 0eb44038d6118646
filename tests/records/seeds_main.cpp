// SPDX-License-Identifier: MIT
// dovex-record-seeds DIR: writes the project's own dose-record fixtures (the quirks the tests
// cover) as the seed corpus of the dose-record fuzz target.
#include <cstdio>
#include <filesystem>

#include "tests/records/fixtures.h"
#include "tests/support/synthdata.h"

using namespace dovex::testing;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dovex-record-seeds DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    FxReport r;
    FxEvent quirks = FxRadiograph();
    quirks.nums = {{FxKvp(), "49.9", "kV"},
                   {FxTubeCurrent(), "476", "mA"},
                   {FxExposureTimeRetired(), "2", "ms"},
                   {FxExposure(), "1000", "uAs"},
                   {FxDap(), "0.00000239", "Gym2"},
                   {FxDoseRp(), "", ""},
                   {FxSid(), "1148", "mm"}};
    quirks.filters = {FxFilter{true, {}, {}, {}}};
    quirks.codes = {{FxTargetRegion(), {"T-D3000", "SNM3", "Chest"}},
                    {FxImageView(), {"R-10206", "SNM3", "antero-posterior"}}};
    FxEvent plane = FxRadiograph();
    plane.nums.push_back({FxDap(), "0.0000082", "Gy.m2"});
    plane.nums.push_back({FxDoseRp(), "0.0000569", "Gy"});
    plane.codes = {{FxReferencePoint(), FxInDetectorPlane()}};
    plane.filters = {FxFilter{false, {"C-127F9", "SRT", "Copper"}, "0.1", "0.3"}};
    FxEvent fluoro = FxRadiograph();
    fluoro.type = {"P5-06000", "SRT", "Fluoroscopy"};
    r.events = {quirks, plane, fluoro, FxRadiograph(), FxRadiograph()};
    WriteBytes(dir / "report-5-events.dcm", WriteReport(r));
    WriteBytes(dir / "report-no-preamble.dcm", WriteReport(r, false));
    FxImage a = FxChestImage();
    a.attributes.push_back({{0x0018, 0x1160}, "CU_0.2_MM"});
    WriteBytes(dir / "image-filter-type.dcm", WriteImage(a));
    FxImage b = FxChestImage();
    b.attributes.push_back({{0x0018, 0x7050}, "COPPER,ALUMINUM"});
    b.attributes.push_back({{0x0018, 0x7052}, "0.1,1.0"});
    b.attributes.push_back({{0x0018, 0x7054}, "0.1,1.0"});
    b.attributes.push_back({{0x0018, 0x1700}, "RECTANGULAR"});
    b.attributes.push_back({{0x0018, 0x1702}, "100"});
    b.attributes.push_back({{0x0018, 0x1704}, "2900"});
    b.attributes.push_back({{0x0018, 0x1706}, "120"});
    b.attributes.push_back({{0x0018, 0x1708}, "2800"});
    b.attributes.push_back({{0x0018, 0x1164}, "0.139\\0.139"});
    WriteBytes(dir / "image-filter-lists.dcm", WriteImage(b, false));
    FxReport ct;
    ct.ctReport = true;
    WriteBytes(dir / "ct-report.dcm", WriteReport(ct));
    return 0;
}
