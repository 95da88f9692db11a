#include "test_support.h"

#include <iconv.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "game/panels.h"

void freshProgram() {
    fakeConsole().reset();
    restartGlobals();
}

TempDirectory::TempDirectory() {
    char pattern[] = "/tmp/asmquest-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    path = pattern;
    previous = std::filesystem::current_path().string();
    std::filesystem::current_path(path);
}

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
    std::filesystem::remove_all(path, ignored);
}

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
