#include "game/game_random.h"

#include <cstdint>

namespace {

// glibc's default generator (TYPE_3): additive feedback over 31 words,
// seeded with a Lehmer sequence and run 310 times before the first result.
struct Generator {
    std::uint32_t state[31] = {};
    int front = 3, rear = 0; // state[front] += state[rear], as glibc's fptr and rptr over 31 words

    void seed(unsigned seed) {
        std::int32_t word = seed == 0 ? 1 : static_cast<std::int32_t>(seed);
        std::int32_t r[31];
        r[0] = word;
        for (int i = 1; i < 31; ++i) {
            const std::int32_t hi = word / 127773, lo = word % 127773;
            word = 16807 * lo - 2836 * hi;
            if (word < 0) word += 2147483647;
            r[i] = word;
        }
        for (int i = 0; i < 31; ++i) state[i] = static_cast<std::uint32_t>(r[i]);
        front = 3;
        rear = 0;
        for (int i = 0; i < 310; ++i) next();
    }

    int next() {
        state[front] += state[rear];
        const int result = static_cast<int>(state[front] >> 1);
        if (++front >= 31) front = 0;
        if (++rear >= 31) rear = 0;
        return result;
    }
};

Generator& generator() {
    static Generator g = [] {
        Generator fresh;
        fresh.seed(1); // as rand() without srand()
        return fresh;
    }();
    return g;
}

} // namespace

void gameSrand(unsigned seed) { generator().seed(seed); }

int gameRand() { return generator().next(); }
