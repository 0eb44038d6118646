// SPDX-License-Identifier: MIT
#pragma once
// Text files of the program: cp932 (Japanese Shift-JIS code page) on disk, UTF-8 in memory,
// lines ending in CR LF. Numeric data files are read as a stream of fields separated by commas
// or line breaks; some lines are read whole. Files are written through a temporary file that is
// renamed into place, so a failed write never leaves a truncated file.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovex {

// cp932 bytes to UTF-8. Invalid byte sequences throw std::runtime_error.
std::string Cp932ToUtf8(std::string_view bytes);
// UTF-8 to cp932 bytes; std::nullopt when some character has no cp932 form.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
// UTF-8 to cp932, throwing std::runtime_error naming the text when it cannot be written.
std::string Utf8ToCp932OrThrow(std::string_view utf8);

// Reads a whole file as bytes. Throws DataFileError (file missing or unreadable, not a regular
// file such as a folder, a pipe or a device), naming the file as `displayName` (the bare name by
// default). Files above maxBytes are refused.
std::string ReadFileBytes(const std::filesystem::path& path, const std::string& displayName = {},
                          std::size_t maxBytes = 256u << 20);

// Writes bytes to a temporary file beside `path`, flushes it and renames it over `path`.
// Throws std::runtime_error with a readable reason; the old file is untouched on failure.
// Only a regular file is replaced: a symbolic link to a regular file is written through (the
// link stays, the file it leads to gets the bytes); anything else that exists under the name (a
// folder, a named pipe, a device, a socket, a link to one of them or to nothing) is refused and
// left as it is.
void WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes);
// The file a write to `path` replaces under that rule: `path` itself (absent or a regular file)
// or the regular file its symbolic link leads to. Throws std::runtime_error naming `path` and
// what it is otherwise. For writers that rename prepared files into place themselves.
std::filesystem::path WriteTarget(const std::filesystem::path& path);

// Reads a plain decimal number at `p`: an optional sign, digits with at most one point, an
// optional exponent "E" or "e" with an optional sign and one to four digits. Returns the end of
// the number and stores its value (as the lenient reading would read it: correctly rounded, no
// negative zero); nullptr when the text at `p` is not of that form or the value is not finite.
const char* ReadPlainDecimal(const char* p, const char* end, double* value);

// Sequential reader over the bytes of one file, in the manner of free-format list input:
// an item ends at a comma or at a line end, blanks before an item are skipped, a double-quoted
// item may hold commas (a doubled quote inside stands for one quote), and a line end counts as a
// separator. Whole lines can be read between items.
class FieldReader {
  public:
    FieldReader(std::string bytes, std::string fileName);

    // True when nothing but blanks and line ends remains.
    bool AtEnd() const;
    // Reads the rest of the current line (without CR LF) and moves to the next line.
    // std::nullopt at the end of the data.
    std::optional<std::string> ReadLine();
    // Next item as raw bytes; std::nullopt at the end of the data. For numeric items a blank
    // also ends the item, as in list input.
    std::optional<std::string> NextItem(bool numeric = false);
    // Next numeric item. Throws DataFileError naming the file when the data end before
    // `expected` fields were read, when an item is not a number (or holds control characters
    // such as a NUL byte) or when its value is not finite. A plain decimal item is read by a
    // quick route (ReadPlainDecimal) that gives the same value as the general lenient reading.
    double NextNumber(std::size_t expected);
    // Line of the item read last (1-based), for messages about its value.
    std::size_t itemLine() const { return itemLine_; }
    // Number of items read so far.
    std::size_t itemsRead() const { return items_; }
    // 1-based line of the read position.
    std::size_t line() const { return line_; }
    const std::string& fileName() const { return name_; }

    // The quick route is on by default; turned off, every number takes the general reading.
    // Tests and fuzzers compare the two on the same files.
    static void SetQuickNumbers(bool on);

  private:
    void SkipBlanks();
    void ConsumeSeparator();
    double GeneralNumber(std::size_t expected);
    std::string data_;
    std::string name_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    std::size_t items_ = 0;
    std::size_t itemLine_ = 1;
};

// Splits bytes into lines at CR LF (or a lone LF); a final line without a line end counts.
std::vector<std::string> SplitLines(std::string_view bytes);
// Joins lines, each followed by CR LF.
std::string JoinCrLf(const std::vector<std::string>& lines);

}  // namespace dovex
