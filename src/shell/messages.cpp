// STUB: replaced by the message channels.
#include "shell/messages.h"
void consolePrintf(const char*, ...) {}
void panelPrintf(window*, const char*, ...) {}
void registerPrintf(const char*, ...) {}
void interruptPrintf(const char*, ...) {}
void stackPrintf(const char*, ...) {}
void memoryPrintf(const char*, ...) {}
