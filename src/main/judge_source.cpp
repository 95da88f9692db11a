#include "main/judge_source.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "main/judge_json.h"

std::string sourceText(std::string bytes) {
    // A valid UTF-8 file with non-ASCII bytes is converted; anything else is
    // taken to be GBK, as the game saves it.
    if (!isAscii(bytes) && isUtf8(bytes)) {
        if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
        bytes = utf8ToGbk(bytes);
    }
    // Files saved on Windows end their lines in CR LF. No GBK trail byte is a
    // CR, so the pair is a line end wherever it stands.
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) text += bytes[i];
    return text;
}

std::optional<std::string> readSource(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        std::fprintf(stderr, "asmquest-judge: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    const bool failed = std::ferror(file);
    const int error = errno;
    std::fclose(file);
    if (failed) {
        std::fprintf(stderr, "asmquest-judge: cannot read %s: %s\n", path.c_str(), std::strerror(error));
        return std::nullopt;
    }
    return sourceText(std::move(bytes));
}

std::string displayName(const std::string& path) { return isUtf8(path) ? path : gbkToUtf8(path); }
