#include <gtest/gtest.h>

#include <string>

#include "vltFirmwareVersion.h"
#include "vltVersion.h"

namespace kalvist {
namespace {

TVersion Parsed(const std::string& text) {
  TVersion version;
  version.SetAsString(text);
  return version;
}

TEST(Version, ParsesTwoToFourParts) {
  const struct {
    const char* text;
    const char* printed;
    int partCount;
  } cases[] = {
      {"", "", 4},
      {"  \t", "", 4},
      {"1.2", "1.2", 2},
      {"1.02", "1.2", 2},
      {"1.2.3", "1.2.3", 3},
      {"10.20.30.40", "10.20.30.40", 4},
      {"1.2.3beta", "1.2.3", 3},
      {"1.2.3 rc1", "1.2.3", 3},
      {"1.2 ", "1.2", 2},  // a trailing blank is fine
      {"1. 2 .3", "1.2.3", 3},
      {"1.$A.3", "1.10.3", 3},
      {"0x10.1", "16.1", 2},
      {"1.70000", "1.4464", 2},  // low 16 bits
      {"1.2.65535", "1.2", 2},   // 65535 counts as missing
      {"1.2.3.-1", nullptr, 0},
      {"1.65535", "", 4},
      {"1", nullptr, 0},
      {"1.2.3.4.5", nullptr, 0},
      {"1..2", nullptr, 0},
      {".1.2", nullptr, 0},
      {"1.2.", nullptr, 0},
      {"a.1", nullptr, 0},
      {" 1.2", nullptr, 0},  // a leading blank is not
      {"1.2beta.3", nullptr, 0},
      {"1.x2", nullptr, 0},
      {"1. 2", nullptr, 0},
      {"1.99999999999999999999", nullptr, 0},
  };
  for (const auto& c : cases) {
    TVersion version;
    version.SetAsString("7.7.7.7");
    const bool valid = version.Parse(c.text);
    EXPECT_EQ(valid, c.printed != nullptr) << '"' << c.text << '"';
    if (!valid) {
      EXPECT_TRUE(version.IsEmpty()) << c.text;
      continue;
    }
    EXPECT_EQ(version.AsString(), c.printed) << c.text;
    EXPECT_EQ(version.PartCount, c.partCount) << c.text;
  }
}

TEST(Version, InvalidTextThrowsAndLeavesTheVersionCleared) {
  TVersion version = Parsed("3.4.5");
  try {
    version.SetAsString("1.2.");
    FAIL() << "no error";
  } catch (const TVersionException& e) {
    EXPECT_EQ(e.ErrorCode, 1);
    EXPECT_EQ(e.Text, "Version error: \"1.2.\" is not valid version.");
  }
  EXPECT_TRUE(version.IsEmpty());
  EXPECT_EQ(version.PartCount, 4);
  EXPECT_THROW(version.SetAsString(" 1.2"), TKalvistError);
}

TEST(Version, FormatsTheRequestedParts) {
  TVersion version;
  version.Major = 1;
  version.Minor = 6;
  version.Release = 1;
  version.Build = 2;
  EXPECT_EQ(version.AsString(), "1.6.1.2");  // a new version has four parts
  EXPECT_EQ(version.FormatParts(2), "1.6");
  EXPECT_EQ(version.FormatParts(3), "1.6.1");
  EXPECT_EQ(version.FormatParts(9), "1.6.1.2");
  version.Clear();
  EXPECT_EQ(version.FormatParts(2), "");
}

TEST(Version, EmptyMeansAllPartsZero) {
  TVersion version;
  version.PartCount = 2;
  EXPECT_TRUE(version.IsEmpty());
  version.Build = 1;
  EXPECT_FALSE(version.IsEmpty());
  EXPECT_EQ(version.FormatParts(2), "0.0");
}

TEST(Version, PartCountIsTwoThreeOrFour) {
  const std::pair<int, int> cases[] = {{0, 2}, {1, 2}, {2, 2}, {3, 3}, {4, 4}, {5, 4}, {255, 4}};
  for (const auto& [n, expected] : cases) {
    TVersion version;
    version.SetPartCount(n);
    EXPECT_EQ(version.PartCount, expected) << n;
  }
}

TEST(Version, AssignCopiesPartsAndNormalisesTheCount) {
  TVersion source = Parsed("4.5.6.7");
  source.PartCount = 9;
  TVersion target = Parsed("1.2");
  target.Assign(source);
  EXPECT_EQ(target.AsString(), "4.5.6.7");
  EXPECT_EQ(target.PartCount, 4);
}

TEST(Version, ComparesCommonPartsAndEmptyIsOldest) {
  const struct {
    const char *a, *b;
    int result;
  } cases[] = {
      {"", "", 0},
      {"", "0.1", -1},
      {"1.2", "1.2.5", 0},
      {"2.10", "2.9", 1},
      {"1.3", "1.3", 0},
      {"2.6", "2.5", 1},
      {"1.2.3", "1.2.4", -1},
      {"1.2.3", "1.2.3.9", 0},
      {"1.2.3.4", "1.2.3.5", -1},
      {"65534.0", "1.0", 1},
  };
  for (const auto& c : cases) {
    const TVersion a = Parsed(c.a), b = Parsed(c.b);
    EXPECT_EQ(a.Compare(b), c.result) << c.a << " vs " << c.b;
    EXPECT_EQ(b.Compare(a), -c.result) << c.b << " vs " << c.a;
    EXPECT_EQ(a.IsNewerThan(b), c.result == 1) << c.a << " vs " << c.b;
  }
}

TEST(FirmwareVersion, TenTimesTheVersionInOneByte) {
  const struct {
    uint8_t byte;
    const char* printed;
  } cases[] = {{25, "2.5"}, {13, "1.3"}, {9, "0.9"}, {10, "1.0"}, {255, "25.5"}, {0, ""}};
  for (const auto& c : cases) {
    TFirmwareVersion version;
    version.SetAsString("9.9.9.9");
    version.SetFromByte(c.byte);
    EXPECT_EQ(version.AsString(), c.printed) << int(c.byte);
    EXPECT_EQ(version.PartCount, 2);
    EXPECT_EQ(version.Release + version.Build, 0);
  }
  TFirmwareVersion device, supported;
  device.SetFromByte(26);
  supported.SetFromByte(25);
  EXPECT_TRUE(device.IsNewerThan(supported));
  supported.SetFromByte(26);
  EXPECT_FALSE(device.IsNewerThan(supported));
  EXPECT_FALSE(device.IsNewerThan(Parsed("2.6.1")));  // compared in two parts
}

}  // namespace
}  // namespace kalvist
