// SPDX-License-Identifier: MIT
// The user's manual against the program: the validation chapter holds the tables the program
// computes now (a table edited by hand, or a change of the code or the data that moves a number,
// fails here until `make manual-tables` writes them again), and every local link and image of
// the manual resolves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tools/manual/manualtables.h"

namespace dovex::manual {
namespace {

namespace fs = std::filesystem;
const fs::path kSource = DOVEX_SOURCE_DIR;
const fs::path kManual = kSource / "docs" / "manual";

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::vector<GeneratedTable>& Tables() {
    static const std::vector<GeneratedTable> t =
        ValidationTables({kSource / "data", kSource / "tools" / "reference"});
    return t;
}

TEST(ManualTables, ValidationChapterHoldsWhatTheProgramComputesNow) {
    const std::string chapter = Read(kManual / "06-validation.md");
    ASSERT_FALSE(chapter.empty());
    for (const BlockMismatch& m : CompareBlocks(chapter, Tables()))
        ADD_FAILURE() << "docs/manual/06-validation.md: table '" << m.name
                      << "' differs from what the program computes now (run `make manual-tables` "
                         "and review the change)\n--- manual\n"
                      << m.inDocument << "+++ program\n"
                      << m.generated;
}

TEST(ManualTables, EveryTableComparesTheProgramWithAReference) {
    ASSERT_EQ(Tables().size(), 5u);
    for (const GeneratedTable& t : Tables()) {
        EXPECT_NE(t.markdown.find("|---"), std::string::npos) << t.name;
        // A row per reference figure, each with the program's value and the difference.
        EXPECT_NE(t.markdown.find(" %"), std::string::npos) << t.name;
        EXPECT_EQ(t.markdown.find("nan"), std::string::npos) << t.name;
        EXPECT_EQ(t.markdown.find("inf"), std::string::npos) << t.name;
    }
}

// A digit changed by hand inside a block, a block removed, and text outside the blocks.
TEST(ManualTables, AHandEditIsFoundAndOnlyTheBlocksAreRewritten) {
    std::string doc = "# 検証\n\n手で書いた説明\n\n";
    for (const GeneratedTable& t : Tables())
        doc += "<!-- generated: " + t.name + " -->\n<!-- end: " + t.name + " -->\n\n後の説明\n";
    const std::string written = ReplaceBlocks(doc, Tables());
    EXPECT_TRUE(CompareBlocks(written, Tables()).empty());
    EXPECT_NE(written.find("手で書いた説明"), std::string::npos);
    EXPECT_EQ(ReplaceBlocks(written, Tables()), written);

    std::string edited = written;
    const auto at = edited.find("| 49.4 | 20 | ");
    ASSERT_NE(at, std::string::npos);
    edited[at + std::string("| 49.4 | 20 | ").size()] ^= 1;  // 1.6.. -> 0.6.. and so on
    const auto diff = CompareBlocks(edited, Tables());
    ASSERT_EQ(diff.size(), 1u);
    EXPECT_EQ(diff[0].name, "backscatter");

    std::string missing = written;
    missing.erase(missing.find("<!-- generated: hvl -->"), 10);
    EXPECT_EQ(CompareBlocks(missing, Tables()).size(), 1u);
    EXPECT_THROW(ReplaceBlocks(missing, Tables()), std::runtime_error);
}

TEST(ManualTables, KeyedRowsReadTheReferenceTables) {
    const auto rows =
        KeyedRows("| key | a | b |\n|---|---|---|\n| hvl | 80 | 2.9 |\n| x | 1 | 2 |\n", "hvl");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"80", "2.9"}));
}

// Every chapter is reachable from the index, and every relative link and image names a file of
// the manual.
TEST(Manual, LinksAndImagesResolve) {
    const std::string index = Read(kManual / "index.md");
    std::size_t chapters = 0;
    for (const auto& e : fs::directory_iterator(kManual)) {
        const std::string name = e.path().filename().string();
        if (e.path().extension() != ".md" || name == "index.md") continue;
        ++chapters;
        EXPECT_NE(index.find("(" + name + ")"), std::string::npos) << name << " not in index.md";
        const std::string text = Read(e.path());
        const std::regex link(R"(\]\(([^)#:\s]+)(#[^)]*)?\))");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), link);
             it != std::sregex_iterator(); ++it) {
            const std::string target = (*it)[1];
            EXPECT_TRUE(fs::exists(kManual / target)) << name << " links to missing " << target;
        }
    }
    EXPECT_EQ(chapters, 7u);
}

}  // namespace
}  // namespace dovex::manual
