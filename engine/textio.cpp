// SPDX-License-Identifier: MIT
#include "engine/textio.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <stdexcept>
#include <system_error>

#include "engine/error.h"
#include "engine/numtext.h"
#include "engine/platform.h"

namespace dovex {

std::string Cp932ToUtf8(std::string_view bytes) {
    std::string out;
    if (!platform::Cp932ToUtf8(bytes, &out))
        throw std::runtime_error("the text is not valid cp932 (Shift-JIS)");
    return out;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    std::string out;
    if (!platform::Utf8ToCp932(utf8, &out)) return std::nullopt;
    return out;
}

std::string Utf8ToCp932OrThrow(std::string_view utf8) {
    auto r = Utf8ToCp932(utf8);
    if (!r)
        throw std::runtime_error("the text \"" + std::string(utf8) +
                                 "\" cannot be written in cp932");
    return *r;
}

std::string ReadFileBytes(const std::filesystem::path& path, const std::string& displayName,
                          std::size_t maxBytes) {
    std::string name = displayName.empty() ? platform::PathToUtf8(path.filename()) : displayName;
    platform::ReadOutcome r = platform::ReadRegularFile(path, maxBytes);
    switch (r.status) {
        case platform::ReadStatus::Ok:
            return std::move(r.bytes);
        case platform::ReadStatus::NotFound:
            throw DataFileError(name, "ファイルがありません (file not found)");
        case platform::ReadStatus::Folder:
            throw DataFileError(name, "ファイルではなくフォルダです (is a folder, not a file)");
        case platform::ReadStatus::NotRegular:
            throw DataFileError(name, "通常のファイルではありません (not a regular file)");
        case platform::ReadStatus::TooLarge:
            throw DataFileError(name, "ファイルが大きすぎます (file too large)");
        case platform::ReadStatus::CannotOpen:
            throw DataFileError(
                name, "ファイルを開けません (cannot be opened for reading: " + r.reason + ")");
        case platform::ReadStatus::ReadFailed:
            break;
    }
    throw DataFileError(name, "読み込みエラー (read error: " + r.reason + ")");
}

namespace {

// What a file-system entry is, in words, for the message that refuses to replace it.
const char* KindOfEntry(std::filesystem::file_type t) {
    using std::filesystem::file_type;
    switch (t) {
        case file_type::directory:
            return "a folder";
        case file_type::fifo:
            return "a named pipe (FIFO)";
        case file_type::character:
            return "a character device";
        case file_type::block:
            return "a block device";
        case file_type::socket:
            return "a socket";
        default:
            return "an entry of another kind";
    }
}

// The file that a write to `path` replaces: `path` itself when it does not exist or is a regular
// file; the regular file a symbolic link leads to (written through, so that the link stays).
}  // namespace

// Anything else (a folder, a pipe, a device, a socket, a link to one of them or to nothing) is
// refused: renaming a new file over it would replace, say, the system's /dev/null.
std::filesystem::path WriteTarget(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status own = fs::symlink_status(path, ec);
    if (ec && own.type() != fs::file_type::not_found)
        throw std::runtime_error("cannot write " + path.string() + ": " + ec.message());
    if (own.type() == fs::file_type::not_found || own.type() == fs::file_type::regular) return path;
    if (own.type() == fs::file_type::symlink) {
        const fs::file_status target = fs::status(path, ec);
        if (target.type() == fs::file_type::regular) {
            const fs::path resolved = fs::canonical(path, ec);
            if (!ec) return resolved;
        }
        throw std::runtime_error("cannot write " + path.string() + ": it is a symbolic link to " +
                                 (target.type() == fs::file_type::not_found
                                      ? std::string("a file that does not exist")
                                      : std::string(KindOfEntry(target.type()))) +
                                 ", not to a regular file; it is left as it is");
    }
    throw std::runtime_error("cannot write " + path.string() + ": it exists and is " +
                             KindOfEntry(own.type()) + ", not a regular file; it is left as it is");
}

void WriteFileAtomic(const std::filesystem::path& requested, std::string_view bytes) {
    namespace fs = std::filesystem;
    const fs::path path = WriteTarget(requested);
    fs::path dir = path.parent_path();
    if (dir.empty()) dir = ".";
    std::random_device rd;
    fs::path tmp = path.filename();
    tmp += ".tmp" + std::to_string(rd() % 1000000);
    tmp = dir / tmp;
    const std::string shown = platform::PathToUtf8(requested);
    std::string err = platform::WriteNewFile(tmp, bytes);
    if (!err.empty()) throw std::runtime_error("cannot write " + shown + ": " + err);
    err = platform::RenameOver(tmp, path);
    if (!err.empty()) {
        platform::RemoveFileQuietly(tmp);
        throw std::runtime_error("cannot replace " + shown + ": " + err);
    }
}

FieldReader::FieldReader(std::string bytes, std::string fileName)
    : data_(std::move(bytes)), name_(std::move(fileName)) {}

void FieldReader::SkipBlanks() {
    while (pos_ < data_.size() && (data_[pos_] == ' ' || data_[pos_] == '\t')) ++pos_;
}

bool FieldReader::AtEnd() const {
    for (std::size_t p = pos_; p < data_.size(); ++p) {
        char c = data_[p];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\x1a') return false;
    }
    return true;
}

std::optional<std::string> FieldReader::ReadLine() {
    if (pos_ >= data_.size()) return std::nullopt;
    std::size_t e = data_.find('\n', pos_);
    std::string line;
    if (e == std::string::npos) {
        line = data_.substr(pos_);
        pos_ = data_.size();
    } else {
        line = data_.substr(pos_, e - pos_);
        pos_ = e + 1;
        ++line_;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::optional<std::string> FieldReader::NextItem(bool numeric) {
    // Skip blanks and empty line ends before the item.
    for (;;) {
        SkipBlanks();
        if (pos_ >= data_.size()) return std::nullopt;
        char c = data_[pos_];
        if (c == '\r' || c == '\n') {
            if (c == '\n') ++line_;
            ++pos_;
            continue;
        }
        break;
    }
    if (pos_ < data_.size() && data_[pos_] == '\x1a') return std::nullopt;  // end-of-file mark
    itemLine_ = line_;
    std::string item;
    if (data_[pos_] == '"') {
        ++pos_;
        for (;;) {
            if (pos_ >= data_.size()) break;
            char c = data_[pos_++];
            if (c == '"') {
                if (pos_ < data_.size() && data_[pos_] == '"') {
                    item += '"';
                    ++pos_;
                    continue;
                }
                break;
            }
            if (c == '\n') ++line_;
            item += c;
        }
        // Anything up to the separator after a quoted item is dropped.
        while (pos_ < data_.size() && data_[pos_] != ',' && data_[pos_] != '\r' &&
               data_[pos_] != '\n')
            ++pos_;
    } else {
        std::size_t start = pos_;
        while (pos_ < data_.size()) {
            char c = data_[pos_];
            if (c == ',' || c == '\r' || c == '\n') break;
            if (numeric && (c == ' ' || c == '\t')) break;
            ++pos_;
        }
        item.assign(data_, start, pos_ - start);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.pop_back();
        if (numeric) SkipBlanks();
    }
    ConsumeSeparator();
    ++items_;
    return item;
}

void FieldReader::ConsumeSeparator() {
    // A comma, or one line end.
    if (pos_ < data_.size()) {
        if (data_[pos_] == ',') {
            ++pos_;
        } else if (data_[pos_] == '\r') {
            ++pos_;
            if (pos_ < data_.size() && data_[pos_] == '\n') {
                ++pos_;
                ++line_;
            }
        } else if (data_[pos_] == '\n') {
            ++pos_;
            ++line_;
        }
    }
}

namespace {

std::atomic<bool> g_quickNumbers{true};

// Powers of ten that doubles hold exactly.
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

}  // namespace

namespace {

constexpr std::uint64_t kPow10u[] = {1ULL,      10ULL,      100ULL,      1000ULL,     10000ULL,
                                     100000ULL, 1000000ULL, 10000000ULL, 100000000ULL};

// The run of decimal digits at p, at most 8 of them, from one 8-byte load: returns the count and
// stores their value. Eight digits at a time by the usual byte-parallel arithmetic.
[[gnu::always_inline]] inline int DigitRun8(const char* p, std::uint64_t* value) {
    std::uint64_t x;
    std::memcpy(&x, p, 8);  // the first character in the lowest byte (little endian)
    const std::uint64_t t = x - 0x3030303030303030ULL;
    // High bit of a byte set where the character is not a digit; borrows and carries run only
    // towards later characters, so the first non-digit is found exactly.
    const std::uint64_t bad = ((t + 0x7676767676767676ULL) | t) & 0x8080808080808080ULL;
    const int k = bad ? __builtin_ctzll(bad) / 8 : 8;
    if (k == 0) {
        *value = 0;
        return 0;
    }
    std::uint64_t v = t << (8 * (8 - k));  // the k digits, after 8 - k leading zeros
    v = v * 10 + (v >> 8);
    v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
         (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
        32;
    *value = v & 0xFFFFFFFFULL;
    return k;
}

// Reads a run of digits at q into acc (acc * 10^n + digits); counts them into `count`. Digits
// beyond 19 are counted but not gathered (the caller then takes the exact route).
[[gnu::always_inline]] inline const char* DigitRun(const char* q, const char* end,
                                                   std::uint64_t& acc, int& count) {
    static_assert(std::endian::native == std::endian::little);
    std::uint64_t a = acc;
    int c = count;
    for (;;) {
        if (end - q >= 8) {
            std::uint64_t v;
            const int k = DigitRun8(q, &v);
            if (c + k <= 19) a = a * kPow10u[k] + v;
            c += k;
            q += k;
            if (k < 8) break;
        } else {
            for (; q < end && IsDigitChar(*q); ++q) {
                if (c < 19) a = a * 10 + static_cast<std::uint64_t>(*q - '0');
                ++c;
            }
            break;
        }
    }
    acc = a;
    count = c;
    return q;
}

}  // namespace

const char* ReadPlainDecimal(const char* p, const char* end, double* value) {
    const char* q = p;
    bool neg = false;
    if (q < end && (*q == '-' || *q == '+')) {
        neg = *q == '-';
        ++q;
    }
    // The digits before and after the point.
    const char* const digitsBegin = q;
    std::uint64_t mant = 0;
    int digits = 0;
    q = DigitRun(q, end, mant, digits);
    int fracDigits = 0;
    if (q < end && *q == '.') {
        const int before = digits;
        q = DigitRun(q + 1, end, mant, digits);
        fracDigits = digits - before;
    }
    if (digits == 0) return nullptr;
    int exp10 = 0;
    if (q < end && (*q == 'E' || *q == 'e')) {
        const char* e = q + 1;
        bool eneg = false;
        if (e < end && (*e == '+' || *e == '-')) {
            eneg = *e == '-';
            ++e;
        }
        const char* const expBegin = e;
        for (; e < end && IsDigitChar(*e); ++e)
            if (e - expBegin < 4) exp10 = exp10 * 10 + (*e - '0');
        const auto n = e - expBegin;
        if (n == 0 || n > 4) return nullptr;  // left to the general reading
        if (eneg) exp10 = -exp10;
        q = e;
    }
    double v = 0;
    bool quick = false;
    if (digits <= 19) {
        if (mant == 0) {
            *value = 0.0;  // no negative zero
            return q;
        }
        const int scale = exp10 - fracDigits;
        if (mant <= (std::uint64_t{1} << 53) && scale >= -22 && scale <= 22) {
            // Both operands are exact doubles: one correctly rounded operation.
            const double m = static_cast<double>(mant);
            v = scale >= 0 ? m * kExactPow10[scale] : m / kExactPow10[-scale];
            quick = true;
        }
    }
    if (!quick) {
        const auto [ptr, ec] = std::from_chars(digitsBegin, q, v, std::chars_format::general);
        // Out of range, or an underflow to zero of a text that is not zero: left to the general
        // reading.
        if (ec != std::errc() || ptr != q || !std::isfinite(v) || v == 0) return nullptr;
    }
    *value = neg ? -v : v;
    return q;
}

void FieldReader::SetQuickNumbers(bool on) { g_quickNumbers.store(on); }

namespace {

// The layout the data generators write, "d.ddddddE+dd" (printf "%.6E"), read at p when at least
// 13 bytes follow and the 13th is not a digit: the mantissa's seven digits by one byte-parallel
// step, the value by one correctly rounded operation. Returns false for anything else.
bool ReadGeneratorNumber(const char* p, double* value) {
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    // Byte 1 is the point, taken as a zero so that no borrow runs into the digits after it;
    // bytes 0 and 2..7 must be digits.
    if (p[1] != '.') return false;
    x = (x & ~0xFF00ULL) | 0x3000ULL;
    const std::uint64_t t = x - 0x3030303030303030ULL;
    const std::uint64_t bad = ((t + 0x7676767676767676ULL) | t) & 0x8080808080808080ULL;
    if (bad != 0) return false;
    if ((p[8] != 'E' && p[8] != 'e') || (p[9] != '+' && p[9] != '-') || !IsDigitChar(p[10]) ||
        !IsDigitChar(p[11]) || IsDigitChar(p[12]))
        return false;
    std::uint64_t v = t & 0xFFFFFFFFFFFF0000ULL;  // digits 2..7 after two leading zeros
    v = v * 10 + (v >> 8);
    v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
         (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
        32;
    const std::uint64_t mant =
        static_cast<std::uint64_t>(p[0] - '0') * 1000000 + (v & 0xFFFFFFFFULL);
    const int e = (p[10] - '0') * 10 + (p[11] - '0');
    const int scale = (p[9] == '-' ? -e : e) - 6;
    if (mant == 0) {
        *value = 0.0;
        return true;
    }
    if (scale < -22 || scale > 22) return false;
    const double m = static_cast<double>(mant);
    *value = scale >= 0 ? m * kExactPow10[scale] : m / kExactPow10[-scale];
    return true;
}

}  // namespace

double FieldReader::NextNumber(std::size_t expected) {
    if (g_quickNumbers.load(std::memory_order_relaxed)) {
        std::size_t p = pos_, line = line_;
        const std::size_t n = data_.size();
        while (p < n) {
            const char c = data_[p];
            if (c == ' ' || c == '\t' || c == '\r') {
                ++p;
            } else if (c == '\n') {
                ++p;
                ++line;
            } else {
                break;
            }
        }
        double v = 0;
        const char* base = data_.data();
        if (n - p >= 13 && ReadGeneratorNumber(base + p, &v)) {
            // The usual separators, taken at once.
            const char c = data_[p + 12];
            if (c == ',') {
                pos_ = p + 13;
                line_ = line;
                itemLine_ = line;
                ++items_;
                return v;
            }
            if (c == '\r' && p + 13 < n && data_[p + 13] == '\n') {
                pos_ = p + 14;
                line_ = line + 1;
                itemLine_ = line;
                ++items_;
                return v;
            }
        }
        const char* e = p < n ? ReadPlainDecimal(base + p, base + n, &v) : nullptr;
        if (e) {
            const std::size_t q = static_cast<std::size_t>(e - base);
            const char c = q < n ? data_[q] : ',';
            if (c == ',' || c == '\r' || c == '\n' || c == ' ' || c == '\t') {
                pos_ = q;
                line_ = line;
                itemLine_ = line;
                SkipBlanks();
                ConsumeSeparator();
                ++items_;
                return v;
            }
        }
    }
    return GeneralNumber(expected);
}

double FieldReader::GeneralNumber(std::size_t expected) {
    auto item = NextItem(true);
    if (!item)
        throw DataFileError(name_, "データが途中で終わっています: " + std::to_string(expected) +
                                       " 個の値が必要なところ " + std::to_string(items_) +
                                       " 個しかありません (too short: expected " +
                                       std::to_string(expected) + " fields, found " +
                                       std::to_string(items_) + ")");
    // The place of the value and what is wrong with it; never its bytes, which may be anything
    // (a file named by mistake, private text).
    const std::string where =
        std::to_string(itemLine_) + " 行目 " + std::to_string(items_) + " 番目の値";
    const std::string whereEn =
        "field " + std::to_string(items_) + ", line " + std::to_string(itemLine_);
    bool control = false;
    for (char c : *item) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) control = true;
    }
    if (control || !StartsWithNumber(*item))
        throw DataFileError(name_,
                            where + " が数値ではありません (" + whereEn + ", is not a number)");
    double v = ParseLenient(*item);
    if (!std::isfinite(v))
        throw DataFileError(
            name_, where + " が扱える範囲を超えています (" + whereEn + ", is out of range)");
    return v;
}

std::vector<std::string> SplitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t p = 0;
    while (p < bytes.size()) {
        std::size_t e = bytes.find('\n', p);
        if (e == std::string_view::npos) {
            lines.emplace_back(bytes.substr(p));
            break;
        }
        std::string_view l = bytes.substr(p, e - p);
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        lines.emplace_back(l);
        p = e + 1;
    }
    return lines;
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

}  // namespace dovex
