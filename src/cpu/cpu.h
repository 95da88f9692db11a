// The virtual machine: sixteen 8-bit registers (R0 reads as 0), flags Z C S I,
// a 16-bit PC and SP, 64 KiB of memory with the screen at 0xFC00, the stack at
// 0xFD00 and the interrupt table at 0xFE00, a countdown timer, one pending key
// and a per-step hook. A plain structure: callers read and write the fields.
//
//   cpu.reset();                       // cold state: halted, memory zero
//   loadProgram(image);                // (asm/asm.h)
//   cpu.halted = 0;
//   while (!cpu.halted) cpu.step();    // one step at a time, or
//   cpu.run(4096);                     // the same steps in one batch
//
// Loaders, level set-ups and tests may write `memory` directly between steps
// (Cpu::run notices a changed word at its next fetch); writes made during a
// step, by instructions, interrupts or the hook, go through Cpu::write.
#pragma once
#include <cstdint>
#include <functional>

inline constexpr std::uint8_t FLAG_Z = 0x01;
inline constexpr std::uint8_t FLAG_C = 0x02;
inline constexpr std::uint8_t FLAG_S = 0x04;
inline constexpr std::uint8_t FLAG_I = 0x08;

inline constexpr std::uint16_t SCREEN_BASE = 0xFC00;
inline constexpr std::uint16_t STACK_BASE = 0xFD00;
inline constexpr std::uint16_t STACK_LIMIT = 0xFD98; // last usable stack byte
inline constexpr std::uint16_t INTERRUPT_TABLE = 0xFE00;
inline constexpr std::uint16_t TIMER_OFF = 0xFFFF;

enum : std::uint8_t { INT_TIMER = 0, INT_KEYBOARD = 1, INT_DIVIDE = 2, INT_STACK_OVERFLOW = 3, INT_STACK_UNDERFLOW = 4 };

// Thrown by Cpu::push and Cpu::pop after the fault's interrupt has been raised.
// The instructions themselves treat a fault as a value: it ends the
// instruction, and the step goes on without a message.
struct StackFault {
    const char* what; // "INT_STACK_OVER" or "INT_STACK_UNDER"
};

// A listener on memory writes (the step history): before the first write
// into a 256-byte page, savePage runs and is expected to mark the page saved.
struct WriteWatch {
    std::uint8_t pageSaved[256];
    void (*savePage)(std::uint8_t page);
};

struct Cpu {
    std::uint8_t registers[16];
    std::uint8_t flags;
    std::uint16_t pc;
    std::uint16_t sp;
    std::uint8_t memory[65536];
    std::uint8_t halted;
    std::uint8_t pendingKey;
    std::function<void()> stepHook;
    std::uint16_t clk;
    // Null unless a step history listens; every write of a step goes through write().
    WriteWatch* writeWatch = nullptr;
    // The last halt came from an invalid word, not from HLT: judging fails
    // such a run. Set with the exception message, cleared by HLT and reset.
    std::uint8_t haltedOnInvalidWord = 0;

    Cpu();
    void reset();
    void step();
    // Up to maxSteps steps, exactly as that many step() calls would run them,
    // ending early when the CPU halts or, after a step, when stopAfter(context)
    // returns true. Returns the steps done.
    using StopTest = bool (*)(void* context);
    std::uint64_t run(std::uint64_t maxSteps, StopTest stopAfter = nullptr, void* context = nullptr);
    void execute(std::uint32_t word);
    void push(std::uint8_t value);
    std::uint8_t pop();
    bool raiseInterrupt(std::uint8_t number);

    // The one funnel for memory writes made by steps and step hooks.
    void write(std::uint16_t address, std::uint8_t value) {
        if (writeWatch && !writeWatch->pageSaved[address >> 8]) [[unlikely]]
            writeWatch->savePage(static_cast<std::uint8_t>(address >> 8));
        memory[address] = value;
    }
};

extern Cpu cpu;
