#include "judge/judge_files.h"

#include <algorithm>

#include "judge/judge_json.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

namespace fs = std::filesystem;

namespace {
std::string tooLarge(unsigned long long size, std::size_t limit) {
    return "too large (" + std::to_string(size) + " bytes, at most " + std::to_string(limit) + ")";
}
constexpr const char* NOT_REGULAR = "not a regular file (a folder, FIFO or device)";
} // namespace

#ifdef _WIN32
namespace {
std::wstring wideFrom(std::string_view text, unsigned codePage) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string utf8From(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    return text;
}

// cmd passes a quoted folder as typed, ".\班级 一\" included, and the C
// runtime's rules read its last \" as a quote inside the argument, which then
// runs on to the end of the line: `.\班级 一" --csv x.csv`. No Windows path
// holds a quote, so an argument with one is such a folder and what followed it.
std::vector<std::string> withQuotedFoldersRepaired(std::vector<std::string> arguments) {
    std::vector<std::string> out;
    for (std::string& argument : arguments) {
        const std::size_t quote = argument.find('"');
        if (quote == std::string::npos) {
            out.push_back(std::move(argument));
            continue;
        }
        out.push_back(argument.substr(0, quote) + "\\");
        std::string rest = argument.substr(quote + 1), word;
        for (char c : rest + ' ') {
            if (c == ' ' || c == '\t') {
                if (!word.empty()) out.push_back(std::move(word));
                word.clear();
            } else if (c != '"') {
                word += c;
            }
        }
    }
    return out;
}

HANDLE consoleOf(std::FILE* stream) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}
} // namespace

std::vector<std::string> judgeArguments(int argc, char** argv) {
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide) return {argv, argv + argc};
    std::vector<std::string> arguments;
    for (int i = 0; i < n; ++i) arguments.push_back(utf8From(wide[i]));
    LocalFree(wide);
    return withQuotedFoldersRepaired(std::move(arguments));
}

// A name that is not UTF-8 came from the game's own GBK text.
fs::path filePath(const std::string& path) { return fs::path(wideFrom(path, isUtf8(path) ? CP_UTF8 : 936)); }

std::string pathText(const fs::path& path) { return utf8From(path.native()); }

std::FILE* openFile(const std::string& path, const char* mode) {
    return _wfopen(filePath(path).c_str(), wideFrom(mode, CP_UTF8).c_str());
}

void writeText(std::FILE* stream, std::string_view utf8) {
    const HANDLE console = consoleOf(stream);
    if (!console) {
        std::fwrite(utf8.data(), 1, utf8.size(), stream);
        return;
    }
    std::fflush(stream);
    const std::wstring wide = wideFrom(utf8, CP_UTF8);
    for (std::size_t done = 0; done < wide.size();) {
        // The console takes a limited amount per call.
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
        if (!WriteConsoleW(console, wide.data() + done, chunk, &written, nullptr) || written == 0) {
            // Not a console after all: the bytes, as to a file.
            if (done == 0) std::fwrite(utf8.data(), 1, utf8.size(), stream);
            return;
        }
        done += written;
    }
}

bool isInteractive(std::FILE* stream) { return consoleOf(stream) != nullptr; }

// CreateFileW does not wait on a pipe without a server, and a console or a
// device shows itself by its file type before anything is read.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t limit, std::string& problem) {
    const HANDLE file = CreateFileW(filePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        problem = std::strerror(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT
                                : error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? EACCES
                                                                                                   : EIO);
        return std::nullopt;
    }
    std::optional<std::string> bytes;
    BY_HANDLE_FILE_INFORMATION information{};
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        problem = NOT_REGULAR;
    } else if (!GetFileSizeEx(file, &size) || static_cast<unsigned long long>(size.QuadPart) > limit) {
        problem = tooLarge(static_cast<unsigned long long>(size.QuadPart), limit);
    } else {
        bytes.emplace();
        char buffer[65536];
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0 && bytes->size() <= limit)
            bytes->append(buffer, got);
        if (bytes->size() > limit) { // it grew while being read
            problem = tooLarge(bytes->size(), limit);
            bytes.reset();
        }
    }
    CloseHandle(file);
    return bytes;
}

#else

std::vector<std::string> judgeArguments(int argc, char** argv) { return {argv, argv + argc}; }
fs::path filePath(const std::string& path) { return fs::path(path); }
std::string pathText(const fs::path& path) { return path.string(); }
std::FILE* openFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }
void writeText(std::FILE* stream, std::string_view utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stream); }
bool isInteractive(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

// Opened without blocking (a FIFO would wait for a writer), then refused by
// its type or size before anything is read.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t limit, std::string& problem) {
    const int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) {
        problem = std::strerror(errno);
        return std::nullopt;
    }
    std::optional<std::string> bytes;
    struct stat information {};
    if (fstat(file, &information) != 0) {
        problem = std::strerror(errno);
    } else if (!S_ISREG(information.st_mode)) {
        problem = NOT_REGULAR;
    } else if (static_cast<unsigned long long>(information.st_size) > limit) {
        problem = tooLarge(static_cast<unsigned long long>(information.st_size), limit);
    } else {
        bytes.emplace();
        char buffer[65536];
        for (;;) {
            const ssize_t got = read(file, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                problem = std::strerror(errno);
                bytes.reset();
                break;
            }
            if (got == 0) break;
            bytes->append(buffer, static_cast<std::size_t>(got));
            if (bytes->size() > limit) { // it grew while being read
                problem = tooLarge(bytes->size(), limit);
                bytes.reset();
                break;
            }
        }
    }
    close(file);
    return bytes;
}

#endif
