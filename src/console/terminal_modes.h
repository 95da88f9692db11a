// The terminal's modes for the game: raw input (Ctrl+C is a byte, not a
// signal), the alternate screen, no autowrap, a hidden cursor and mouse
// reporting of every motion with SGR coordinates. Everything is put back by
// leaveTerminalModes(), at exit, and on SIGTERM, SIGHUP and the fatal signals,
// which then take their previous course. A stop signal from outside (SIGTSTP;
// Ctrl+Z itself is a key) gives the terminal back until the program continues,
// which then looks like a resize. One terminal is active at a time.
//
//   if (enterTerminalModes(0, 1)) { ... leaveTerminalModes(); }
//   poll on resizeWakeFd(); if (takeResizeNotice()) re-read the size
#pragma once

bool enterTerminalModes(int inputFd, int outputFd);
// Safe to call more than once and from a signal handler.
void leaveTerminalModes();
bool terminalModesActive();
// Becomes readable when the window size changed (SIGWINCH); -1 before entering.
int resizeWakeFd();
// True once after each size change; empties the wake-up pipe.
bool takeResizeNotice();
