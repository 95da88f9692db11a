// Composing a frame must not allocate: the frame loop runs sixty times a
// second. Every allocation of this test program is counted while armed.
#include <cstdlib>
#include <new>

#include "ui/editor.h"
#include "ui/log_panel.h"
#include "ui_support.h"

namespace {
bool counting = false;
std::size_t allocations = 0;
} // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {
void logLine(LogPanel& panel, const char* format, ...) {
    va_list args;
    va_start(args, format);
    panel.printLogged(format, args);
    va_end(args);
}
} // namespace

TEST(FrameAllocation, ComposingPanelsAndAnEditorAllocatesNothing) {
    freshToolkit(170, 45);
    Editor editor("E", 1, 4, 80, 24);
    std::string text;
    for (int i = 0; i < 60; ++i) text += "ld r" + std::to_string(i % 16) + " " + std::string(i, 'x') + "\n";
    editor.setText(text);
    editor.breakpoints = {3, 7};
    editor.lineColours[5] = 0x9F;
    window panel("寄存器", 84, 4, 24, 6);
    panel.printf("R0=00 R1=%02X\n中文", 0x12);
    panel.buttons.emplace_back(0, 5, 4, 1, "按钮", panel.x, panel.y);
    panel.buttons.back().action = [] {};
    panel.inputHandlers.push_back([](INPUT_RECORD) {});
    LogPanel console("控制台", 120, 14, 36, 12);
    for (int i = 0; i < 40; ++i) logLine(console, "第%d行：\n不存在的指令\n", i);
    const INPUT_RECORD wheelUp = mouseAt(125, 18, 0x00780000u, MOUSE_WHEELED);
    composeFrame();
    composeFrame(wheelUp);
    composeFrame(mouseAt(85, 9));
    fakeConsole().recording = false;

    counting = true;
    composeFrame();                  // unchanged
    composeFrame(mouseAt(85, 9));    // hover over the button
    composeFrame(mouseAt(86, 9, 1)); // press it
    composeFrame(mouseAt(20, 10));   // move over the editor
    composeFrame(keyDown(VK_DOWN));  // a key for the front window
    composeFrame(wheelUp);           // the console scrolled back further
    composeFrame();
    counting = false;
    EXPECT_FALSE(console.following);
    EXPECT_EQ(allocations, 0u);
}
