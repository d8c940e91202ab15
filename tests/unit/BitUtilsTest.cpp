#include <gtest/gtest.h>

#include <cmath>

#include "BitUtils.h"
#include "KalvistError.h"

namespace kalvist {
namespace {

TEST(MaskedBits, ReadsFieldsCountedFromOne) {
  const struct {
    uint32_t value;
    int aBit, count;
    uint32_t expected;
  } cases[] = {
      {0x0280, 8, 2, 1},
      {0x0280, 10, 2, 1},
      {0x0280, 8, 4, 0b0101},
      {0x80000000, 32, 1, 1},
      {0xFFFFFFFF, 1, 31, 0x7FFFFFFF},
      {0xFFFFFFFF, 1, 32, 0xFFFFFFFF},
      {0xFFFFFFFF, 33, 1, 0},
      {0xFFFFFFFF, 5, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetMaskedBits(c.value, c.aBit, c.count), c.expected)
        << std::hex << c.value << " bit " << std::dec << c.aBit << " count " << c.count;
  }
}

TEST(MaskedBits, WritesOnlyTheFieldAndCutsBitsToItsWidth) {
  const struct {
    uint32_t value;
    int aBit, count;
    uint32_t bits, expected;
  } cases[] = {
      {0, 8, 2, 7, 0x0180},
      {0xFFFFFFFF, 8, 2, 0, 0xFFFFFE7F},
      {0x12345678, 1, 32, 0xCAFEBABE, 0xCAFEBABE},
      {0, 31, 4, 0xF, 0xC0000000},  // bits beyond bit 32 are lost
      {0x55, 33, 1, 1, 0x55},
      {0x55, 3, 0, 1, 0x55},
  };
  for (const auto& c : cases) {
    uint32_t value = c.value;
    SetMaskedBits(value, c.aBit, c.count, c.bits);
    EXPECT_EQ(value, c.expected) << "bit " << c.aBit << " count " << c.count;
  }
}

TEST(MaskedBits, BitZeroIsRejected) {
  uint32_t value = 3;
  for (int aBit : {0, -1}) {
    try {
      GetMaskedBits(value, aBit, 1);
      ADD_FAILURE() << "no error for bit " << aBit;
    } catch (const TKalvistError& e) {
      EXPECT_EQ(e.Text, "GetMaskedBits/SetMaskedBits: ABit is indexed from 1 !");
    }
    EXPECT_THROW(SetMaskedBits(value, aBit, 1, 0), TKalvistError);
  }
  EXPECT_EQ(value, 3u);
}

TEST(Bits, ZeroAndOneBasedFormsAgree) {
  EXPECT_TRUE(GetBit0(5, 2));
  EXPECT_FALSE(GetBit0(5, 1));
  EXPECT_TRUE(GetBit(5, 3));
  EXPECT_FALSE(GetBit(5, 2));
  EXPECT_THROW(GetBit0(5, -1), TKalvistError);

  uint32_t mask = 0;
  SetBit0(mask, 19, true);
  SetBit(mask, 1, true);
  EXPECT_EQ(mask, 0x80001u);
  SetBit0(mask, 19, false);
  EXPECT_EQ(mask, 1u);
}

TEST(Bits, SixteenBitVariablesKeepTheirWidth) {
  uint16_t word = 0x8000;
  SetBit0(word, 0, true);
  SetBit(word, 16, false);
  EXPECT_EQ(word, 0x0001);
  SetBit(word, 17, true);  // outside the word: nothing to keep
  EXPECT_EQ(word, 0x0001);
}

TEST(Percent, ConvertsBothWays) {
  const struct {
    double percent;
    uint8_t byte;
  } cases[] = {
      {0, 0},
      {100, 255},
      {69.4, 177},
      {150, 255},
      {-5, 0},
      {NAN, 0},
      {50, 128},  // 127.5 rounds to the even neighbour
      {2.5 * (100.0 / 255.0), 2},
      {3.5 * (100.0 / 255.0), 4},
  };
  for (const auto& c : cases) EXPECT_EQ(PercentToByte(c.percent), c.byte) << c.percent;
  EXPECT_NEAR(ByteToPercent(177), 69.41, 0.01);
  EXPECT_DOUBLE_EQ(ByteToPercent(255), 100.0);
  EXPECT_DOUBLE_EQ(ByteToPercent(0), 0.0);
  for (int b = 0; b <= 255; ++b) {
    EXPECT_EQ(PercentToByte(ByteToPercent(static_cast<uint8_t>(b))), b);
  }
}

}  // namespace
}  // namespace kalvist
