// The memory panel's window onto the 64 KiB: rows of 16 bytes from a scrolled
// row on, labelled with four hexadecimal digits. The wheel and PageUp/PageDown
// move it; it never leaves the memory.
//
//   std::uint16_t first = memoryViewBase();            // address of the top row
//   std::int64_t column, row;
//   if (memoryCellPosition(0x0200, column, row)) ...   // where that byte shows
#pragma once
#include <cstdint>

// Data rows the memory panel shows (its height less the column heads).
std::int64_t memoryViewRows();
std::uint16_t memoryViewBase();
// Grid cell of the byte at `address`, false while it is scrolled out of sight.
bool memoryCellPosition(std::uint16_t address, std::int64_t& column, std::int64_t& row);
// The scrolling handler on the memory panel (Game::Game installs it).
void installMemoryScroll();
