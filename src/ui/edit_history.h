// The editor's undo journal. Every change of the text is one replacement: at a
// position, some text taken out and some put in ('\n' between lines), with the
// selection before it so that undo gives it back. Steps join as editors join
// them: characters typed one after another into one word, a run of Backspaces,
// a run of Deletes. Enter, a paste, a cut and a deleted selection stand alone.
//
//   history.record({at, removed, inserted, selStart, selEnd, EditKind::typing});
//   if (const EditStep* step = history.undo()) { /* put step->removed back */ }
//   history.seal();   // the caret moved: the next edit starts a new step
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

struct TextPosition {
    std::int64_t column = 0;
    std::int64_t line = 0;
    auto operator<=>(const TextPosition& other) const {
        if (auto c = line <=> other.line; c != 0) return c;
        return column <=> other.column;
    }
    bool operator==(const TextPosition&) const = default;
};

// Where the caret lands after `text` is inserted at `at`.
TextPosition positionAfter(TextPosition at, const std::string& text);

// A paste that arrives key by key (a terminal's bracketed paste) is one step:
// its keys join while each goes on right after the last.
enum class EditKind : std::uint8_t { typing, backspace, forwardDelete, other, paste };

struct EditStep {
    TextPosition at;
    std::string removed;
    std::string inserted;
    TextPosition selStartBefore, selEndBefore;
    EditKind kind = EditKind::other;
};

struct EditHistory {
    // More than a level's program ever needs; the oldest steps go first.
    static constexpr std::size_t maxSteps = 500;

    std::deque<EditStep> steps;
    std::size_t done = 0; // steps[0..done) are in the text, the rest can be redone
    bool sealed = true;   // the next step may not join the last one

    // Drops what could be redone, then joins the last step or appends.
    void record(EditStep step);
    // The step to take back / to do again (null when there is none).
    const EditStep* undo();
    const EditStep* redo();
    void seal() { sealed = true; }
    void clear() { *this = EditHistory{}; }
};
