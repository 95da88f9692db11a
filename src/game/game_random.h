// The levels' random numbers: the sequence of glibc's rand() for a seed, on
// every platform. A seed (the judge's --seed, a replayed run) must give the
// same test data on Windows as on Linux; msvcrt's rand() is another generator.
//
//   gameSrand(42);
//   int value = gameRand();   // as rand() after srand(42) with glibc
#pragma once

void gameSrand(unsigned seed);
// 0 .. 2147483647, as glibc's rand().
int gameRand();
