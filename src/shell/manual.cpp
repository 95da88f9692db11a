// STUB: replaced by the manual.
#include "shell/manual.h"
ManualNode makeLeaf(const char* text) { return ManualNode{1, text, {}}; }
ManualNode makeList(std::initializer_list<ManualNode> nodes) { return ManualNode{2, {}, nodes}; }
ManualNode buildManual() { return makeList({makeLeaf("说明书")}); }
