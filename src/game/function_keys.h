// The function keys: one table of (key, Shift, action), consulted for every
// key record before the panels see it, whichever panel is in front (键盘
// included), unless the choice dialog is open and owns the keys. The guide
// and the README list the same keys.
//
//   if (runFunctionKey(record)) return;   // taken: no panel sees it
#pragma once
#include <cstdint>
#include <span>

#include "console/platform.h"

struct FunctionKey {
    std::uint16_t key; // virtual-key code
    bool shift;        // Shift held
    const char* name;  // as the guide writes it: "F7", "Shift+F7"
    const char* label; // the action's button or panel text: "步进"
    void (*action)();
};

std::span<const FunctionKey> functionKeys();
// The table's row for this key record (down or up), or nullptr.
const FunctionKey* findFunctionKey(const INPUT_RECORD& record);
// Runs a key-down of the table and takes its key-up too; false for any other
// record, and for every record while the choice dialog is open.
bool runFunctionKey(const INPUT_RECORD& record);
