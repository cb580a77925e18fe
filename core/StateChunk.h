#pragma once
// StateChunk: the byte buffer in which the plug-in's state travels to and from hosts, with
// typed appends and reads that stop at its bounds. PresetSlot: one stored preset.
//
// Encoding (little-endian, nothing aligned or padded):
//   int32   4 bytes, two's complement
//   double  8 bytes, IEEE 754
//   flag    1 byte, 1 for true; any non-zero byte reads as true
//   text    int32 byte count n, then n bytes without a terminating NUL
//   bytes   copied as they are, without a count
// Readers take a byte position and answer the position after what they read, or -1 when
// the read would start before the chunk or end past it; positions never overflow.
// No lock of its own: a chunk belongs to one caller at a time.

#include "core/GrowBuffer.h"
#include "core/TextBuffer.h"

#include <cstdint>

class StateChunk
{
public:
    static constexpr int kGranularity = 4096;

    StateChunk() : bytes_(kGranularity) {}
    StateChunk(const StateChunk&) = delete;
    StateChunk& operator=(const StateChunk&) = delete;

    int Size() const { return bytes_.Count(); }
    // The first byte, or none when the chunk is empty.
    unsigned char* Data() { return Size() > 0 ? bytes_.Get() : nullptr; }
    const unsigned char* Data() const { return Size() > 0 ? bytes_.Get() : nullptr; }

    // Keeps the first min(old, n) bytes; new bytes are undefined. Answers false, changing
    // nothing, when n is negative or the memory cannot be had.
    bool Resize(int n) { return bytes_.Resize(n); }
    // As Resize, new bytes set to 0; answers the old size.
    int ResizeZeroed(int n);
    // Empties the chunk and releases its memory.
    void Clear() { bytes_.Free(); }

    // Appends the encoding of a value; each answers the new size (the old size when the
    // memory cannot be had).
    int AppendInt32(int32_t value);
    int AppendDouble(double value);
    int AppendFlag(bool value);
    // The byte count (strlen; none counts as "") and the bytes.
    int AppendText(const char* text);
    int AppendBytes(const void* data, int n);

    // Copies n bytes from pos; answers pos + n, or -1 when pos < 0, n < 0 or pos + n is
    // past the end.
    int ReadBytes(void* out, int n, int pos) const;
    int ReadInt32(int32_t* out, int pos) const;
    int ReadDouble(double* out, int pos) const;
    int ReadFlag(bool* out, int pos) const;
    // Reads a text at pos into out (stopping early at a NUL among its bytes) and answers the
    // position after it. A count of 0 takes nothing and answers pos + 4. A negative count,
    // or one that would carry the end past the chunk, fails with -1. out is left unchanged
    // unless a text of at least one byte is taken.
    int ReadText(TextBuffer* out, int pos) const;

private:
    GrowBuffer<unsigned char> bytes_;
};

// One stored preset: a name and, when initialized, the program state (without header).
struct PresetSlot
{
    static constexpr int kNameSize = 256;

    PresetSlot();
    PresetSlot(const PresetSlot&) = delete;
    PresetSlot& operator=(const PresetSlot&) = delete;

    // Copies name (none counts as ""), truncated to 255 bytes and always terminated.
    void SetName(const char* name);

    bool initialized = false;
    char name[kNameSize] = "empty";
    StateChunk state;
};
