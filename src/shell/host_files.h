// The game's few file operations on the host's file system. Names are the
// game's own GBK text; hostPath turns a directory and a GBK name into the
// host's path (POSIX: UTF-8 with '/'; Windows: GBK with '\', opened through the
// wide-character API so the system's code page does not matter).
//
//   std::string p = hostPath("levels", "\xB5\xDA" "1...");   // levels/第1关代码.txt
//   hostReplaceFile(p, text, HostFileMode::text);          // all or nothing
//   hostReadFile(p, text, HostFileMode::text);             // the same text back
#pragma once
#include <string>
#include <vector>

// Text files end their lines in CR LF on Windows and are read back with "\n";
// a text file read on POSIX also drops a CR before each LF (files saved on Windows).
enum class HostFileMode { binary, text };

std::string hostPath(const std::string& directory, const std::string& gbkName);
enum class HostRead { read, missing, unreadable };
HostRead hostReadFile(const std::string& path, std::string& bytes, HostFileMode mode);
// Writes a temporary file beside `path`, then renames it over `path`: an
// interrupted save leaves the old content, never half a file. `beforeRename`
// (tests) runs once the temporary file is complete.
bool hostReplaceFile(const std::string& path, const std::string& bytes, HostFileMode mode,
                     void (*beforeRename)(const std::string& path) = nullptr);
// Creates the directory (a GBK name in the working directory) when missing and
// marks it hidden where the host can; `made` says whether it was missing.
bool hostMakeHiddenDirectory(const std::string& gbkName, bool* made = nullptr);
// The path as the player reads it: GBK text with the host's own separator
// (levels\第2关代码.txt on Windows, levels/第2关代码.txt elsewhere).
std::string hostShownPath(const std::string& directory, const std::string& gbkName);

// A lock file that says which game uses a directory: "pid=N" and "host=NAME"
// lines. The operating system's own lock on the open file decides who holds
// it, so a lock left by a game that crashed is free again at once and the
// check and the taking are one step. Released (and the file removed) by
// hostReleaseLock, or by the system when the process ends.
struct HostLockHolder {
    std::string processId, host; // as the lock file names them (GBK); empty when it names none
};
enum class HostLock { taken, takenOver, busy, failed };
// taken: the file was free; takenOver: it named a game that is gone (holder says
// which); busy: another running game holds it (holder says which); failed: no
// lock file can be made here (the directory cannot be written).
HostLock hostTakeLock(const std::string& path, HostLockHolder& holder);
void hostReleaseLock();
// This process as a lock file names it.
HostLockHolder hostThisProcess();
// A folder of the player's own where progress could be kept (GBK; empty when unknown).
std::string hostOwnFolder();
// Removes the directory (a GBK name in the working directory) if it is empty.
void hostRemoveEmptyDirectory(const std::string& gbkName);

// The names (GBK) of the files in the directory (a GBK name in the working
// directory) that end in `suffix`, sorted by their bytes; none when it is missing.
std::vector<std::string> hostListFiles(const std::string& gbkDirectory, const std::string& suffix);
