// Leaves the stack below the caller full of one byte, so that a record that code called next
// reads there without initialising it shows that byte instead of happening to be zero.
#pragma once

#include <cstddef>

__attribute__((noinline)) inline void FillStackBelow(unsigned char byte)
{
    volatile unsigned char area[16384];
    for (size_t i = 0; i < sizeof area; ++i)
        area[i] = byte;
}
