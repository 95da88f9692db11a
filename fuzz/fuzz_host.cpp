#include "fuzz_host.h"

#include <cstdio>
#include <cstdlib>

FuzzConsole& fuzzConsole() {
    static FuzzConsole instance;
    return instance;
}

ConsolePlatform& console() { return fuzzConsole(); }

bool fuzzKeepsFiles = false;
bool hostKeepsFiles() { return fuzzKeepsFiles; }

void fuzzCheck(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}
