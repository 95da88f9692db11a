// Windows: GBK paths become UTF-16 with code page 936 and go through the wide
// API, so a system whose code page is not 936 still finds 第N关代码.txt.
#include "shell/host_files.h"
#include "shell/lock_holder.h"

#include <windows.h>

#include <algorithm>

namespace {

std::wstring wideFromGbk(const std::string& gbk) {
    if (gbk.empty()) return {};
    const int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), wide.data(), n);
    return wide;
}

bool writeAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

std::string gbkFromWide(const wchar_t* wide) {
    const int n = WideCharToMultiByte(936, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string gbk(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(936, 0, wide, -1, gbk.data(), n, nullptr, nullptr);
    gbk.pop_back(); // the terminating zero
    return gbk;
}

std::string readHandle(HANDLE file) {
    std::string text;
    char buffer[256];
    DWORD n = 0;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    while (text.size() < 4096 && ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
    return text;
}

HANDLE lockHandle = INVALID_HANDLE_VALUE;
// Never destroyed: the lock is given back by the Game's destructor at exit,
// after this file's own globals may be gone.
std::wstring& lockPath = *new std::wstring;

} // namespace

std::string hostPath(const std::string& directory, const std::string& gbkName) { return directory + "\\" + gbkName; }

std::string hostShownPath(const std::string& directory, const std::string& gbkName) { return directory + "\\" + gbkName; }

HostLockHolder hostThisProcess() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size)) name[0] = L'\0';
    return {std::to_string(GetCurrentProcessId()), gbkFromWide(name)};
}

// The holder keeps the file open for writing and lets others only read it: a
// second game's open for writing fails with a sharing violation until the
// holder's handle closes, which the system does when its process ends.
HostLock hostTakeLock(const std::string& path, HostLockHolder& holder) {
    holder = {};
    hostReleaseLock();
    const std::wstring name = wideFromGbk(path);
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() != ERROR_SHARING_VIOLATION) return HostLock::failed;
        HANDLE reader = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (reader != INVALID_HANDLE_VALUE) {
            holder = parseLockHolder(readHandle(reader));
            CloseHandle(reader);
        }
        return HostLock::busy;
    }
    holder = parseLockHolder(readHandle(file));
    const HostLockHolder me = hostThisProcess();
    const std::string text = "pid=" + me.processId + "\r\nhost=" + me.host + "\r\n";
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    if (!SetEndOfFile(file) || !writeAll(file, text)) {
        CloseHandle(file);
        return HostLock::failed;
    }
    FlushFileBuffers(file);
    lockHandle = file;
    lockPath = name;
    return holder.processId.empty() ? HostLock::taken : HostLock::takenOver;
}

// Emptied before it is closed and removed: a game that opens it in between
// finds no holder named, and the removal fails while that game holds it.
void hostReleaseLock() {
    if (lockHandle == INVALID_HANDLE_VALUE) return;
    SetFilePointer(lockHandle, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(lockHandle);
    CloseHandle(lockHandle);
    lockHandle = INVALID_HANDLE_VALUE;
    DeleteFileW(lockPath.c_str());
}

std::string hostOwnFolder() {
    wchar_t profile[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return gbkFromWide(profile) + "\\Documents";
}

void hostRemoveEmptyDirectory(const std::string& gbkName) { RemoveDirectoryW(wideFromGbk(gbkName).c_str()); }

HostRead hostReadFile(const std::string& path, std::string& bytes, HostFileMode mode) {
    bytes.clear();
    HANDLE file = CreateFileW(wideFromGbk(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? HostRead::missing : HostRead::unreadable;
    }
    std::string raw;
    char buffer[65536];
    DWORD n = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &n, nullptr) != 0) && n > 0) raw.append(buffer, n);
    CloseHandle(file);
    if (!ok) return HostRead::unreadable;
    if (mode == HostFileMode::binary) {
        bytes = std::move(raw);
        return HostRead::read;
    }
    // Text mode as the C library's "r": CR LF becomes "\n".
    bytes.clear();
    bytes.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i)
        if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) bytes += raw[i];
    return HostRead::read;
}

bool hostReplaceFile(const std::string& path, const std::string& bytes, HostFileMode mode,
                     void (*beforeRename)(const std::string& path)) {
    std::string disk;
    if (mode == HostFileMode::text) {
        // Text mode as the C library's "w": every "\n" is stored as CR LF.
        disk.reserve(bytes.size() + bytes.size() / 8);
        for (char c : bytes) {
            if (c == '\n') disk += '\r';
            disk += c;
        }
    }
    const std::string& content = mode == HostFileMode::text ? disk : bytes;
    const std::wstring target = wideFromGbk(path);
    const std::wstring temporary = target + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = writeAll(file, content);
    ok = (CloseHandle(file) != 0) && ok;
    if (ok && beforeRename) beforeRename(path);
    ok = ok && MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) DeleteFileW(temporary.c_str());
    return ok;
}

// What "mkdir levels" and "attrib +h levels" did, without a command interpreter.
bool hostMakeHiddenDirectory(const std::string& gbkName, bool* made) {
    const std::wstring name = wideFromGbk(gbkName);
    const bool created = CreateDirectoryW(name.c_str(), nullptr) != 0;
    if (made) *made = created;
    if (!created && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & FILE_ATTRIBUTE_HIDDEN) || SetFileAttributesW(name.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN);
}

std::vector<std::string> hostListFiles(const std::string& gbkDirectory, const std::string& suffix) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wideFromGbk(gbkDirectory + "\\*" + suffix).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::string gbk = gbkFromWide(found.cFileName);
        if (!gbk.empty() && gbk.ends_with(suffix)) names.push_back(gbk); // "*.toml" also matches "x.tomlx" on 8.3 names
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}
