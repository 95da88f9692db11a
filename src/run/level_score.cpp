#include "run/level_score.h"

#include <cmath>

LevelScore levelScore;

double LevelScore::meanSteps() const {
    if (runs == 0) return 0;
    return std::round(static_cast<double>(stepsTotal) * 10 / static_cast<double>(runs)) / 10;
}
