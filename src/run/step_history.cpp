#include "run/step_history.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "run/run_state.h"
#include "levels/game_random.h"

MachineState captureMachineState() {
    MachineState s{};
    std::memcpy(s.registers, cpu.registers, sizeof s.registers);
    s.flags = cpu.flags;
    s.halted = cpu.halted;
    s.pendingKey = cpu.pendingKey;
    s.pc = cpu.pc;
    s.sp = cpu.sp;
    s.clk = cpu.clk;
    std::memcpy(s.scratch, currentRun.scratch, sizeof s.scratch);
    return s;
}

void restoreMachineState(const MachineState& s) {
    std::memcpy(cpu.registers, s.registers, sizeof s.registers);
    cpu.flags = s.flags;
    cpu.halted = s.halted;
    cpu.pendingKey = s.pendingKey;
    cpu.pc = s.pc;
    cpu.sp = s.sp;
    cpu.clk = s.clk;
    std::memcpy(currentRun.scratch, s.scratch, sizeof s.scratch);
}

namespace {

constexpr std::size_t PAGE = 256;

// pageBytes counts the page vectors' capacities: what the history really holds.
void savePage(std::uint8_t page) {
    std::vector<std::uint8_t>& pages = stepHistory.epochs.back().pages;
    const std::size_t before = pages.capacity();
    pages.push_back(page);
    pages.insert(pages.end(), cpu.memory + page * PAGE, cpu.memory + (page + 1) * PAGE);
    stepHistory.pageBytes += pages.capacity() - before;
    stepHistory.watch.pageSaved[page] = 1;
}

void releasePages(StepHistory& h, HistoryEpoch& epoch) {
    h.pageBytes -= epoch.pages.capacity();
    std::vector<std::uint8_t>().swap(epoch.pages);
}

void openEpoch(StepHistory& h) {
    // A program tends to touch as many pages as in its previous epoch: one allocation.
    const std::size_t expected = h.epochs.empty() ? 0 : h.epochs.back().pages.size();
    h.epochs.push_back(HistoryEpoch{h.steps, captureMachineState(), h.drawCursor, {}});
    h.epochs.back().pages.reserve(expected);
    h.pageBytes += h.epochs.back().pages.capacity();
    std::memset(h.watch.pageSaved, 0, sizeof h.watch.pageSaved);
}

} // namespace

void StepHistory::restoreEpochPages(const HistoryEpoch& epoch) {
    for (std::size_t at = 0; at < epoch.pages.size(); at += PAGE + 1)
        std::memcpy(cpu.memory + epoch.pages[at] * PAGE, &epoch.pages[at + 1], PAGE);
}

StepHistory::StepHistory() { watch.savePage = savePage; }

StepHistory::~StepHistory() {
    if (cpu.writeWatch == &watch) cpu.writeWatch = nullptr;
}

void StepHistory::begin(std::vector<int> replayDraws) {
    stop();
    if (!enabled) return;
    draws = std::move(replayDraws);
    recording = true;
    openEpoch(*this);
    cpu.writeWatch = &watch;
}

void StepHistory::stop() {
    recording = false;
    if (cpu.writeWatch == &watch) cpu.writeWatch = nullptr;
    steps = 0;
    furthest = 0;
    epochs.clear();
    pageBytes = 0;
    draws.clear();
    drawBase = 0;
    drawCursor = 0;
    keys.clear();
}

void StepHistory::advance(std::uint64_t count) {
    steps += count;
    if (!recording || count == 0) return;
    furthest = std::max(furthest, steps);
    deliverLoggedKeys();
    if (steps - epochs.back().firstStep >= epochSteps) openEpoch(*this);
    bool dropped = false;
    while ((pageBytes > HISTORY_PAGE_BUDGET || epochs.size() > HISTORY_MAX_EPOCHS) && epochs.size() > 1) {
        releasePages(*this, epochs.front());
        epochs.pop_front();
        dropped = true;
    }
    // Keys typed before the oldest epoch can no longer be needed.
    if (dropped && keys.size() > 1024) {
        const std::uint64_t first = epochs.front().firstStep;
        keys.erase(std::remove_if(keys.begin(), keys.end(), [first](const TypedKey& k) { return k.step < first; }),
                   keys.end());
    }
}

