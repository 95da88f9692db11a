// The one translation unit that compiles toml++'s implementation.
#define TOML_IMPLEMENTATION
#include "levels/toml.h"
