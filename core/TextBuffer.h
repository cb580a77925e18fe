#pragma once
// TextBuffer: a NUL-terminated text in a GrowBuffer of bytes (granularity 128 unless
// given). Setting a text of length n makes the buffer n + 1 bytes; an empty buffer reads
// as "".

#include "core/GrowBuffer.h"

class TextBuffer
{
public:
    explicit TextBuffer(int granularity = 128) : bytes_(granularity) {}

    // Copies text (none counts as ""). Answers false, keeping the old text, when the
    // buffer cannot grow.
    bool Set(const char* text);
    // Copies at most length bytes of text, stopping early at a NUL.
    bool Set(const char* text, int length);
    const char* Get() const { return bytes_.Count() > 0 ? bytes_.Get() : ""; }
    int Length() const { return bytes_.Count() > 0 ? bytes_.Count() - 1 : 0; }
    int SizeBytes() const { return bytes_.Count(); }
    bool Empty() const { return Length() == 0; }
    void Clear() { bytes_.Free(); }

private:
    GrowBuffer<char> bytes_;
};

// Copies src (none counts as "") into a fixed-size field of destSize bytes: at most
// destSize - 1 bytes are taken and the field is always NUL-terminated, so a longer text is
// truncated rather than written past the field. Answers the number of bytes copied;
// nothing is written when dest is none or destSize < 1.
int CopyText(char* dest, int destSize, const char* src);
