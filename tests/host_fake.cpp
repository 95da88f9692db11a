// Tests run on the recording fake console; files are kept only when a test asks.
#include "test_support.h"

FakeConsole& fakeConsole() {
    static FakeConsole instance;
    return instance;
}

ConsolePlatform& console() { return fakeConsole(); }

bool testKeepsFiles = false;
bool hostKeepsFiles() { return testKeepsFiles; }
