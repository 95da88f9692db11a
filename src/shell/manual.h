// The instruction-set manual as a tree of text nodes: a leaf holds text, a
// list holds nodes. A titled node is a list whose first child is its title.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

struct ManualNode {
    std::uint8_t kind = 1; // 1 leaf, 2 list
    std::string text;
    std::vector<ManualNode> children;
};

ManualNode makeLeaf(const char* text);
ManualNode makeList(std::initializer_list<ManualNode> nodes);
ManualNode buildManual();

extern ManualNode manualRoot;
