// The CPU control panel's actions, shared by its buttons and the function
// keys (function_keys.cpp), so a key and its button cannot disagree.
#pragma once

void runProgram();     // 运行, F5: starts a run, or goes on with a paused one
void pauseRun();       // 暂停, F6: the run stops where it is
void stepIfCompiled(); // 步进, F7
void stepBack();       // 回退, Shift+F7
void toggleSpeed();    // F4: 快速 <-> 慢速
// "速度：快速" or "速度：慢速", as the panel shows it.
const char* speedText();
