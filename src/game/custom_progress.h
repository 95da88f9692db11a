// Progress in teachers' levels (custom_progress.cpp): the level file last
// played, offered at the next start, and the ones completed, marked 已通过 in 选关.
#pragma once
#include <string>

// The level file played now ("" for a built-in level); written when it changes.
void noteCustomLevelPlayed(const std::string& fileName);
void markCustomLevelPassed(const std::string& fileName);
bool customLevelPassed(const std::string& fileName);
// At start: asks whether to go on with the teacher's level last played; false
// (nothing asked) when the last level played was a built-in one.
bool offerLastCustomLevel();
