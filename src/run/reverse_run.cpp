#include "run/reverse_run.h"

#include <algorithm>
#include <string>

#include "cpu/cpu.h"
#include "run/run_state.h"
#include "run/step_changes.h"
#include "run/step_history.h"
#include "run/watches.h"
#include "shell/messages.h"

namespace {

enum class Reason { None, Watch, Breakpoint };

struct Found {
    std::uint64_t step = 0;
    Reason reason = Reason::None;
    std::string what; // the watch or interrupt the next step changes or enters
};

bool stopAtBreakpoint(void* breakpointAt) { return (*static_cast<BreakpointTest*>(breakpointAt))(cpu.pc); }

// What the step after the current one changed, before it ran (points hold it).
std::string changedPlace(const Watchpoints& p) {
    if (watches.stopAtInterrupts && p.places[p.count - 1].before != cpu.interruptEntries)
        return "进入" + interruptName(cpu.lastInterrupt);
    for (std::size_t i = 0; i < watches.list.size(); ++i) {
        const std::size_t first = watches.firstPlace[i];
        const std::size_t last = i + 1 < watches.firstPlace.size() ? watches.firstPlace[i + 1] : p.count;
        for (std::size_t k = first; k < last; ++k)
            if ((*p.places[k].at ^ p.places[k].before) & p.places[k].mask) return "改变" + watchName(watches.list[i]);
    }
    return "改变观察的位置";
}

// Runs the logged steps of the epoch from its start up to `end`, and keeps
// the last step (before `end`) at which the run would stop.
void scanEpoch(StepHistory& h, std::size_t index, std::uint64_t end, Watchpoints* points, BreakpointTest breakpointAt,
               Found& found) {
    const HistoryEpoch& epoch = h.epochs[index];
    StepHistory::restoreEpochPages(epoch);
    restoreMachineState(epoch.state);
    h.drawCursor = epoch.drawCursor;
    h.steps = epoch.firstStep;
    h.deliverLoggedKeys();
    while (h.steps < end) {
        if (breakpointAt && breakpointAt(cpu.pc)) found = {h.steps, Reason::Breakpoint, {}};
        cpu.watchpoints = points;
        const std::uint64_t ran =
            cpu.run(std::min(end - h.steps, h.stepsToNextKey()), breakpointAt ? stopAtBreakpoint : nullptr, &breakpointAt);
        cpu.watchpoints = nullptr;
        if (ran == 0) break;
        if (points && points->hit) found = {h.steps + ran - 1, Reason::Watch, changedPlace(*points)};
        h.steps += ran;
        h.deliverLoggedKeys();
    }
}

} // namespace

void runBackwardsUntil(BreakpointTest breakpointAt) {
    currentRun.running = 0;
    StepHistory& h = stepHistory;
    if (!h.recording || h.steps <= h.oldestStep()) {
        consolePrintf("已在运行的开始，无法再反向运行。\n");
        return;
    }
    const std::uint64_t now = h.steps;
    Watchpoints* const points = armWatches();
    // Epoch by epoch from the latest: scanning runs with the page log off, and
    // undoing the epoch's pages again brings memory back to its start.
    cpu.writeWatch = nullptr;
    Found found;
    std::size_t epoch = h.epochs.size() - 1;
    for (;; --epoch) {
        const std::uint64_t end = epoch + 1 < h.epochs.size() ? h.epochs[epoch + 1].firstStep : now;
        scanEpoch(h, epoch, end, points, breakpointAt, found);
        StepHistory::restoreEpochPages(h.epochs[epoch]);
        if (found.reason != Reason::None || epoch == 0) break;
    }
    h.dropEpochsAfter(epoch);
    const std::uint64_t target = found.reason == Reason::None ? h.epochs.back().firstStep : found.step;
    h.replayLastEpochTo(target);
    clearStepChanges();
    currentRun.pcMoved = 1;

    const auto step = static_cast<unsigned long long>(target);
    switch (found.reason) {
    case Reason::Watch: consolePrintf("反向运行停在第%llu步：下一步%s。\n", step, found.what.c_str()); break;
    case Reason::Breakpoint: consolePrintf("反向运行停在第%llu步：下一步执行断点行。\n", step); break;
    case Reason::None:
        if (target == 0) consolePrintf("反向运行停在第0步：运行的开始。\n");
        else consolePrintf("反向运行停在第%llu步：更早的步已不在记录中。\n", step);
        break;
    }
}
