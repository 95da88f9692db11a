#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>

#include <random>
#else
#include <iconv.h>
#include <unistd.h>
#endif

#include "game/panels.h"

void freshProgram() {
    fakeConsole().reset();
    restartGlobals();
}

TempDirectory::TempDirectory() {
#ifdef _WIN32
    std::random_device seed;
    const auto base = std::filesystem::temp_directory_path();
    std::filesystem::path made;
    do made = base / ("asmquest-test-" + std::to_string(seed()));
    while (!std::filesystem::create_directory(made));
    path = made.string();
#else
    char pattern[] = "/tmp/asmquest-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    path = pattern;
#endif
    previous = std::filesystem::current_path().string();
    std::filesystem::current_path(path);
}

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
    std::filesystem::remove_all(path, ignored);
}

#ifdef _WIN32
static std::string convert(const std::string& in, unsigned to, unsigned from) {
    if (in.empty()) return {};
    const int n = MultiByteToWideChar(from, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(from, 0, in.data(), static_cast<int>(in.size()), wide.data(), n);
    const int m = WideCharToMultiByte(to, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(to, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
    return out;
}

std::string toGbk(const std::string& utf8) { return convert(utf8, 936, CP_UTF8); }
std::string toUtf8(const std::string& gbk) { return convert(gbk, CP_UTF8, 936); }
#else
static std::string convert(const std::string& in, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    std::string out(in.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

std::string toGbk(const std::string& utf8) { return convert(utf8, "GBK", "UTF-8"); }
std::string toUtf8(const std::string& gbk) { return convert(gbk, "UTF-8", "GBK"); }
#endif
