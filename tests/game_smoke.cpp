#include <gtest/gtest.h>

#include "game/game.h"
#include "test_support.h"

TEST(GameSmoke, ProgramRestarts) {
    freshProgram();
    SUCCEED();
}
