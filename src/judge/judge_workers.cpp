#include "judge/judge_workers.h"

#include "judge/judge_files.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#endif

namespace {
std::string programPath;

#ifdef _WIN32
// _wspawnv joins the arguments with spaces; the child's C runtime splits them
// again, so arguments with blanks or quotes need quoting.
std::string commandLineQuoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}
#endif
} // namespace

void rememberProgramPath(const char* argv0) {
#ifdef _WIN32
    (void)argv0;
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) programPath = pathText(std::filesystem::path(std::wstring(path, length)));
#else
    // The running executable itself, wherever it was started from.
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length > 0 && static_cast<std::size_t>(length) < sizeof path) programPath.assign(path, static_cast<std::size_t>(length));
    else if (argv0) programPath = argv0;
#endif
}

std::optional<Worker> startWorker(const std::vector<std::string>& arguments) {
    if (programPath.empty()) return std::nullopt;
#ifdef _WIN32
    // Wide, so that paths with Chinese names reach the worker whatever the code page.
    std::vector<std::wstring> texts{filePath(commandLineQuoted(programPath)).native()};
    for (const std::string& argument : arguments) texts.push_back(filePath(commandLineQuoted(argument)).native());
    std::vector<const wchar_t*> argv;
    for (const std::wstring& text : texts) argv.push_back(text.c_str());
    argv.push_back(nullptr);
    const std::intptr_t handle = _wspawnv(_P_NOWAIT, filePath(programPath).c_str(), argv.data());
    if (handle == -1) return std::nullopt;
    return Worker{handle};
#else
    std::vector<std::string> texts{programPath};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, programPath.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return std::nullopt;
    return Worker{pid};
#endif
}

std::size_t waitForAnyWorker(std::vector<Worker>& workers) {
#ifdef _WIN32
    std::vector<HANDLE> handles;
    for (const Worker& worker : workers) handles.push_back(reinterpret_cast<HANDLE>(worker.id));
    const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
    std::size_t index = result - WAIT_OBJECT_0;
    if (index >= workers.size()) index = 0;
    int status = -1;
    _cwait(&status, workers[index].id, 0);
    workers[index].succeeded = status == 0;
    return index;
#else
    for (;;) {
        int status = 0;
        const pid_t pid = waitpid(-1, &status, 0);
        if (pid == -1) {
            if (errno == EINTR) continue;
            // No child left to wait for: report the first one as failed.
            workers[0].succeeded = false;
            return 0;
        }
        for (std::size_t i = 0; i < workers.size(); ++i)
            if (workers[i].id == pid) {
                workers[i].succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
                return i;
            }
    }
#endif
}

unsigned long processId() {
#ifdef _WIN32
    return static_cast<unsigned long>(_getpid());
#else
    return static_cast<unsigned long>(getpid());
#endif
}
