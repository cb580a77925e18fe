#include "core/StateChunk.h"

#include "core/PluginBase.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
// Little-endian byte order, written out byte by byte so that the encoding does not depend
// on the processor's.
void PutLE(unsigned char* out, uint64_t bits, int n)
{
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(bits >> (8 * i));
}

uint64_t GetLE(const unsigned char* in, int n)
{
    uint64_t bits = 0;
    for (int i = 0; i < n; ++i)
        bits |= static_cast<uint64_t>(in[i]) << (8 * i);
    return bits;
}

constexpr const char* kUserPreset = "user preset";
} // namespace

// ---- StateChunk ----

int StateChunk::ResizeZeroed(int n)
{
    const int old = Size();
    if (Resize(n) && n > old)
        std::memset(bytes_.Get() + old, 0, static_cast<std::size_t>(n - old));
    return old;
}

int StateChunk::AppendInt32(int32_t value)
{
    unsigned char bytes[4];
    PutLE(bytes, static_cast<uint32_t>(value), 4);
    return AppendBytes(bytes, 4);
}

int StateChunk::AppendDouble(double value)
{
    unsigned char bytes[8];
    PutLE(bytes, std::bit_cast<uint64_t>(value), 8);
    return AppendBytes(bytes, 8);
}

int StateChunk::AppendFlag(bool value)
{
    const unsigned char byte = value ? 1 : 0;
    return AppendBytes(&byte, 1);
}

int StateChunk::AppendText(const char* text)
{
    if (!text)
        text = "";
    const std::size_t n = std::strlen(text);
    // A text the chunk could never hold is not appended at all, so that no count is ever
    // written without its bytes.
    if (n > static_cast<std::size_t>(INT32_MAX) - 4 - static_cast<std::size_t>(Size()))
        return Size();
    const int old = Size();
    AppendInt32(static_cast<int32_t>(n));
    if (Size() != old + 4 || AppendBytes(text, static_cast<int>(n)) != old + 4 + static_cast<int>(n))
        Resize(old);
    return Size();
}

int StateChunk::AppendBytes(const void* data, int n)
{
    if (n > 0 && data)
        bytes_.Append(static_cast<const unsigned char*>(data), n);
    return Size();
}

int StateChunk::ReadBytes(void* out, int n, int pos) const
{
    if (pos < 0 || n < 0 || pos > Size() - n)
        return -1;
    if (n > 0)
        std::memcpy(out, bytes_.Get() + pos, static_cast<std::size_t>(n));
    return pos + n;
}

int StateChunk::ReadInt32(int32_t* out, int pos) const
{
    unsigned char bytes[4];
    pos = ReadBytes(bytes, 4, pos);
    if (pos >= 0)
        *out = static_cast<int32_t>(static_cast<uint32_t>(GetLE(bytes, 4)));
    return pos;
}

int StateChunk::ReadDouble(double* out, int pos) const
{
    unsigned char bytes[8];
    pos = ReadBytes(bytes, 8, pos);
    if (pos >= 0)
        *out = std::bit_cast<double>(GetLE(bytes, 8));
    return pos;
}

int StateChunk::ReadFlag(bool* out, int pos) const
{
    unsigned char byte = 0;
    pos = ReadBytes(&byte, 1, pos);
    if (pos >= 0)
        *out = byte != 0;
    return pos;
}

int StateChunk::ReadText(TextBuffer* out, int pos) const
{
    int32_t n = 0;
    pos = ReadInt32(&n, pos);
    // pos is now at most Size(), so pos + n cannot overflow once n is known to fit.
    if (pos < 0 || n < 0 || n > Size() - pos)
        return -1;
    if (n > 0 && out)
        out->Set(reinterpret_cast<const char*>(bytes_.Get() + pos), n);
    return pos + n;
}

// ---- PresetSlot ----

PresetSlot::PresetSlot() = default;

void PresetSlot::SetName(const char* text)
{
    CopyText(name, kNameSize, text);
}

// ---- PluginBase: chunk header and parameters ----

void PluginBase::WriteChunkHeader(StateChunk* chunk)
{
    if (!chunk)
        return;
    chunk->Clear();
    chunk->AppendInt32(kChunkMagic);
    chunk->AppendInt32(kChunkVersion);
}

int PluginBase::ReadChunkHeader(const StateChunk* chunk, int* pos)
{
    if (!chunk || !pos)
        return 0;
    int32_t magic = 0;
    const int next = chunk->ReadInt32(&magic, *pos);
    if (next < 0 || magic != kChunkMagic)
        return 0;
    int32_t version = 0;
    *pos = chunk->ReadInt32(&version, next);
    return *pos < 0 ? 0 : version;
}

bool PluginBase::SerializeParams(StateChunk* chunk)
{
    if (!chunk)
        return false;
    PlugLockGuard lock(mutex_);
    bool ok = true;
    for (int i = 0; i < ParamCount(); ++i)
        ok = chunk->AppendDouble(ParamAt(i)->Value()) > 0 && ok;
    return ok;
}

