// 观察 on the word at the editor's caret (caret_watch.cpp), a function key's action.
#pragma once

// Toggles the watch the caret's word names; the console says which, or that it names none.
void watchCaretWord();
