#include "shell/host_files.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "ui/gbk_text.h"

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