int PluginBase::UnserializeParams(const StateChunk* chunk, int pos)
{
    PlugLockGuard lock(mutex_);
    for (int i = 0; i < ParamCount() && pos >= 0; ++i)
    {
        double value = 0.0;
        pos = chunk ? chunk->ReadDouble(&value, pos) : -1;
        if (pos < 0)
            value = 0.0;
        // SetValue clamps (infinities included) and refuses NaN, so whatever the chunk
        // holds, every parameter stays a number within its range.
        ParamAt(i)->SetValue(value);
    }
    NotifyAllParamsChanged();
    return pos;
}

bool PluginBase::StateMatches(const unsigned char* data, int valueIndex)
{
    if (ParamCount() == 0)
        return true;
    if (!data || valueIndex < 0)
        return false;
    const unsigned char* at = data + static_cast<std::size_t>(valueIndex) * 8;
    for (int i = 0; i < ParamCount(); ++i, at += 8)
    {
        const float stored = static_cast<float>(std::bit_cast<double>(GetLE(at, 8)));
        const float current = static_cast<float>(ParamAt(i)->Value());
        if (!(std::fabs(stored - current) < 0.00001f))
            return false;
    }
    return true;
}

// ---- PluginBase: presets ----

const char* PluginBase::PresetName(int index) const
{
    const PresetSlot* slot = PresetAt(index);
    return slot ? slot->name : "";
}

void PluginBase::ModifyCurrentPreset(const char* name)
{
    PlugLockGuard lock(mutex_);
    PresetSlot* slot = PresetAt(currentPreset_);
    if (!slot)
        return;
    slot->state.Clear();
    WriteState(&slot->state);
    if (name && name[0] != '\0')
        slot->SetName(name);
}

bool PluginBase::LoadPreset(int index)
{
    PlugLockGuard lock(mutex_);
    PresetSlot* slot = PresetAt(index);
    if (!slot)
        return false;
    bool ok = false;
    if (slot->initialized)
    {
        ok = ReadState(&slot->state, 0) > 0;
    }
    else
    {
        slot->initialized = true;
        int users = 0;
        for (int i = 0; i < PresetCount(); ++i)
            if (std::strstr(PresetAt(i)->name, kUserPreset))
                ++users;
        char name[PresetSlot::kNameSize];
        std::snprintf(name, sizeof name, "%s %d", kUserPreset, users + 1);
        slot->SetName(name);
        slot->state.Clear();
        ok = WriteState(&slot->state);
    }
    if (ok)
    {
        currentPreset_ = index;
        HostChangedPresets();
        RefreshEditorParams();
    }
    return ok;
}

bool PluginBase::LoadPresetByName(const char* name)
{
    if (!name || name[0] == '\0')
        return false;
    for (int i = 0; i < PresetCount(); ++i)
        if (std::strcmp(PresetAt(i)->name, name) == 0)
            return LoadPreset(i);
    return false;
}

void PluginBase::FillEmptyPresets(const char* name, int count)
{
    PlugLockGuard lock(mutex_);
    for (int n = 0; n < count; ++n)
    {
        PresetSlot* slot = nullptr;
        for (int i = 0; i < PresetCount() && !slot; ++i)
            if (!PresetAt(i)->initialized)
                slot = PresetAt(i);
        if (!slot)
            return;
        slot->initialized = true;
        slot->SetName(name ? name : "Empty");
        slot->state.Clear();
        WriteState(&slot->state);
    }
}

void PluginBase::DropEmptyPresets()
{
    for (int i = PresetCount() - 1; i >= 0; --i)
        if (!PresetAt(i)->initialized)
            presets_.Delete(i);
}

bool PluginBase::SerializePresets(StateChunk* chunk)
{
    if (!chunk)
        return false;
    PlugLockGuard lock(mutex_);
    bool ok = true;
    for (int i = 0; i < PresetCount() && ok; ++i)
    {
        const PresetSlot* slot = PresetAt(i);
        chunk->AppendText(slot->name);
        chunk->AppendFlag(slot->initialized);
        if (slot->initialized)
            chunk->AppendBytes(slot->state.Data(), slot->state.Size());
        ok = chunk->Size() > 0;
    }
    return ok;
}

int PluginBase::UnserializePresets(const StateChunk* chunk, int pos)
{
    if (!chunk)
        return -1;
    PlugLockGuard lock(mutex_);
    TextBuffer name(128);
    for (int i = 0; i < PresetCount() && pos >= 0; ++i)
    {
        PresetSlot* slot = PresetAt(i);
        // A stored name of length 0 leaves the buffer, and so the previous slot's name.
        pos = chunk->ReadText(&name, pos);
        slot->SetName(name.Get());
        pos = chunk->ReadFlag(&slot->initialized, pos);
        if (pos < 0 || !slot->initialized)
            continue;
        pos = ReadState(chunk, pos);
        if (pos > 0)
        {
            // Re-stored in the current format from the values just read.
            slot->state.Clear();
            WriteState(&slot->state);
        }
    }
    LoadPreset(currentPreset_);
    return pos;
}
