#include "judge/judge_source.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "judge/judge_files.h"
#include "judge/judge_json.h"

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

namespace {
void cannotRead(const std::string& path, int error) {
    writeText(stderr, "asmquest-judge: cannot read " + displayName(path) + ": " + std::strerror(error) + "\n");
}
} // namespace

std::optional<std::string> readSource(const std::string& path) {
    std::FILE* file = openFile(path, "rb");
    if (!file) {
        cannotRead(path, errno);
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
        cannotRead(path, error);
        return std::nullopt;
    }
    return sourceText(std::move(bytes));
}

// Each component by its own encoding: a GBK file name from a Windows archive
// may stand in a folder named in UTF-8. '/' is never part of a GBK character.
std::string displayName(const std::string& path) {
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('/', start);
        const std::string_view part = std::string_view(path).substr(start, end == std::string::npos ? end : end - start);
        out += isUtf8(part) ? std::string(part) : gbkToUtf8(part);
        if (end == std::string::npos) return out;
        out += '/';
        start = end + 1;
    }
}
