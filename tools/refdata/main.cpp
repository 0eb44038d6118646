// SPDX-License-Identifier: MIT
// dovex-refdata: writes the physical reference data files of the dosimetry engine into a folder.
//   dovex-refdata --nist <folder of the NIST CSV tables> --out <data folder> [--quiet]
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "engine/textio.h"
#include "tools/refdata/refdata.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: dovex-refdata --nist <dir> --out <dir> [--quiet]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path nist, out;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--nist" && i + 1 < argc)
            nist = argv[++i];
        else if (a == "--out" && i + 1 < argc)
            out = argv[++i];
        else if (a == "--quiet")
            quiet = true;
        else
            return Usage();
    }
    if (nist.empty() || out.empty()) return Usage();
    try {
        const dovex::refdata::Generated g = dovex::refdata::GenerateAll(nist);
        std::filesystem::create_directories(out);
        for (const auto& f : g.files) dovex::WriteFileAtomic(out / f.name, f.bytes);
        if (!quiet) std::fputs(g.report.c_str(), stdout);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dovex-refdata: %s\n", e.what());
        return 1;
    }
}
