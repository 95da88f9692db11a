// The progress folder levels/ shared by the games started in one working
// directory: its lock (levels/正在使用.lock), taken at the first frame; the
// question when another running game holds it (play read-only, or quit); and
// the player's view of saving: a mark on the bar while progress is not being
// saved, repeated at a completed level and at F10, which then offers to retry.
//
//   if (!progressWritable()) return;   // before any write into levels/
#pragma once
#include <string>

#include "console/platform.h"

// First in every frame: at the first (past the size prompt) takes the lock or
// asks what to do when another game holds it; later asks a question left for it.
void tendProgressFolder();
// The game's end: the lock is given back, and an empty levels/ this game made is removed.
void closeProgressFolder();
// Whether this game may write into levels/ now (a folder without a lock tries to take it again).
bool progressWritable();
// After a save: every file written (true) or not.
void noteProgressSaved(bool allWritten);
// A level was completed: repeats the warning when its progress could not be saved.
void warnUnsavedAtCompletion();
// F10 that reached the game: asks first while progress is not saved, else ends the game.
bool answerF10(const INPUT_RECORD& record);
// The mark at the right end of the bar; a click on it explains (the record of this frame, if any).
void drawProgressMark(const INPUT_RECORD* record);
// A name in levels/ as the host shows paths (levels\第2关代码.txt on Windows).
std::string progressFileShown(const std::string& gbkName);
