// Bit fields of integers with bit numbers counted from 1 (the *0 forms count from 0),
// and the byte <-> percent conversions of the byte-sized limits and live values.
// Pure functions.
#pragma once

#include <cstdint>

namespace kalvist {

// The field of `count` bits starting at bit `aBit` (1 = least significant). A count of 32
// or more takes every bit, 0 or less none; bits above bit 32 read as 0. An `aBit` below 1
// throws TKalvistError "GetMaskedBits/SetMaskedBits: ABit is indexed from 1 !".
uint32_t GetMaskedBits(uint32_t value, int aBit, int count);
// Stores `bits`, cut to the field width, into the field; bits beyond bit 32 are lost.
void SetMaskedBits(uint32_t& value, int aBit, int count, uint32_t bits);

bool GetBit(uint32_t value, int aBit);
void SetBit(uint32_t& value, int aBit, bool on);
void SetBit(uint16_t& value, int aBit, bool on);

bool GetBit0(uint32_t value, int aBit0);
void SetBit0(uint32_t& value, int aBit0, bool on);
void SetBit0(uint16_t& value, int aBit0, bool on);

// 0..255 stands for 0..100 %.
double ByteToPercent(uint8_t b);
// Rounded to the nearest byte (halves to the even one) and kept within 0..255.
uint8_t PercentToByte(double percent);

}  // namespace kalvist
