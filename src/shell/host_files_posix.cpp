#include "shell/host_files.h"

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <filesystem>

#include "text/gbk_text.h"

namespace {

std::string utf8FromGbk(const std::string& gbk) {
    std::string out;
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        const auto lead = static_cast<std::uint8_t>(gbk[i]);
        if (lead < 0x80) {
            out += gbk[i];
        } else if (i + 1 < gbk.size()) {
            const GbkGlyph& g = gbkPair(lead, static_cast<std::uint8_t>(gbk[i + 1]));
            out.append(g.length ? g.utf8 : "?", g.length ? g.length : 1);
            ++i;
        }
    }
    return out;
}

} // namespace

std::string hostPath(const std::string& directory, const std::string& gbkName) {
    return utf8FromGbk(directory) + "/" + utf8FromGbk(gbkName);
}

HostRead hostReadFile(const std::string& path, std::string& bytes, HostFileMode mode) {
    bytes.clear();
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return errno == ENOENT ? HostRead::missing : HostRead::unreadable;
    std::string raw;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) raw.append(buffer, n);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    if (!ok) return HostRead::unreadable;
    if (mode == HostFileMode::binary) {
        bytes = std::move(raw);
        return HostRead::read;
    }
    bytes.clear();
    bytes.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i)
        if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) bytes += raw[i];
    return HostRead::read;
}

bool hostReplaceFile(const std::string& path, const std::string& bytes, HostFileMode,
                     void (*beforeRename)(const std::string& path)) {
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = (std::fclose(file) == 0) && ok;
    if (ok && beforeRename) beforeRename(path);
    ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temporary.c_str());
    return ok;
}

// A dot name would hide it, but the game and its players know it as "levels".
bool hostMakeHiddenDirectory(const std::string& gbkName) {
    std::error_code error;
    std::filesystem::create_directory(utf8FromGbk(gbkName), error);
    return !error;
}

std::vector<std::string> hostListFiles(const std::string& gbkDirectory, const std::string& suffix) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(utf8FromGbk(gbkDirectory), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!it->is_regular_file(error) || !name.ends_with(suffix)) continue;
        // Back to GBK, one code point at a time (names GBK cannot spell get '?').
        std::string gbk;
        for (std::size_t i = 0; i < name.size();) {
            const auto byte = static_cast<std::uint8_t>(name[i]);
            const int length = byte < 0x80 ? 1 : byte >> 5 == 6 ? 2 : byte >> 4 == 14 ? 3 : byte >> 3 == 30 ? 4 : 1;
            std::uint32_t code = length == 1 ? byte : byte & (0x7Fu >> length);
            for (int k = 1; k < length && i + static_cast<std::size_t>(k) < name.size(); ++k)
                code = code << 6 | (static_cast<std::uint8_t>(name[i + static_cast<std::size_t>(k)]) & 0x3Fu);
            i += static_cast<std::size_t>(length);
            std::uint8_t out[2];
            const int n = code < 0x80 ? (out[0] = static_cast<std::uint8_t>(code), 1) : unicodeToGbk(code, out);
            if (n == 0) gbk += '?';
            else gbk.append(reinterpret_cast<const char*>(out), static_cast<std::size_t>(n));
        }
        names.push_back(gbk);
    }
    std::sort(names.begin(), names.end());
    return names;
}
