#include "engine/textio.h"

#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

#include "engine/error.h"
#include "engine/numtext.h"

namespace dovex {
namespace {

// Converts with iconv; returns false when the input has a sequence that cannot be converted.
bool Convert(const char* to, const char* from, std::string_view in, std::string* out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv cannot convert to " + std::string(to));
    std::string result;
    std::vector<char> buf(4096);
    char* inp = const_cast<char*>(in.data());
    std::size_t inleft = in.size();
    bool ok = true;
    while (inleft > 0) {
        char* outp = buf.data();
        std::size_t outleft = buf.size();
        std::size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
        result.append(buf.data(), buf.size() - outleft);
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
            ok = false;  // EILSEQ or EINVAL (truncated sequence)
            break;
        }
    }
    if (ok) {
        char* outp = buf.data();
        std::size_t outleft = buf.size();
        iconv(cd, nullptr, nullptr, &outp, &outleft);
        result.append(buf.data(), buf.size() - outleft);
    }
    iconv_close(cd);
    if (ok) *out = std::move(result);
    return ok;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
    std::string out;
    if (!Convert("UTF-8", "CP932", bytes, &out))
        throw std::runtime_error("the text is not valid cp932 (Shift-JIS)");
    return out;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    std::string out;
    if (!Convert("CP932", "UTF-8", utf8, &out)) return std::nullopt;
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
    std::string name = displayName.empty() ? path.filename().string() : displayName;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw DataFileError(name, "file not found");
    if (std::filesystem::is_directory(path, ec))
        throw DataFileError(name, "is a folder, not a file");
    std::ifstream f(path, std::ios::binary);
    if (!f) throw DataFileError(name, "cannot be opened for reading");
    std::string data;
    char buf[65536];
    while (f) {
        f.read(buf, sizeof buf);
        data.append(buf, static_cast<std::size_t>(f.gcount()));
        if (data.size() > maxBytes) throw DataFileError(name, "file too large");
    }
    if (f.bad()) throw DataFileError(name, "read error");
    return data;
}

void WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes) {
    namespace fs = std::filesystem;
    fs::path dir = path.parent_path();
    if (dir.empty()) dir = ".";
    std::random_device rd;
    fs::path tmp = dir / (path.filename().string() + ".tmp" + std::to_string(rd() % 1000000));
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path.string() + ": " + std::strerror(errno));
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            ::unlink(tmp.c_str());
            throw std::runtime_error("cannot write " + path.string() + ": " + std::strerror(err));
        }
        done += static_cast<std::size_t>(w);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        throw std::runtime_error("cannot write " + path.string() + ": " + std::strerror(err));
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        throw std::runtime_error("cannot replace " + path.string() + ": " + std::strerror(err));
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
        while (pos_ < data_.size()) {
            char c = data_[pos_];
            if (c == ',' || c == '\r' || c == '\n') break;
            if (numeric && (c == ' ' || c == '\t')) break;
            item += c;
            ++pos_;
        }
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.pop_back();
        if (numeric) SkipBlanks();
    }
    // Consume the separator: a comma, or one line end.
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
    ++items_;
    return item;
}

double FieldReader::NextNumber(std::size_t expected) {
    std::size_t lineBefore = line_;
    auto item = NextItem(true);
    if (!item)
        throw DataFileError(name_, "too short: expected " + std::to_string(expected) +
                                       " fields, found " + std::to_string(items_));
    if (!StartsWithNumber(*item))
        throw DataFileError(name_, "field " + std::to_string(items_) + " (line " +
                                       std::to_string(lineBefore) + ") is not a number: \"" +
                                       item->substr(0, 40) + "\"");
    double v = ParseLenient(*item);
    if (!std::isfinite(v))
        throw DataFileError(name_, "field " + std::to_string(items_) + " (line " +
                                       std::to_string(lineBefore) + ") is out of range: \"" +
                                       item->substr(0, 40) + "\"");
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
