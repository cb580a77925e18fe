#pragma once
// ReciprocalTable: T[x] = floor(65536 / x) - 1 for x = 1..255 and T[0] = 0, so that
// n * (T[x] + 1) / 1024 is n * 64 / x without a division in the pixel loop.
// T[1] = 65535, T[2] = 32767, T[3] = 21844, T[255] = 256.

#include <array>

constexpr std::array<int, 256> MakeReciprocalTable()
{
    std::array<int, 256> t{};
    for (int x = 1; x < 256; ++x)
        t[x] = 65536 / x - 1;
    return t;
}

inline constexpr std::array<int, 256> ReciprocalTable = MakeReciprocalTable();
