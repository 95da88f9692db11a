// The history of the current run, for 回退 (step back): the machine goes back
// one step at a time, through interrupts, the key feeders and stores alike.
//
// It keeps checkpoints ("epochs") of the registers and the level's run state
// every 65536 steps, and for each epoch the old content of every
// 256-byte memory page the epoch changed (saved through Cpu::write before the
// page's first write). Stepping back restores the epoch holding the target
// step and executes forward to it again. Execution is deterministic given
// the machine, the rand() results the feeders drew and the keys the player
// typed, so both are logged with the step they belong to; re-executed and
// re-stepped steps take the logged draws instead of new ones.
//
//   stepHistory.begin();            // at the start of a run (after its set-up)
//   cpu.step(); stepHistory.advance(1);
//   stepHistory.stepBack();         // the machine as it was one step earlier
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "cpu/cpu.h"

// Everything besides memory that a step can change, the level's run state included.
struct MachineState {
    std::uint8_t registers[16];
    std::uint8_t flags;
    std::uint8_t halted;
    std::uint8_t pendingKey;
    std::uint16_t pc, sp, clk;
    std::uint8_t scratch[16];
};
MachineState captureMachineState();
void restoreMachineState(const MachineState& state);

struct HistoryEpoch {
    std::uint64_t firstStep = 0;
    MachineState state{};
    std::size_t drawCursor = 0;
    std::vector<std::uint8_t> pages; // page number, then its 256 bytes as the epoch found them
};

struct TypedKey {
    std::uint64_t step; // typed when this many steps had run
    std::uint8_t key;
};

// Sixteen fast frames: a program that writes all over memory copies (and
// faults in) each page once per epoch; a step back executes at most ~70000
// steps again, well under a millisecond.
inline constexpr std::uint64_t HISTORY_EPOCH_STEPS = 65536;
// The history stays under 64 MiB: saved pages (at most one copy of each page
// per epoch, so 1,000,000 steps need at most ~1 MiB) and the epochs
// themselves are bounded by dropping the oldest epochs; so is the draw log,
// whose oldest half goes with the epochs that needed it (a feeder draws at
// most two numbers a step, so 2M draws still cover a million steps).
inline constexpr std::size_t HISTORY_PAGE_BUDGET = 40u << 20;
inline constexpr std::size_t HISTORY_MAX_EPOCHS = 65536; // ~6 MiB, a billion steps
inline constexpr std::size_t HISTORY_MAX_DRAWS = 4u << 20; // rand() results: 16 MiB

struct StepHistory {
    bool enabled = true;  // the judge tool plays without one
    std::uint64_t epochSteps = HISTORY_EPOCH_STEPS;
    bool recording = false; // this run's steps can be undone
    std::uint64_t steps = 0; // steps of the current run, shown as its step counter
    // The furthest step the run reached: after going back, steps forward replay
    // the logged run (its keys, its draws) up to here and go on from there.
    std::uint64_t furthest = 0;
    std::deque<HistoryEpoch> epochs;
    std::size_t pageBytes = 0;
    std::vector<int> draws; // rand() results drawn during the run, in order, from draw number drawBase on
    std::size_t drawBase = 0;
    std::size_t drawCursor = 0; // draw number of the next rand() result

    std::vector<TypedKey> keys; // in step order, up to the furthest step
    WriteWatch watch{};

    StepHistory();
    ~StepHistory();
    StepHistory(const StepHistory&) = delete;
    StepHistory& operator=(const StepHistory&) = delete;

    // A run starts from the machine as it is; `replayDraws` are played back first.
    void begin(std::vector<int> replayDraws = {});
    // Forgets everything; steps are no longer recorded until the next begin().
    void stop();
    // After `count` steps ran through Cpu::step.
    void advance(std::uint64_t count);
    // Undoes the last step; false when there is none to undo.
    bool stepBack();
    // The oldest step the history can go back to.
    std::uint64_t oldestStep() const { return epochs.empty() ? steps : epochs.front().firstStep; }
    // Steps until the next logged key is typed (a batch of steps must end there), or UINT64_MAX.
    std::uint64_t stepsToNextKey() const;
    // Sets the key logged at the current step pending, as the player typed it there.
    void deliverLoggedKeys();
    // A key typed now: logged, and a logged future after this step is gone.
    void noteKey(std::uint8_t key);
    // Memory as the epoch found it (the epoch's own pages only).
    static void restoreEpochPages(const HistoryEpoch& epoch);
    // Memory holds the start of the last epoch: the machine goes there and
    // executes the logged steps forward to `target` (in that epoch).
    void replayLastEpochTo(std::uint64_t target);
    // Drops the epochs after the one at `index`, whose pages are already undone.
    void dropEpochsAfter(std::size_t index);
    // Makes room in a full draw log by forgetting the oldest epochs.
    void dropOldestDraws();
    // Bytes held (saved pages, the draw log, the epochs), for the memory bound.
    std::size_t bytesHeld() const;
};

extern StepHistory stepHistory;

// rand() as the level feeders see it: during a recorded run each result is
// logged, and a logged result is handed out again when the run is replayed.
int runRand();
