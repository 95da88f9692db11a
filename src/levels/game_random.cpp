#include "levels/game_random.h"

#include <cstdlib>

void GlibcRandom::seed(unsigned seed) {
    std::int32_t word = seed == 0 ? 1 : static_cast<std::int32_t>(seed);
    state[0] = static_cast<std::uint32_t>(word);
    for (int i = 1; i < 31; ++i) {
        const std::int32_t hi = word / 127773, lo = word % 127773;
        word = 16807 * lo - 2836 * hi;
        if (word < 0) word += 2147483647;
        state[i] = static_cast<std::uint32_t>(word);
    }
    front = 3;
    rear = 0;
    for (int i = 0; i < 310; ++i) next();
}

int GlibcRandom::next() {
    state[front] += state[rear];
    const int result = static_cast<int>(state[front] >> 1);
    if (++front >= 31) front = 0;
    if (++rear >= 31) rear = 0;
    return result;
}

#ifdef _WIN32
namespace {
GlibcRandom& generator() {
    static GlibcRandom g = [] {
        GlibcRandom fresh;
        fresh.seed(1); // as rand() without srand()
        return fresh;
    }();
    return g;
}
} // namespace

void gameSrand(unsigned seed) { generator().seed(seed); }
int gameRand() { return generator().next(); }
#else
void gameSrand(unsigned seed) { std::srand(seed); }
int gameRand() { return std::rand(); }
#endif
