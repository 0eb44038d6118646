// SPDX-License-Identifier: MIT
// dovex-manualtables: writes the validation tables of the user's manual from what the program
// computes now, or checks that the manual holds them.
//   dovex-manualtables [--data DIR] [--reference DIR] [--check] MANUAL_CHAPTER.md
// --check changes nothing and ends with status 1 when a table of the chapter differs.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tools/manual/manualtables.h"

#ifndef DOVEX_SOURCE_DIR
#define DOVEX_SOURCE_DIR "."
#endif

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    dovex::manual::Sources s{fs::path(DOVEX_SOURCE_DIR) / "data",
                             fs::path(DOVEX_SOURCE_DIR) / "tools" / "reference"};
    bool check = false;
    fs::path chapter;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--data" && i + 1 < argc) {
            s.dataDir = argv[++i];
        } else if (a == "--reference" && i + 1 < argc) {
            s.referenceDir = argv[++i];
        } else if (a == "--check") {
            check = true;
        } else if (!a.empty() && a[0] != '-' && chapter.empty()) {
            chapter = a;
        } else {
            std::fprintf(stderr,
                         "usage: dovex-manualtables [--data DIR] [--reference DIR] [--check] "
                         "CHAPTER.md\n");
            return 2;
        }
    }
    if (chapter.empty())
        chapter = fs::path(DOVEX_SOURCE_DIR) / "docs" / "manual" / "06-validation.md";
    try {
        std::ifstream in(chapter, std::ios::binary);
        if (!in) throw std::runtime_error("cannot read " + chapter.string());
        std::ostringstream text;
        text << in.rdbuf();
        const auto tables = dovex::manual::ValidationTables(s);
        if (check) {
            const auto diff = dovex::manual::CompareBlocks(text.str(), tables);
            for (const auto& d : diff)
                std::cerr << chapter.string() << ": table '" << d.name
                          << "' differs from what the program computes now:\n--- manual\n"
                          << d.inDocument << "+++ program\n"
                          << d.generated;
            return diff.empty() ? 0 : 1;
        }
        const std::string updated = dovex::manual::ReplaceBlocks(text.str(), tables);
        const fs::path tmp = chapter.string() + ".tmp";
        {
            std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
            out << updated;
            if (!out.flush()) throw std::runtime_error("cannot write " + tmp.string());
        }
        fs::rename(tmp, chapter);
        std::printf("%s: %zu tables written\n", chapter.string().c_str(), tables.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dovex-manualtables: %s\n", e.what());
        return 1;
    }
    return 0;
}
