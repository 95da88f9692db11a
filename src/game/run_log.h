// What log.txt says about play (shell/logger.h writes it): level changes,
// compiles, failed runs and completed levels, for a teacher helping a student.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "run/run_mismatches.h"

// "第3关" or a teacher's level's title.
std::string levelNameForLog(unsigned level);
void logLevelStart(unsigned level);
// After a compile: how it went (the first error's line and text when it failed).
void logCompile();
void logFailedRun(const std::vector<RunMismatch>& mismatches, bool withoutHlt);
void logLevelCompleted(std::size_t instructions, double meanSteps);
