// The panels' side of watches (run/watches.h): clicks on the register,
// memory, stack and screen panels toggle them, and 中断处停 in the CPU
// control panel flips its toggle and its button's text.
#pragma once

void installWatchClicks();
void toggleInterruptStop();
