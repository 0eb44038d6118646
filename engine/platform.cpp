// SPDX-License-Identifier: MIT
#include "engine/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdlib>
#else
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dovex::platform {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string PathToUtf8(const std::filesystem::path& path) {
    const std::u8string s = path.u8string();
    return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

#ifdef _WIN32

namespace {

constexpr UINT kCp932 = 932;

// Multibyte text of a code page to UTF-16; false on an invalid or truncated sequence.
bool ToWide(UINT codePage, std::string_view in, std::wstring* out) {
    out->clear();
    if (in.empty()) return true;
    if (in.size() > 0x7fffffff) return false;
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(),
                                      static_cast<int>(in.size()), nullptr, 0);
    if (n <= 0) return false;
    out->resize(static_cast<std::size_t>(n));
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(),
                               static_cast<int>(in.size()), out->data(), n) == n;
}

// UTF-16 to a code page; false when a character has no form there (no best-fit substitutes).
bool FromWide(UINT codePage, std::wstring_view in, std::string* out) {
    out->clear();
    if (in.empty()) return true;
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    const int n = WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()),
                                      nullptr, 0, nullptr, used);
    if (n <= 0 || usedDefault) return false;
    out->resize(static_cast<std::size_t>(n));
    if (WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()), out->data(), n,
                            nullptr, used) != n)
        return false;
    return !usedDefault;
}

bool Convert(UINT from, UINT to, std::string_view in, std::string* out) {
    std::wstring wide;
    std::string result;
    if (!ToWide(from, in, &wide) || !FromWide(to, wide, &result)) return false;
    *out = std::move(result);
    return true;
}

// The system's message for an error code, in English where the system has it.
std::string Reason(DWORD err) {
    wchar_t* buf = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD n = FormatMessageW(flags, nullptr, err, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                             reinterpret_cast<LPWSTR>(&buf), 0, nullptr);
    if (n == 0)
        n = FormatMessageW(flags, nullptr, err, 0, reinterpret_cast<LPWSTR>(&buf), 0, nullptr);
    std::string text;
    if (n > 0 && buf) FromWide(CP_UTF8, std::wstring_view(buf, n), &text);
    if (buf) LocalFree(buf);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty()) text = "error " + std::to_string(err);
    return text;
}

struct HandleCloser {
    HANDLE h;
    ~HandleCloser() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

}  // namespace

bool Cp932ToUtf8(std::string_view cp932, std::string* out) {
    return Convert(kCp932, CP_UTF8, cp932, out);
}

bool Utf8ToCp932(std::string_view utf8, std::string* out) {
    return Convert(CP_UTF8, kCp932, utf8, out);
}

ReadOutcome ReadRegularFile(const std::filesystem::path& path, std::size_t maxBytes) {
    ReadOutcome r;
    // Shared with writers and deleters, so that an open data file never stands in anyone's way;
    // the backup flag lets a folder be opened, to be recognised as one.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) {
            r.status = ReadStatus::NotFound;
        } else {
            r.status = ReadStatus::CannotOpen;
            r.reason = Reason(err);
        }
        return r;
    }
    HandleCloser closer{h};
    if (GetFileType(h) != FILE_TYPE_DISK) {
        r.status = ReadStatus::NotRegular;  // a pipe, the console or another device
        return r;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) {
        r.status = ReadStatus::CannotOpen;
        r.reason = Reason(GetLastError());
        return r;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        r.status = ReadStatus::Folder;
        return r;
    }
    const std::uint64_t size =
        (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > maxBytes) {
        r.status = ReadStatus::TooLarge;
        return r;
    }
    std::string& data = r.bytes;
    // The file may grow while it is read: read on until its end, a little beyond the limit.
    data.resize(static_cast<std::size_t>(size) + 4096);
    std::size_t done = 0;
    for (;;) {
        if (done == data.size()) {
            if (data.size() > maxBytes) break;
            data.resize(data.size() + 65536);
        }
        const std::size_t want = std::min<std::size_t>(data.size() - done, 1u << 30);
        DWORD got = 0;
        if (!ReadFile(h, data.data() + done, static_cast<DWORD>(want), &got, nullptr)) {
            r.status = ReadStatus::ReadFailed;
            r.reason = Reason(GetLastError());
            r.bytes.clear();
            return r;
        }
        if (got == 0) break;
        done += got;
    }
    data.resize(done);
    if (data.size() > maxBytes) {
        r.status = ReadStatus::TooLarge;
        r.bytes.clear();
    }
    return r;
}

std::string WriteNewFile(const std::filesystem::path& path, std::string_view bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Reason(GetLastError());
    std::size_t done = 0;
    DWORD err = 0;
    while (done < bytes.size()) {
        const std::size_t want = std::min<std::size_t>(bytes.size() - done, 1u << 30);
        DWORD wrote = 0;
        if (!WriteFile(h, bytes.data() + done, static_cast<DWORD>(want), &wrote, nullptr)) {
            err = GetLastError();
            break;
        }
        done += wrote;
    }
    if (err == 0 && !FlushFileBuffers(h)) err = GetLastError();
    if (!CloseHandle(h) && err == 0) err = GetLastError();
    if (err != 0) {
        DeleteFileW(path.c_str());
        return Reason(err);
    }
    return {};
}

