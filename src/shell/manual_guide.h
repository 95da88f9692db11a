// The operating guide page of the manual: how to play, in the player's words.
#pragma once

// GBK text, lines ending in '\n', each at most 78 bytes wide.
const char* manualGuideText();
