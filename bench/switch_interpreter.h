// The yardstick for Cpu::run: a straightforward interpreter of the same word
// format, written the way a first version would be. Each step fetches the four
// bytes, splits the fields and switches on Op, then on TYPE; no tables, no
// memo, one call per step. It runs on a Cpu's fields, so both interpreters
// can take turns on the same machine with the same hook.
//
//   for (int i = 0; i < n && !cpu.halted; ++i) switchStep(cpu);
#pragma once
#include "cpu/cpu.h"

void switchStep(Cpu& m);
