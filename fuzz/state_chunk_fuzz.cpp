// Feeds arbitrary bytes to the state chunk readers as a host would hand them over: the
// header reader, then the bank or program reader its version selects, then each reader
// on the same bytes from the start. Afterwards every parameter must be a finite number
// within its range, every preset name terminated inside its field, every stored state a
// whole program, and the bank must survive a write and read back. Aborts otherwise.
#include "core/tests/TestPlugin.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr int kPresets = 3;
constexpr int kProgramBytes = 4 * 8;

void Fail(const char* what, int index)
{
    std::fprintf(stderr, "state_chunk_fuzz: %s (%d)\n", what, index);
    std::abort();
}

void CheckPlugin(const PluginBase& plug, int answer, int size)
{
    if (answer < -1 || answer > size)
        Fail("reader answered a position outside the chunk", answer);
    for (int i = 0; i < plug.ParamCount(); ++i)
    {
        const PluginParam* p = plug.ParamAt(i);
        const double v = p->Value();
        if (!std::isfinite(v) || v < p->Min() || v > p->Max())
            Fail("parameter not a finite value within its range", i);
    }
    for (int i = 0; i < plug.PresetCount(); ++i)
    {
        const PresetSlot* slot = plug.PresetAt(i);
        if (!std::memchr(slot->name, 0, PresetSlot::kNameSize))
            Fail("preset name not terminated inside its field", i);
        if (slot->state.Size() != 0 && slot->state.Size() != kProgramBytes)
            Fail("preset state is not a whole program", i);
    }
}

struct FuzzPlugin : TestPlugin
{
    FuzzPlugin() : TestPlugin(4, "1-1 2-2", kPresets)
    {
        record = false;
        SetUpEffectParams();
        FillEmptyPresets("Empty", kPresets);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    StateChunk chunk;
    chunk.AppendBytes(data, static_cast<int>(size));
    const int n = chunk.Size();

    {
        FuzzPlugin plug;
        int pos = 0;
        const int version = PluginBase::ReadChunkHeader(&chunk, &pos);
        if (pos < -1 || pos > n)
            Fail("header reader moved outside the chunk", pos);
        if (pos >= 0)
        {
            // A bank when the header's version says so, else a program (as the VST2
            // adapter decides).
            const int answer = version >= PluginBase::kChunkVersion ? plug.UnserializePresets(&chunk, pos)
                                                                    : plug.UnserializeParams(&chunk, pos);
            CheckPlugin(plug, answer, n);
        }
    }
    {
        FuzzPlugin plug;
        CheckPlugin(plug, plug.UnserializeParams(&chunk, 0), n);
        CheckPlugin(plug, plug.UnserializePresets(&chunk, 0), n);

        // Whatever was read, the bank written now reads back whole.
        plug.ModifyCurrentPreset(nullptr);
        StateChunk bank;
        if (!plug.SerializePresets(&bank))
            Fail("bank could not be written", bank.Size());
        FuzzPlugin other;
        const int answer = other.UnserializePresets(&bank, 0);
        if (answer != bank.Size())
            Fail("written bank does not read back", answer);
        CheckPlugin(other, answer, bank.Size());
    }
    return 0;
}
