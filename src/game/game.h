// The game: level bookkeeping, judging, the status panels and the frame.
// One global instance, constructed last among the program's globals.
//
//   for (;;) game.update();     // one 60 Hz frame: level, panels, input and drawing, CPU
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "run/run_state.h"
#include "ui/window.h"

// Whether the editor's text has been compiled since the last edit or reset.
enum class CompileState : std::uint8_t { NotCompiled, Failed, Compiled };
// Who may write the progress folder levels/ (progress_folder.cpp): nobody
// before the first frame (the size prompt leaves nothing behind); this game
// once it holds the folder's lock; or, without a lock (a folder that cannot be
// written), this game trying every save; nobody while the player is asked
// about another game holding it, or after choosing to play read-only.
enum class ProgressFolder : std::uint8_t { Closed, Owned, Unlocked, Asking, ReadOnly };

// The run's state (level, passes, presets, checks, program) comes from RunState.
struct Game : RunState {
    std::uint8_t redrawAll = 0;
    std::uint64_t lastFrameMicros = 0;
    std::uint64_t totalSleepMicros = 0;
    std::uint64_t frameRate = 0;
    std::uint8_t breakpointRequest = 0;
    std::unordered_map<std::uint64_t, std::vector<std::string>> compileErrors;
    std::string levelText;
    // The level for which the player was told that its feeder owns the keyboard.
    std::uint16_t feederNoticeLevel = 0;
    CompileState compileState = CompileState::NotCompiled;
    // Lines of the last failed compile, marked in the editor until the next edit or compile.
    std::vector<std::uint64_t> errorLines;
    // A failed save is reported once per file, until that file saves again.
    std::uint8_t codeSaveFailureShown = 0;
    std::uint8_t lastLevelSaveFailureShown = 0;
    std::uint8_t highestLevelSaved = 0;
    // The highest level reached (levels/最高关卡.bin); 选关 offers 1 to it.
    std::uint16_t highestLevel = 0;
    // Levels whose code file exists but could not be read: it is left alone
    // until the player edits that level's code, so nothing unread is lost.
    std::vector<std::uint16_t> unreadableCodeLevels;
    // Such levels the player has edited since: their file is read once more
    // before it is replaced, and what it held comes back above the new text.
    std::vector<std::uint16_t> unreadEditedLevels;
    ProgressFolder progressFolder = ProgressFolder::Closed;
    // The last save failed (a mark stays on screen until one succeeds).
    std::uint8_t progressUnsaved = 0;
    // The player was told why and where progress could be kept, since saving last worked.
    std::uint8_t unsavedExplained = 0;
    // Progress is on disk (found at start, or saved since): from then on every set-up saves.
    std::uint8_t progressKept = 0;
    // levels/ was made by this game (for its lock): removed at the end if nothing went into it.
    std::uint8_t levelsDirectoryMade = 0;
    // First 16-byte row the memory panel shows (memory_view.cpp).
    std::int64_t memoryViewRow = 0;

    Game();
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // One frame and its steps, in the order update() runs them.
    void update();
    void updateLEVEL();
    void updateMEM();
    void updateREG();
    void markEditorLines();
    void handleINPUTandDRAW();
    void updateVM();
    void paceFrame();

    // Compares registers and memory with the level's check functions.
    bool runPasses() const;
    void judgeRun();
    // A run of a teacher's level that reached its max_steps without halting fails as a wrong halt does.
    void failRunOverStepLimit();

    void setLEVEL(unsigned short level);
    // Sets the current level up for its boundary run `index` (1-based) instead
    // of a random run.
    void setUpBoundaryRun(unsigned index);
    void setUpRun(unsigned short level, unsigned boundary);
    // The dialog also answers to keys (virtual-key code → option text) while
    // it is open; its close box answers dismissOption (none: it only closes).
    void Choose(const std::string& title, const std::string& text,
                const std::unordered_map<std::string, std::function<void()>>& options,
                const std::unordered_map<std::uint16_t, std::string>& keys = {},
                const std::string& dismissOption = {});
    // The open choice dialog's answers by virtual-key code.
    std::unordered_map<std::uint16_t, std::function<void()>> choiceKeys;
};

extern Game game;
extern std::vector<Button> buttonBar;

void resetMachine();
// The compile button: assembles the editor's text, loads it, lists the errors.
void compileProgram();
// The player edited the source: the machine resets and the last compile's marks go.
void sourceEdited();
// Compile feedback in the console panel: the errors, the warnings and a line
// that says how the compile went.
void reportCompile(const std::string& source);
// 运行 and 步进 run nothing until the text compiles; true (with a message) when refused.
bool refuseUncompiledRun();

// A key-down record bound to an answer of the open choice dialog answers it
// (true); any other record is left for the panels (false).
bool answerChoiceByKey(const INPUT_RECORD& record);

// A key typed into the 键盘 panel on a level that types its own keys: says
// once per level that the level's feeder owns the keyboard.
void noticeKeyOnFeederLevel();

// Progress files.
std::string levelCodePath(unsigned level);
std::string lastLevelPath();
std::string highestLevelPath();
void saveProgress(unsigned level);
// A folder from before the highest level had a file gets it once it may be written.
void saveHighestLevelIfBehind();
void startupChoice();
void loadLevelCode(unsigned level);
// Loads level 1's saved code when there is some, then starts level 1 (否).
void startLevelOneWithSavedCode();
// Whether the start-up question is still open (the game waits in level 0).
bool startupQuestionOpen();
// 选关: saves the current level's code, loads the chosen level's and sets it up.
void switchToLevel(unsigned level);
// 选关's entry for a teacher's level file in custom-levels/ (its GBK name).
void switchToCustomLevel(const std::string& fileName);
// A completed level's successor, with its own saved code if reached before.
void enterNextLevel(unsigned short next);
// The player edited the code of the current level: its file may be written again.
void releaseUnreadableCode();
// Test seam: called with the final path once a save's temporary file is
// written and closed, just before it is renamed over the final path.
extern void (*progressSaveSeam)(const std::string& finalPath);
// Creates the levels directory when it is missing.
void ensureLevelsDirectory();

// Last source line of the last compile whose address is `address`, or -1.
std::int64_t sourceLineOf(std::uint16_t address);
// Whether a breakpoint stops the run with the PC at `pc` (breakpoints.cpp).
bool breakpointStops(std::uint16_t pc);
// 反向运行 (Shift+F5), stopping before the editor's breakpoints too (run/reverse_run.h).
void runBackwards();
// The 断点 button's request: toggles the breakpoint on the caret's line.
void applyBreakpointRequest();
// The panels' layout (panel_layout.cpp): the order at start, then the one
// kept in levels/布局.txt; keepLayout saves a changed layout after a frame.
void arrangeDefaultLayout();
void restoreLayout();
void keepLayout();
std::string layoutPath();
// Takes every further queued key record while they go to the editor, so a
// paste reaches it in one frame (editor_keys.cpp).
void takeQueuedEditorKeys();
// A key-down that types or edits text, or Esc, while the panel in front takes
// no such key of its own: the editor comes to the front (shown if hidden) and
// takes it (editor_keys.cpp).
void bringEditorForTypedKey(const INPUT_RECORD& record);

// Microseconds of the monotonic clock.
std::uint64_t monotonicMicros();
