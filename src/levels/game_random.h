// The levels' random numbers. On Linux they are the C library's rand() and
// srand(); a Windows build runs glibc's generator itself, because msvcrt's
// rand() is another sequence and a seed (the judge's --seed, a replayed run)
// must give the same test data on both.
//
//   gameSrand(42);
//   int value = gameRand();   // as rand() after srand(42) with glibc
#pragma once
#include <cstdint>

void gameSrand(unsigned seed);
// 0 .. 2147483647, as glibc's rand().
int gameRand();

// glibc's default generator (TYPE_3): additive feedback over 31 words, seeded
// with a Lehmer sequence and run 310 times before the first result.
struct GlibcRandom {
    std::uint32_t state[31] = {};
    int front = 3, rear = 0; // state[front] += state[rear], as glibc's fptr and rptr over 31 words

    void seed(unsigned seed);
    int next();
};
