// SPDX-License-Identifier: MIT
#pragma once
// The validation tables of the user's manual (docs/manual/06-validation.md): the program's side
// computed now from the shipped data and the code, beside the published or independently computed
// figures of tools/reference. Each table is a block of the chapter between the lines
//   <!-- generated: NAME -->   and   <!-- end: NAME -->
// so that the chapter's prose stays hand-written and its numbers cannot drift from the program.
#include <filesystem>
#include <string>
#include <vector>

namespace dovex::manual {

struct GeneratedTable {
    std::string name;      // block name in the chapter
    std::string markdown;  // the table and its notes, ending with a newline
};

struct Sources {
    std::filesystem::path dataDir;       // the program's data folder (data/)
    std::filesystem::path referenceDir;  // tools/reference
};

// Every table, in the order of the chapter. Throws on a missing or malformed reference file.
std::vector<GeneratedTable> ValidationTables(const Sources& s);

struct BlockMismatch {
    std::string name;
    std::string inDocument;  // empty when the block is missing from the document
    std::string generated;
};

// The blocks of `document` that differ from `tables` (or are missing).
std::vector<BlockMismatch> CompareBlocks(const std::string& document,
                                         const std::vector<GeneratedTable>& tables);

// `document` with every block replaced by the generated text. Throws std::runtime_error when a
// block's markers are missing.
std::string ReplaceBlocks(const std::string& document, const std::vector<GeneratedTable>& tables);

// Rows of the Markdown tables in `text` whose first cell is `key`, as cells without the key.
std::vector<std::vector<std::string>> KeyedRows(const std::string& text, const std::string& key);

}  // namespace dovex::manual
