#include "tools/validator/FpuState.h"

#include <cstdio>

std::string FpuState::DescribeChange(const FpuState& after) const
{
    char text[160];
    if ((mxcsr & kMxcsrControl) != (after.mxcsr & kMxcsrControl))
    {
        const std::uint32_t changed = (mxcsr ^ after.mxcsr) & kMxcsrControl;
        const char* what = (changed & kFlushToZero) != 0
                               ? ((after.mxcsr & kFlushToZero) != 0 ? " (flush-to-zero switched on)"
                                                                    : " (flush-to-zero switched off)")
                           : (changed & kDenormalsAreZero) != 0 ? ((after.mxcsr & kDenormalsAreZero) != 0
                                                                       ? " (denormals-are-zero switched on)"
                                                                       : " (denormals-are-zero switched off)")
                           : (changed & 0x6000u) != 0           ? " (rounding mode)"
                                                                : " (exception masks)";
        std::snprintf(text, sizeof text, "MXCSR 0x%04X -> 0x%04X%s", mxcsr & kMxcsrControl,
                      after.mxcsr & kMxcsrControl, what);
        return text;
    }
    std::snprintf(text, sizeof text, "x87 control word 0x%04X -> 0x%04X", x87 & kX87Control,
                  after.x87 & kX87Control);
    return text;
}