std::string RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    return Reason(GetLastError());
}

void RemoveFileQuietly(const std::filesystem::path& path) { DeleteFileW(path.c_str()); }

FileStamp StampOf(const std::filesystem::path& path) {
    FileStamp s;
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return s;
    HandleCloser closer{h};
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return s;
    s.regular = true;
    s.device = info.dwVolumeSerialNumber;
    s.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    s.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                       info.nFileSizeLow);
    const std::uint64_t t =
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime;  // 100 ns steps
    s.modifiedSec = static_cast<std::int64_t>(t / 10000000);
    s.modifiedNsec = static_cast<std::int64_t>(t % 10000000) * 100;
    return s;
}

std::filesystem::path ExecutableFile() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            return std::filesystem::path(buf);
        }
        if (buf.size() > 32768) return {};
        buf.resize(buf.size() * 2);
    }
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    std::vector<std::string> args;
    int n = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (wide && n == argc) {
        for (int i = 0; i < n; ++i) {
            std::string a;
            if (!FromWide(CP_UTF8, wide[i], &a)) a = argv[i];
            args.push_back(std::move(a));
        }
    } else {
        for (int i = 0; i < argc; ++i) args.emplace_back(argv[i]);
    }
    if (wide) LocalFree(wide);
    return args;
}

namespace {
UINT g_consoleOutputCp = 0;
void RestoreConsoleCp() {
    if (g_consoleOutputCp != 0) SetConsoleOutputCP(g_consoleOutputCp);
}
}  // namespace

void PrepareStandardStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // A console shows the UTF-8 bytes as text once its output code page is UTF-8; files and
    // pipes get the bytes unchanged.
    DWORD mode = 0;
    const bool console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) ||
                         GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode);
    if (console && g_consoleOutputCp == 0) {
        const UINT old = GetConsoleOutputCP();
        if (old != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
            g_consoleOutputCp = old;
            std::atexit(RestoreConsoleCp);
        }
    }
}

#else  // POSIX

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

bool Cp932ToUtf8(std::string_view cp932, std::string* out) {
    return Convert("UTF-8", "CP932", cp932, out);
}

bool Utf8ToCp932(std::string_view utf8, std::string* out) {
    return Convert("CP932", "UTF-8", utf8, out);
}

ReadOutcome ReadRegularFile(const std::filesystem::path& path, std::size_t maxBytes) {
    ReadOutcome r;
    // Opened without waiting, so that a pipe without a writer cannot hold the program; anything
    // but a regular file is refused before a byte is read.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        int err = errno;
        if (err == ENOENT || err == ENOTDIR) {
            r.status = ReadStatus::NotFound;
        } else {
            r.status = ReadStatus::CannotOpen;
            r.reason = std::strerror(err);
        }
        return r;
    }
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        r.status = ReadStatus::CannotOpen;
        r.reason = std::strerror(errno);
        return r;
    }
    if (S_ISDIR(st.st_mode)) {
        r.status = ReadStatus::Folder;
        return r;
    }
    if (!S_ISREG(st.st_mode)) {
        r.status = ReadStatus::NotRegular;
        return r;
    }
    if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
        r.status = ReadStatus::TooLarge;
        return r;
    }
    std::string& data = r.bytes;
    data.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    for (;;) {
        if (done == data.size()) {
            // The file may have grown since fstat: read on until its end.
            char probe[4096];
            ssize_t n = ::read(fd, probe, sizeof probe);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                r.status = ReadStatus::ReadFailed;
                r.reason = std::strerror(errno);
                r.bytes.clear();
                return r;
            }
            if (n == 0) break;
            data.append(probe, static_cast<std::size_t>(n));
            done = data.size();
            if (data.size() > maxBytes) break;
            continue;
        }
        ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            r.status = ReadStatus::ReadFailed;
            r.reason = std::strerror(errno);
            r.bytes.clear();
            return r;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    data.resize(done);
    if (data.size() > maxBytes) {
        r.status = ReadStatus::TooLarge;
        r.bytes.clear();
    }
    return r;
}

std::string WriteNewFile(const std::filesystem::path& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return std::strerror(errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            ::unlink(path.c_str());
            return std::strerror(err);
        }
        done += static_cast<std::size_t>(w);
    }
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(path.c_str());
        return std::strerror(err);
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(path.c_str());
        return std::strerror(err);
    }
    return {};
}

std::string RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::rename(from.c_str(), to.c_str()) == 0) return {};
    return std::strerror(errno);
}

void RemoveFileQuietly(const std::filesystem::path& path) { ::unlink(path.c_str()); }

FileStamp StampOf(const std::filesystem::path& path) {
    FileStamp s;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return s;
    s.regular = true;
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.index = static_cast<std::uint64_t>(st.st_ino);
    s.size = static_cast<std::int64_t>(st.st_size);
    s.modifiedSec = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    s.modifiedNsec = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    return s;
}

std::filesystem::path ExecutableFile() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void PrepareStandardStreams() {}

#endif

}  // namespace dovex::platform
