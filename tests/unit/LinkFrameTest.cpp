#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "vltLinkFrame.h"

namespace kalvist {
namespace {

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(Crc16, MatchesPublishedCheckValues) {
  EXPECT_EQ(Crc16(Bytes("123456789")), 0x4B37);
  EXPECT_EQ(Crc16(Bytes("abc")), 0x5749);
}

TEST(Crc16, PiecewiseEqualsWhole) {
  const auto whole = Crc16(Bytes("123456789"));
  EXPECT_EQ(Crc16(Bytes("6789"), Crc16(Bytes("12345"))), whole);
}

TEST(BuildRequest, ReadFirstOfObject10273) {
  TLinkRequest request;
  request.Op = TLinkOp::ReadFirst;
  request.ObjectID = 10273;
  std::array<uint8_t, kMaxRequestSize> out{};
  const size_t n = BuildRequest(request, out);
  const std::vector<uint8_t> expected{0xFF, 0xFF, 0x00, 0x00, 0x00, 0x21, 0x28, 0x3C, 0x4E};
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + n), expected);
}

}  // namespace
}  // namespace kalvist
