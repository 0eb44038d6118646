// SPDX-License-Identifier: MIT
// dovex-drl: writes the reference-level file of the data folder from the reference table.
//   dovex-drl --reference tools/reference/japan-drl-2020.md --out data
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "engine/drl.h"
#include "engine/textio.h"
#include "tools/drl/drlgen.h"

int main(int argc, char** argv) {
    std::filesystem::path ref, out;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--reference")
            ref = argv[i + 1];
        else if (a == "--out")
            out = argv[i + 1];
    }
    if (ref.empty() || out.empty() || argc != 5) {
        std::fprintf(stderr, "usage: dovex-drl --reference <japan-drl-2020.md> --out <dir>\n");
        return 2;
    }
    try {
        const std::string bytes =
            dovex::drlgen::GenerateDrlFile(dovex::ReadFileBytes(ref, ref.filename().string()));
        dovex::WriteFileAtomic(out / dovex::kDrlFileName, bytes);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dovex-drl: %s\n", e.what());
        return 1;
    }
}
