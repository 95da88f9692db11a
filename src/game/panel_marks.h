// Colours on top of the status panels' text, repainted every frame after the
// panels are rewritten: failed checks in red until the next set-up, the last
// step's changes highlighted until the next step, watched places in
// their own colour. Also the step counter in
// the CPU control panel.
#pragma once
#include <cstdint>

inline constexpr std::uint16_t MISMATCH_ATTRIBUTE = 0x0C; // bright red on black
inline constexpr std::uint16_t CHANGED_ATTRIBUTE = 0xE0;  // black on yellow
inline constexpr std::uint16_t WATCH_ATTRIBUTE = 0xB0;    // black on light cyan: a watched place

// The CPU control panel's row of the step counter, below the speed.
inline constexpr std::int64_t STEP_COUNTER_ROW = 4;

void paintPanelMarks();
void printStepCounter();
