// SPDX-License-Identifier: MIT
#pragma once
// The results file: a transposed CSV text (cp932, CR LF). Line 1 is the comment, line 2 the row
// count with a blank before and after it, then one line per field: its heading and one value per
// row. The reader consumes the file as a stream of comma-separated items, so it depends on the
// order of the items only, and it parses into a table of its own: the caller replaces its table
// only when the whole file was read.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "results/model.h"

namespace dovex {

// A results file that cannot be written or read; what() says why (for logs and the command
// line; the windows show their fixed messages).
class ResultsFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Files above this size are not results files (15 rows of 41 fields take a few kB).
inline constexpr std::size_t kMaxResultsFileBytes = 4u << 20;

// The text item of a field value: as it stands, or double-quoted with inner quotes doubled when
// it holds a comma, a double quote or a line break, begins or ends with a blank (which the
// reader would otherwise drop) or is empty (an empty last item would let the reader run on into
// the next line).
std::string CsvTextItem(std::string_view text);

// The lines of the file in UTF-8, without line ends: comment, row count, 39 field lines. Line
// breaks in the comment become blanks (the comment is one line of the file).
std::vector<std::string> ResultsFileLines(const ResultsTable& table, std::string_view comment,
                                          double airWOverE);
// The bytes of the file: the lines in cp932, each ending in CR LF. Throws ResultsFileError
// naming the text when a comment or text field has a character that cp932 cannot hold.
std::string ResultsFileBytes(const ResultsTable& table, std::string_view comment, double airWOverE);

// A file name typed without extension: refused (with the reason) when it is empty, is "." or
// "..", holds a path separator or a character that file names may not contain (\ / : * ? " < >
// | and control characters), ends in a blank or a point, or is a reserved device name.
// Returns std::nullopt when the name can be used.
std::optional<std::string> CheckResultsFileStem(std::string_view stem);

// Writes the file at `path` through a temporary file and a rename: on any failure the old file
// is as it was. Throws ResultsFileError with the reason.
void SaveResultsFile(const std::filesystem::path& path, const ResultsTable& table,
                     std::string_view comment, double airWOverE);

struct ResultsFileContents {
    ResultsTable table;   // the rows read, nextRow = n + 1
    std::string comment;  // line 1, UTF-8
    // The last item of the air conversion line, stored by the caller into airWOverE; none for a
    // file of 0 rows.
    std::optional<double> airWOverE;
    bool hasEffectiveDoseLine = false;  // false: a file ending after the entrance dose lines
};

// Parses the bytes of a results file. Throws ResultsFileError (with the line and the reason)
// for an empty or truncated file, a row count that is not an integer from 0 to 15, an item that
// is not a number where a number belongs, bytes that are not cp932 and files above
// kMaxResultsFileBytes.
ResultsFileContents ParseResultsFile(std::string_view bytes, const std::string& name = "");
// Reads and parses a file (the extension is not examined).
ResultsFileContents ReadResultsFile(const std::filesystem::path& path);

// Line 1 of a file for the preview of the read dialog; std::nullopt when the file cannot be
// opened, is empty, too large or not cp932.
std::optional<std::string> ReadResultsComment(const std::filesystem::path& path);

// Reading numbers from a results file: a number that fills the item (blanks around it allowed),
// finite; std::nullopt otherwise.
std::optional<double> StrictNumber(std::string_view item);

}  // namespace dovex
