// Compiled in every build so that the layout assertions of VstInterface.h are evaluated
// for the target's pointer size (the 32-bit layout in the win32 build).
#include "formats/vst2/VstInterface.h"

static_assert(VstFourCC('N', 'v', 'E', 'f') == 0x4E764566);