bool StepHistory::stepBack() {
    if (!recording || steps == 0 || epochs.front().firstStep > steps - 1) return false;
    const std::uint64_t target = steps - 1;
    std::size_t keep = epochs.size() - 1;
    for (;; --keep) {
        restoreEpochPages(epochs[keep]);
        if (epochs[keep].firstStep <= target) break;
    }
    dropEpochsAfter(keep);
    replayLastEpochTo(target);
    return true;
}

void StepHistory::dropEpochsAfter(std::size_t index) {
    while (epochs.size() > index + 1) {
        releasePages(*this, epochs.back());
        epochs.pop_back();
    }
}

void StepHistory::replayLastEpochTo(std::uint64_t target) {
    HistoryEpoch& from = epochs.back();
    releasePages(*this, from);
    std::memset(watch.pageSaved, 0, sizeof watch.pageSaved);
    cpu.writeWatch = &watch;
    restoreMachineState(from.state);
    drawCursor = from.drawCursor;
    steps = from.firstStep;
    deliverLoggedKeys();
    // Forward again in batches, each up to the next step a key was typed at.
    Watchpoints* const points = cpu.watchpoints;
    cpu.watchpoints = nullptr;
    while (steps < target) {
        const std::uint64_t ran = cpu.run(std::min(target - steps, stepsToNextKey()), nullptr, nullptr);
        steps += ran;
        deliverLoggedKeys();
        if (ran == 0) break; // halted early: cannot happen for steps that ran before
    }
    cpu.watchpoints = points;
}

std::uint64_t StepHistory::stepsToNextKey() const {
    const auto next = std::upper_bound(keys.begin(), keys.end(), steps,
                                       [](std::uint64_t step, const TypedKey& k) { return step < k.step; });
    return next == keys.end() ? UINT64_MAX : next->step - steps;
}

void StepHistory::deliverLoggedKeys() {
    if (keys.empty() || keys.back().step < steps) return;
    for (const TypedKey& k : keys)
        if (k.step == steps) cpu.pendingKey = k.key;
}

void StepHistory::noteKey(std::uint8_t key) {
    if (!recording) return;
    // A key typed after going back makes a new future: the logged one is gone.
    keys.erase(std::remove_if(keys.begin(), keys.end(), [this](const TypedKey& k) { return k.step > steps; }),
               keys.end());
    furthest = steps;
    keys.push_back({steps, key});
}

std::size_t StepHistory::bytesHeld() const {
    return pageBytes + draws.capacity() * sizeof(int) + epochs.size() * sizeof(HistoryEpoch) +
           keys.capacity() * sizeof(TypedKey);
}

void StepHistory::dropOldestDraws() {
    while (epochs.size() > 1 && epochs.front().drawCursor - drawBase < draws.size() / 2) {
        releasePages(*this, epochs.front());
        epochs.pop_front();
    }
    const std::size_t unused = epochs.front().drawCursor - drawBase;
    draws.erase(draws.begin(), draws.begin() + static_cast<std::ptrdiff_t>(unused));
    drawBase += unused;
}

int runRand() {
    StepHistory& h = stepHistory;
    if (!h.recording) return gameRand();
    if (h.drawCursor - h.drawBase < h.draws.size()) return h.draws[h.drawCursor++ - h.drawBase];
    const int value = gameRand();
    if (h.draws.size() >= HISTORY_MAX_DRAWS) h.dropOldestDraws();
    h.draws.push_back(value);
    ++h.drawCursor;
    return value;
}
