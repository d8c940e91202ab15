#include "BitUtils.h"

#include <cmath>

#include "KalvistError.h"

namespace kalvist {

namespace {

// The shift of a 1-based bit number.
int FieldShift(int aBit) {
  if (aBit < 1) {
    throw TKalvistError("GetMaskedBits/SetMaskedBits: ABit is indexed from 1 !", "BitUtils",
                        __LINE__);
  }
  return aBit - 1;
}

uint32_t FieldMask(int count) {
  if (count <= 0) return 0;
  return count >= 32 ? UINT32_MAX : (uint32_t{1} << count) - 1;
}

}  // namespace

uint32_t GetMaskedBits(uint32_t value, int aBit, int count) {
  const int shift = FieldShift(aBit);
  return shift < 32 ? (value >> shift) & FieldMask(count) : 0;
}

void SetMaskedBits(uint32_t& value, int aBit, int count, uint32_t bits) {
  const int shift = FieldShift(aBit);
  if (shift >= 32) return;
  const uint32_t mask = FieldMask(count);
  value = (value & ~(mask << shift)) | ((bits & mask) << shift);
}

bool GetBit(uint32_t value, int aBit) {
  return GetMaskedBits(value, aBit, 1) != 0;
}

void SetBit(uint32_t& value, int aBit, bool on) {
  SetMaskedBits(value, aBit, 1, on ? 1 : 0);
}

void SetBit(uint16_t& value, int aBit, bool on) {
  uint32_t wide = value;
  SetBit(wide, aBit, on);
  value = static_cast<uint16_t>(wide);
}

bool GetBit0(uint32_t value, int aBit0) {
  return GetBit(value, aBit0 + 1);
}
void SetBit0(uint32_t& value, int aBit0, bool on) {
  SetBit(value, aBit0 + 1, on);
}
void SetBit0(uint16_t& value, int aBit0, bool on) {
  SetBit(value, aBit0 + 1, on);
}

double ByteToPercent(uint8_t b) {
  return b * 100.0 / 255.0;
}

uint8_t PercentToByte(double percent) {
  if (!(percent > 0)) return 0;                                  // also NaN
  const double raw = std::nearbyint(percent / (100.0 / 255.0));  // halves to even
  return raw >= 255 ? 255 : static_cast<uint8_t>(raw);
}

}  // namespace kalvist
