#pragma once
// The x86 floating-point control state of the calling thread: the SSE control and status
// register (MXCSR) and the x87 control word. Only the control bits are compared: the six
// exception flags of MXCSR are sticky status that any arithmetic sets.

#include <cstdint>
#include <string>

struct FpuState
{
    std::uint32_t mxcsr = 0;
    std::uint16_t x87 = 0;

    // MXCSR bits: 6 denormals-are-zero, 7-12 exception masks, 13-14 rounding, 15 flush-to-zero.
    static constexpr std::uint32_t kMxcsrControl = 0xFFC0u;
    static constexpr std::uint32_t kDenormalsAreZero = 1u << 6;
    static constexpr std::uint32_t kFlushToZero = 1u << 15;
    // x87 control word bits: 0-5 exception masks, 8-9 precision, 10-11 rounding.
    static constexpr std::uint16_t kX87Control = 0x0F3Fu;

    static FpuState Read()
    {
        FpuState state;
        __asm__ volatile("stmxcsr %0" : "=m"(state.mxcsr));
        __asm__ volatile("fnstcw %0" : "=m"(state.x87));
        return state;
    }
    static void Write(const FpuState& state)
    {
        __asm__ volatile("ldmxcsr %0" : : "m"(state.mxcsr));
        __asm__ volatile("fldcw %0" : : "m"(state.x87));
    }
    bool SameControl(const FpuState& other) const
    {
        return (mxcsr & kMxcsrControl) == (other.mxcsr & kMxcsrControl) &&
               (x87 & kX87Control) == (other.x87 & kX87Control);
    }
    // "MXCSR 0x1F80 -> 0x9F80 (flush-to-zero on)" or the x87 equivalent.
    std::string DescribeChange(const FpuState& after) const;
};
