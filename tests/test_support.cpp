#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#ifdef _WIN32
#include <random>

#include "windows_support.h"
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
std::string toGbk(const std::string& utf8) { return convertCodePage(utf8, 936, 65001); }
std::string toUtf8(const std::string& gbk) { return convertCodePage(gbk, 65001, 936); }
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
