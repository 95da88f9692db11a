// toml++ as this program uses it: compiled once (toml_impl.cpp), errors as
// values rather than exceptions, no formatters.
#pragma once
#define TOML_HEADER_ONLY 0
#define TOML_EXCEPTIONS 0
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>
