// Drives one Grovane VST2 instance with operations decoded from arbitrary bytes: dispatcher
// calls with any opcode, index, value and float (with well-formed pointers where an opcode
// needs one, and fuzzed chunk bytes and texts), parameter calls, and the three process
// callbacks with blocks of up to four times the announced size. Every parameter must stay
// a finite number within its range.

#include "effect/Grovane.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{

class Bytes
{
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
    int32_t I32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(U8()) << (8 * i);
        return static_cast<int32_t>(v);
    }
    float F32()
    {
        const int32_t bits = I32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    // Small signed numbers most of the time, any 32-bit value sometimes.
    int32_t Index() { return (U8() & 0x80) ? I32() : static_cast<int32_t>(U8() % 12) - 2; }
    std::vector<uint8_t> Take(size_t n)
    {
        n = std::min(n, size_ - pos_);
        std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* data, float)
{
    static VstTimeInfo time = {};
    switch (opcode)
    {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        time.sampleRate = 44100.0;
        time.tempo = 120.0;
        time.flags = 0x3F02;
        return reinterpret_cast<VstIntPtr>(&time);
    case audioMasterGetProductString:
        std::strcpy(static_cast<char*>(data), "Fuzz Host");
        return 1;
    default:
        return 0;
    }
}

PluginVST* Create(audioMasterCallback host)
{
    return new Grovane(host);
}

void CheckParameters(PluginVST* plug)
{
    for (int i = 0; i < plug->ParamCount(); ++i)
    {
        const PluginParam* p = plug->ParamAt(i);
        const double v = p->Value();
        if (!std::isfinite(v) || v < p->Min() || v > p->Max())
            std::abort();
        const float n = plug->Effect()->getParameter(plug->Effect(), i);
        if (!(n >= 0.0f && n <= 1.0f))
            std::abort();
    }
}

void Dispatch(AEffect* effect, Bytes& in, int& announcedBlock)
{
    const VstInt32 opcode = in.U8() % 80;
    if (opcode == effClose)
        return;
    const VstInt32 index = in.Index();
    VstIntPtr value = in.Index();
    const float opt = in.F32();
    char text[512] = {};
    void* pointer = nullptr;
    std::vector<uint8_t> bytes;
    VstSpeakerArrangement arrangements[2] = {};
    VstPinProperties pin = {};
    MidiKeyName key = {};
    VstMidiEvent midi = {};
    VstEvents events = {};
    void* data = text;

    switch (opcode)
    {
    case effSetProgramName:
    case effString2Parameter:
    case effCanDo:
    {
        bytes = in.Take(in.U8());
        if (!bytes.empty())
            std::memcpy(text, bytes.data(), std::min(bytes.size(), sizeof text - 1));
        break;
    }
    case effGetChunk:
    case effEditGetRect:
        data = &pointer;
        break;
    case effSetChunk:
        bytes = in.Take(in.U8() * 2u);
        value = (in.U8() & 1) ? static_cast<VstIntPtr>(bytes.size()) : in.Index();
        if (value > static_cast<VstIntPtr>(bytes.size()))
            value = static_cast<VstIntPtr>(bytes.size());
        data = bytes.empty() ? nullptr : bytes.data();
        break;
    case effSetBlockSize:
        value = (in.U8() & 1) ? in.Index() : static_cast<VstIntPtr>(in.U8()) * 16;
        if (value >= 1 && value <= (1 << 20))
            announcedBlock = static_cast<int>(std::min<VstIntPtr>(value, 4096));
        if (value > 4096)
            value = 4096; // keeps a run fast; the range checks are exercised below 1
        break;
    case effSetSpeakerArrangement:
        arrangements[0].numChannels = in.Index();
        arrangements[1].numChannels = in.Index();
        value = reinterpret_cast<VstIntPtr>(&arrangements[0]);
        data = &arrangements[1];
        break;
    case effGetSpeakerArrangement:
        value = reinterpret_cast<VstIntPtr>(&pointer);
        data = &pointer;
        break;
    case effGetInputProperties:
    case effGetOutputProperties:
        data = &pin;
        break;
    case effGetMidiKeyName:
        data = &key;
        break;
    case effProcessEvents:
        midi.type = (in.U8() & 1) ? kVstMidiType : in.I32();
        midi.byteSize = sizeof midi;
        midi.deltaFrames = in.I32();
        events.numEvents = in.U8() % 3;
        events.events[0] = reinterpret_cast<VstEvent*>(&midi);
        events.events[1] = nullptr;
        data = &events;
        break;
    case effEditOpen:
        data = nullptr;
        break;
    default:
        if (in.U8() & 1)
            data = nullptr;
        break;
    }
    effect->dispatcher(effect, opcode, index, value, data, opt);
}

void Process(AEffect* effect, Bytes& in, int announcedBlock, int kind)
{
    const int frames =
        static_cast<int>(in.U8() % 17) * announcedBlock / 4 + static_cast<int>(in.U8() % 3) - 1;
    const int n = frames > 0 ? frames : 1;
    const float sample = in.F32();
    if (kind == 2)
    {
        std::vector<double> a(n, sample), b(n, -sample), oa(n), ob(n);
        double* ins[] = {a.data(), b.data()};
        double* outs[] = {oa.data(), ob.data()};
        effect->processDoubleReplacing(effect, ins, outs, frames);
        return;
    }
    std::vector<float> a(n, sample), b(n, -sample), oa(n), ob(n);
    float* ins[] = {a.data(), b.data()};
    float* outs[] = {oa.data(), ob.data()};
    if (kind == 0)
        effect->processReplacing(effect, ins, outs, frames);
    else
        effect->process(effect, ins, outs, frames);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    AEffect* effect = VstPluginEntry(Host, Create);
    if (!effect)
        return 0;
    PluginVST* plug = PluginVST::FromEffect(effect);
    Bytes in(data, size);
    int announcedBlock = 1024;
    for (int step = 0; step < 64 && !in.Empty(); ++step)
    {
        switch (in.U8() % 6)
        {
        case 0:
            Dispatch(effect, in, announcedBlock);
            break;
        case 1:
            effect->setParameter(effect, in.Index(), in.F32());
            break;
        case 2:
            (void)effect->getParameter(effect, in.Index());
            break;
        default:
            Process(effect, in, announcedBlock, in.U8() % 3);
            break;
        }
        CheckParameters(plug);
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return 0;
}
