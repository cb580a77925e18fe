#include "core/TextBuffer.h"

#include <climits>
#include <cstring>

bool TextBuffer::Set(const char* text)
{
    if (!text)
        text = "";
    const std::size_t n = std::strlen(text);
    if (n >= INT_MAX)
        return false;
    return Set(text, static_cast<int>(n));
}

bool TextBuffer::Set(const char* text, int length)
{
    if (!text || length < 0)
        length = 0;
    const void* nul = length > 0 ? std::memchr(text, 0, static_cast<std::size_t>(length)) : nullptr;
    if (nul)
        length = static_cast<int>(static_cast<const char*>(nul) - text);
    if (length >= INT_MAX)
        return false;
    // A text taken from our own storage is never longer than it, so the resize below
    // does not move the block and memmove copies it safely.
    if (!bytes_.Resize(length + 1))
        return false;
    if (length > 0)
        std::memmove(bytes_.Get(), text, static_cast<std::size_t>(length));
    bytes_.Get()[length] = '\0';
    return true;
}

int CopyText(char* dest, int destSize, const char* src)
{
    if (!dest || destSize < 1)
        return 0;
    if (!src)
        src = "";
    int n = 0;
    while (n < destSize - 1 && src[n] != '\0')
    {
        dest[n] = src[n];
        ++n;
    }
    dest[n] = '\0';
    return n;
}
