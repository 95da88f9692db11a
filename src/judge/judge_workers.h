// Worker processes for the judge: the judge runs itself again as a child with
// other arguments (posix_spawn on Linux, _spawnv on Windows), so workers need
// no other program and behave exactly like the parent.
//
//   rememberProgramPath(argv[0]);                      // once, in main
//   std::optional<Worker> w = startWorker({"grade-worker", tasks, out});
//   std::size_t done = waitForAnyWorker(running);      // index into running; it is finished
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Worker {
    std::intptr_t id = -1; // process id (POSIX) or process handle (Windows)
    bool succeeded = false; // set by waitForAnyWorker: exited with status 0
};

void rememberProgramPath(const char* argv0);

// nullopt when the process could not be started (the caller does the work itself).
std::optional<Worker> startWorker(const std::vector<std::string>& arguments);

// Blocks until one of `workers` has exited, sets its `succeeded` and returns its index.
std::size_t waitForAnyWorker(std::vector<Worker>& workers);

// This process's id, for names of temporary files.
unsigned long processId();
