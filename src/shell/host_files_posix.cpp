#include "shell/host_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <filesystem>

#include "shell/lock_holder.h"
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

// Back to GBK, one code point at a time (what GBK cannot spell becomes '?').
std::string gbkFromUtf8(const std::string& name) {
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
    return gbk;
}

int lockDescriptor = -1;
pid_t lockOwner = 0; // a forked child must not release its parent's lock
// Never destroyed: the lock is given back by the Game's destructor at exit,
// after this file's own globals may be gone.
std::string& lockPath = *new std::string;

bool sameFile(int fd, const std::string& path) {
    struct stat opened {}, named {};
    return fstat(fd, &opened) == 0 && stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

#ifndef __EMSCRIPTEN__
std::string readDescriptor(int fd) {
    std::string text;
    char buffer[256];
    ssize_t n;
    for (off_t at = 0; (n = pread(fd, buffer, sizeof buffer, at)) > 0 && text.size() < 4096; at += n)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

// The lock file names the host in UTF-8, as the terminal shows it.
HostLockHolder parseHolder(const std::string& text) {
    HostLockHolder holder = parseLockHolder(text);
    holder.host = gbkFromUtf8(holder.host);
    return holder;
}

// Without the system's lock (a file system that has none) the file alone
// tells: a game of this host whose process is gone.
bool holderIsGone(const HostLockHolder& holder) {
    if (holder.processId.empty()) return true;
    if (holder.host != hostThisProcess().host) return false;
    const long pid = std::strtol(holder.processId.c_str(), nullptr, 10);
    return pid <= 0 || (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
}
#endif

} // namespace

std::string hostShownPath(const std::string& directory, const std::string& gbkName) { return directory + "/" + gbkName; }

HostLockHolder hostThisProcess() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) name[0] = '\0';
    return {std::to_string(getpid()), gbkFromUtf8(name)};
}

HostLock hostTakeLock(const std::string& path, HostLockHolder& holder) {
    holder = {};
#ifdef __EMSCRIPTEN__
    // The browser plays one game per page profile, in its own memory file
    // system: there is no second process to keep out.
    (void)path;
    return HostLock::taken;
#else
    hostReleaseLock();
    // A lock released and removed between the open and the lock is tried again on the new file.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return HostLock::failed;
        holder = parseHolder(readDescriptor(fd));
        if (flock(fd, LOCK_EX | LOCK_NB) != 0 && (errno == EWOULDBLOCK || !holderIsGone(holder))) {
            close(fd);
            return HostLock::busy;
        }
        if (!sameFile(fd, path)) {
            close(fd);
            continue;
        }
        holder = parseHolder(readDescriptor(fd));
        const HostLockHolder me = hostThisProcess();
        const std::string text = "pid=" + me.processId + "\nhost=" + utf8FromGbk(me.host) + "\n";
        if (ftruncate(fd, 0) != 0 || pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
            close(fd);
            return HostLock::failed;
        }
        lockDescriptor = fd;
        lockOwner = getpid();
        lockPath = path;
        return holder.processId.empty() ? HostLock::taken : HostLock::takenOver;
    }
    return HostLock::busy;
#endif
}

// Emptied first: a game that opens the file in the moment before it is
// removed finds no holder named in it.
void hostReleaseLock() {
    if (lockDescriptor < 0) return;
    if (lockOwner == getpid()) {
        if (ftruncate(lockDescriptor, 0) != 0) { /* removed below all the same */ }
        if (sameFile(lockDescriptor, lockPath)) unlink(lockPath.c_str());
    }
    close(lockDescriptor);
    lockDescriptor = -1;
}

std::string hostOwnFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? gbkFromUtf8(home) : std::string();
}

void hostRemoveEmptyDirectory(const std::string& gbkName) { rmdir(utf8FromGbk(gbkName).c_str()); }

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
bool hostMakeHiddenDirectory(const std::string& gbkName, bool* made) {
    std::error_code error;
    const bool created = std::filesystem::create_directory(utf8FromGbk(gbkName), error);
    if (made) *made = created && !error;
    return !error;
}

std::vector<std::string> hostListFiles(const std::string& gbkDirectory, const std::string& suffix) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(utf8FromGbk(gbkDirectory), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!it->is_regular_file(error) || !name.ends_with(suffix)) continue;
        names.push_back(gbkFromUtf8(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}
