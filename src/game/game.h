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

#include "ui/window.h"

inline constexpr std::uint16_t NOT_CHECKED = 0xFFFF;
inline constexpr std::uint16_t PASSES_TO_COMPLETE = 257;

// Set by resetMachine; the next frame sets the current level up again.
extern std::uint8_t levelReloadRequested;

struct Game {
    std::uint8_t redrawAll = 0;
    std::uint64_t lastFrameMicros = 0;
    std::uint64_t totalSleepMicros = 0;
    std::uint64_t frameRate = 0;
    std::uint8_t presetRegisters[16] = {};
    std::uint8_t scratch[16] = {};
    std::uint8_t breakpointRequest = 0;
    std::unordered_map<std::uint64_t, std::vector<std::string>> compileErrors;
    std::vector<std::uint16_t> lineAddress;
    std::uint8_t fast = 0;
    std::uint8_t running = 0;
    std::uint16_t passCount = 0;
    std::uint16_t level = 0;
    std::uint8_t judged = 0;
    std::function<std::uint16_t(std::uint16_t)> registerCheck;
    std::function<std::uint16_t(std::uint16_t)> memoryCheck;
    std::string levelText;
    std::vector<std::uint8_t> program;
    // A failed save is reported once, until a save succeeds again.
    std::uint8_t saveFailureShown = 0;
    // The CPU's PC moved (a step or a run) since the editor's caret last followed it.
    std::uint8_t pcMoved = 0;
    // First 16-byte row the memory panel shows (memory_view.cpp).
    std::int64_t memoryViewRow = 0;

    Game();
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

    void setLEVEL(unsigned short level);
    void Choose(const std::string& title, const std::string& text,
                const std::unordered_map<std::string, std::function<void()>>& options);
};

extern Game game;
extern std::vector<Button> buttonBar;

void resetMachine();
// The compile button: assembles the editor's text, loads it, lists the errors.
void compileProgram();

// Progress files.
std::string levelCodePath(unsigned level);
std::string lastLevelPath();
void saveProgress(unsigned level);
void startupChoice();
void loadLevelCode(unsigned level);
// Creates the levels directory when it is missing.
void ensureLevelsDirectory();

// Last source line of the last compile whose address is `address`, or -1.
std::int64_t sourceLineOf(std::uint16_t address);
// Whether a breakpoint stops the run with the PC at `pc` (breakpoints.cpp).
bool breakpointStops(std::uint16_t pc);
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

// Microseconds of the monotonic clock.
std::uint64_t monotonicMicros();
