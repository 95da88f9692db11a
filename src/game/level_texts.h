// The description shown in the level panel: the goal, then what the level teaches.
#pragma once
#include <string>

std::string levelDescription(unsigned short level);
