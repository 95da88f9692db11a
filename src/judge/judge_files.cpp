#include "judge/judge_files.h"

#include <algorithm>

#include "judge/judge_json.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

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

#else

std::vector<std::string> judgeArguments(int argc, char** argv) { return {argv, argv + argc}; }
fs::path filePath(const std::string& path) { return fs::path(path); }
std::string pathText(const fs::path& path) { return path.string(); }
std::FILE* openFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }
void writeText(std::FILE* stream, std::string_view utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stream); }
bool isInteractive(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

#endif
