// The characters of GBK's double-byte codes that are of ambiguous East Asian
// width: a Chinese console gives them two cells, as the game does, but Windows
// Terminal and UTF-8 terminals draw them in one (“ ” … — · ① ─ Α А and the like:
// 446 characters, every one ambiguous).
#pragma once

// Whether `character` (UTF-16) is one of them.
bool isAmbiguousWidthGbk(char16_t character);
