#include "ui/edit_history.h"

TextPosition positionAfter(TextPosition at, const std::string& text) {
    const std::size_t lastBreak = text.rfind('\n');
    if (lastBreak == std::string::npos) return {at.column + static_cast<std::int64_t>(text.size()), at.line};
    std::int64_t breaks = 0;
    for (char c : text) breaks += c == '\n';
    return {static_cast<std::int64_t>(text.size() - lastBreak - 1), at.line + breaks};
}

namespace {
bool blank(char c) { return c == ' ' || c == '\t'; }

// Typing continues the last step while the caret has stayed right after it;
// a blank after a word starts the next word's step.
bool joins(EditStep& last, const EditStep& step) {
    if (last.kind != step.kind) return false;
    switch (step.kind) {
    case EditKind::typing:
        if (!step.removed.empty() || step.inserted.empty() || last.inserted.empty()) return false;
        if (step.at != positionAfter(last.at, last.inserted)) return false;
        if (blank(step.inserted.front()) && !blank(last.inserted.back())) return false;
        last.inserted += step.inserted;
        return true;
    case EditKind::backspace:
        if (!step.inserted.empty() || positionAfter(step.at, step.removed) != last.at) return false;
        last.at = step.at;
        last.removed.insert(0, step.removed);
        return true;
    case EditKind::forwardDelete:
        if (!step.inserted.empty() || step.at != last.at) return false;
        last.removed += step.removed;
        return true;
    case EditKind::paste:
        if (!step.removed.empty() || step.at != positionAfter(last.at, last.inserted)) return false;
        last.inserted += step.inserted;
        return true;
    case EditKind::other: return false;
    }
    return false;
}
} // namespace

void EditHistory::record(EditStep step) {
    steps.erase(steps.begin() + static_cast<std::ptrdiff_t>(done), steps.end());
    const bool joined = !sealed && !steps.empty() && joins(steps.back(), step);
    sealed = step.kind == EditKind::other;
    if (!joined) {
        steps.push_back(std::move(step));
        if (steps.size() > maxSteps) steps.pop_front();
    }
    done = steps.size();
}

const EditStep* EditHistory::undo() {
    sealed = true;
    if (done == 0) return nullptr;
    return &steps[--done];
}

const EditStep* EditHistory::redo() {
    sealed = true;
    if (done == steps.size()) return nullptr;
    return &steps[done++];
}
