// SPDX-License-Identifier: MIT
#pragma once
// The few places where the operating system shows through: text conversion between cp932 and
// UTF-8, file names (UTF-8 in the program, UTF-16 on Windows), reading and replacing whole files,
// the command line's words and the console. One implementation for POSIX systems (iconv, file
// descriptors) and one for Windows (the system's code page 932, wide-character file functions);
// everything above this file calls these and never the system.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace dovex::platform {

// cp932 bytes to UTF-8 and back. False (and *out untouched) when the input holds a sequence the
// other encoding cannot hold, or a truncated one.
bool Cp932ToUtf8(std::string_view cp932, std::string* out);
bool Utf8ToCp932(std::string_view utf8, std::string* out);

// A file name from UTF-8 text (on Windows converted to UTF-16, never through the ANSI code page)
// and back.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// What reading a whole file came to.
enum class ReadStatus { Ok, NotFound, Folder, NotRegular, TooLarge, CannotOpen, ReadFailed };

struct ReadOutcome {
    ReadStatus status = ReadStatus::Ok;
    std::string bytes;   // the file's bytes, as they are (binary)
    std::string reason;  // the system's reason for CannotOpen and ReadFailed, in English
};

// Reads a regular file whole without waiting on it: a folder, a pipe or a device is refused
// before a byte is read, and a file longer than maxBytes is TooLarge.
ReadOutcome ReadRegularFile(const std::filesystem::path& path, std::size_t maxBytes);

// Creates `path` (failing when it exists), writes the bytes and flushes them to the disk. Returns
// an empty text when done, else the system's reason; a partly written file is removed.
std::string WriteNewFile(const std::filesystem::path& path, std::string_view bytes);
// Renames `from` over `to` (replacing it in one step). Empty when done, else the reason.
std::string RenameOver(const std::filesystem::path& from, const std::filesystem::path& to);
// Removes a file, ignoring failure (a temporary file left after an error).
void RemoveFileQuietly(const std::filesystem::path& path);

// Identity of a regular file as it now stands: another file, or the same file written again,
// gives another stamp. `regular` is false when there is no regular file at the path.
struct FileStamp {
    bool regular = false;
    std::uint64_t device = 0, index = 0;
    std::int64_t size = -1, modifiedSec = 0, modifiedNsec = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::filesystem::path& path);

// The running program's own file; empty when the system does not tell.
std::filesystem::path ExecutableFile();

// The program's arguments as UTF-8 (on Windows taken from the wide command line, so that a
// Japanese word survives whatever the ANSI code page is).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Standard output and error carry UTF-8 bytes as they are: on Windows no CR is added to a line
// end, and a console is switched to UTF-8 output while the program runs.
void PrepareStandardStreams();

}  // namespace dovex::platform
