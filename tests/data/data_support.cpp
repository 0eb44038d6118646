// SPDX-License-Identifier: MIT
#include "tests/data/data_support.h"

#include "engine/platform.h"
#include "engine/textio.h"

namespace dovex::datatest {
namespace fs = std::filesystem;

fs::path DataDir() { return fs::path(DOVEX_DATA_DIR); }

std::string DataBytes(const std::string& name) {
    return ReadFileBytes(DataDir() / platform::PathFromUtf8(name), name);
}

namespace {

PhysicsTables LoadTables() {
    const char* bsf[] = {files::kBsfSoftBody, files::kBsfAirBody, files::kBsfSkinBody,
                         files::kBsfSoftHead, files::kBsfAirHead, files::kBsfSkinHead};
    bool all = true;
    for (const char* f : bsf) all = all && fs::exists(DataDir() / f);
    if (all) return LoadAllTables(DataDir());
    TempDir dir;
    for (const char* f :
         {files::kAttenuation, files::kDefaultOutput, files::kIcruSoft, files::kPrimary})
        fs::copy_file(DataDir() / f, dir.path() / f);
    std::string zeros = "placeholder\r\n";
    for (int k = 1; k <= 300; ++k) {
        zeros += std::to_string(k);
        for (int m = 1; m <= 31; ++m) zeros += ",0";
        zeros += "\r\n";
    }
    for (const char* f : bsf) WriteFileAtomic(dir.path() / f, zeros);
    return LoadAllTables(dir.path());
}

}  // namespace

const PhysicsTables& Tables() {
    static const PhysicsTables t = LoadTables();
    return t;
}

}  // namespace dovex::datatest
