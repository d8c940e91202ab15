#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "KalvistError.h"
#include "vltCommObject.h"

namespace kalvist {
namespace {

std::vector<uint8_t> BytesOf(const TCustomCommObject& object) {
  const uint8_t* data = object.Data();
  return data ? std::vector<uint8_t>(data, data + object.Size()) : std::vector<uint8_t>{};
}

TCommObject WithBytes(const std::vector<uint8_t>& bytes) {
  TCommObject object(1, false, static_cast<int>(bytes.size()));
  for (size_t i = 0; i < bytes.size(); ++i) object.Bytes(static_cast<int>(i)) = bytes[i];
  return object;
}

std::string ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const TKalvistError& e) {
    return e.Text;
  }
  return "(no error)";
}

const std::string kStringToInteger =
    "Could not convert variant of type (String) into type (Integer)";
const std::string kUnknownSize = "Cannot convert value, unknown data size";

TEST(TextToInteger, AcceptsWholeNumbersOnly) {
  const struct {
    const char* text;
    std::optional<int64_t> expected;
  } cases[] = {
      {"12", 12},
      {"-12", -12},
      {"+7", 7},
      {" 5 ", 5},
      {"$1F", 31},
      {"0x1f", 31},
      {"x10", 16},
      {"-$10", -16},
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"9223372036854775808", std::nullopt},
      {"", std::nullopt},
      {"  ", std::nullopt},
      {"abc", std::nullopt},
      {"1.5", std::nullopt},
      {"12a", std::nullopt},
      {"0x", std::nullopt},
      {"$-1", std::nullopt},
      {"--1", std::nullopt},
      {"1 2", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToInteger(c.text), c.expected) << c.text;
}

TEST(Value, ConvertsBetweenNumbersAndText) {
  EXPECT_EQ(TValue("$FF").AsInt64(), 255);
  EXPECT_EQ(TValue("2.5").AsInt64(), 2);  // halves go to the even neighbour
  EXPECT_EQ(TValue(3.5).AsInt64(), 4);
  EXPECT_EQ(TValue("1e3").AsInt64(), 1000);
  EXPECT_DOUBLE_EQ(TValue("-0.25").AsDouble(), -0.25);
  EXPECT_EQ(TValue(int64_t{-1}).AsString(), "-1");
  EXPECT_EQ(TValue(4294967295u).AsString(), "4294967295");
  EXPECT_EQ(TValue(2.5).AsString(), "2.5");
  EXPECT_EQ(TValue(0.1 + 0.2).AsString(), "0.3");
}

TEST(Value, RejectsTextThatIsNoNumber) {
  for (const char* text : {"abc", "", "inf", "nan", "1.2.3", "0x1.8"}) {
    EXPECT_EQ(ErrorText([&] { TValue(text).AsInt64(); }), kStringToInteger) << text;
  }
  EXPECT_EQ(ErrorText([] { TValue("abc").AsDouble(); }),
            "Could not convert variant of type (String) into type (Double)");
  EXPECT_EQ(ErrorText([] { TValue(1e300).AsInt64(); }),
            "Could not convert variant of type (Double) into type (Integer)");
}

TEST(ValuesEqual, ComparesNumbersNumericallyAndTextsExactly) {
  const struct {
    TValue a, b;
    bool equal;
  } cases[] = {
      {1, 1.0, true},     {1, 2, false},       {1, "1", true},        {"0x2", 2, true},
      {1.5, "1.5", true}, {"01", "1", false},  {"abc", 0, false},     {0, "", false},
      {"Ab", "Ab", true}, {"Ab", "ab", false}, {65535, 65535u, true}, {-1, 65535, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ValuesEqual(c.a, c.b), c.equal) << c.a.AsString() << " vs " << c.b.AsString();
    EXPECT_EQ(ValuesEqual(c.b, c.a), c.equal) << c.b.AsString() << " vs " << c.a.AsString();
  }
}

TEST(CommObject, ValueReadsByteSize) {
  EXPECT_EQ(WithBytes({0xC8}).Value().AsInt64(), 200);
  EXPECT_EQ(WithBytes({0x34, 0x12}).Value().AsInt64(), 4660);
  EXPECT_EQ(WithBytes({0xFF, 0xFF, 0xFF, 0xFF}).Value().AsInt64(), 4294967295);
  EXPECT_EQ(WithBytes({'A', 'B', 0, 'C', 0}).Value().AsString(), "AB");
  const auto value = WithBytes({'A', 'B', 'C', 'D', 'E'}).Value();
  EXPECT_EQ(value.Kind(), TValue::TKind::String);
  EXPECT_EQ(value.AsString(), "ABCDE");  // no zero byte: all of them
}

TEST(CommObject, SetValueStoresLowBitsBySize) {
  const struct {
    int size;
    TValue value;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {1, 300, {44}},
      {1, "0x1F", {0x1F}},
      {2, -1, {0xFF, 0xFF}},
      {2, "$1234", {0x34, 0x12}},
      {2, 2.5, {2, 0}},
      {2, "12.5", {12, 0}},
      {4, 4294967295u, {0xFF, 0xFF, 0xFF, 0xFF}},
      {4, -1, {0xFF, 0xFF, 0xFF, 0xFF}},
      {4, int64_t{0x1'0000'0002}, {2, 0, 0, 0}},
      {6, 123, {'1', '2', '3', 0, 0, 0}},
      {6, 2.5, {'2', '.', '5', 0, 0, 0}},
  };
  for (const auto& c : cases) {
    TCommObject object(7, false, c.size);
    object.SetValue(c.value);
    EXPECT_EQ(BytesOf(object), c.bytes) << c.size << " <- " << c.value.AsString();
  }
}

TEST(CommObject, FourByteAllOnesReadsUnsignedAndSigned) {
  TCommObject object(7, false, 4);
  object.SetValue(-1);
  EXPECT_EQ(object.Value().AsInt64(), 4294967295);
  EXPECT_EQ(object.AsInteger(), -1);
  EXPECT_EQ(object.AsCardinal(), 4294967295u);
}

TEST(CommObject, FailedConversionLeavesObjectUnchanged) {
  TCommObject object(7, false, 2);
  object.SetAsWord(0x1234);
  EXPECT_EQ(ErrorText([&] { object.SetValue("letters"); }), kStringToInteger);
  EXPECT_EQ(BytesOf(object), (std::vector<uint8_t>{0x34, 0x12}));
}

TEST(CommObject, UnknownSizeHasNoValue) {
  for (int size : {0, 3, 65}) {
    TCommObject object(7, false, size);
    if (size > 0) object.Bytes(0) = 9;
    const auto before = BytesOf(object);
    EXPECT_EQ(ErrorText([&] { object.Value(); }), kUnknownSize) << size;
    EXPECT_EQ(ErrorText([&] { object.SetValue(1); }), kUnknownSize) << size;
    EXPECT_EQ(BytesOf(object), before) << size;
  }
}

TEST(CommObject, TextKeepsBytesBetweenTerminatorAndLastByte) {
  TCommObject object(7, false, 10);
  object.SetAsString("ABCDEFGHIJKL");
  EXPECT_EQ(BytesOf(object),
            (std::vector<uint8_t>{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 0}));
  object.SetAsString("XY");
  EXPECT_EQ(BytesOf(object), (std::vector<uint8_t>{'X', 'Y', 0, 'D', 'E', 'F', 'G', 'H', 'I', 0}));
  EXPECT_EQ(object.AsString(), "XY");
  EXPECT_EQ(object.Size(), 10);
}

TEST(CommObject, TextIntoTinyObjects) {
  TCommObject one(7, false, 1);
  one.Bytes(0) = 'Q';
  one.SetAsString("abc");
  EXPECT_EQ(BytesOf(one), std::vector<uint8_t>{0});
  TCommObject empty(7, false, 0);
  empty.SetAsString("abc");
  EXPECT_EQ(empty.Size(), 0);
  EXPECT_EQ(empty.AsString(), "");
}

TEST(CommObject, SettingANumberSetsTheSize) {
  TCommObject object(7, false, 4);
  object.SetAsInteger(0x01020304);
  object.SetAsWord(0xBEEF);
  EXPECT_EQ(BytesOf(object), (std::vector<uint8_t>{0xEF, 0xBE}));
  object.SetAsByte(5);
  EXPECT_EQ(BytesOf(object), std::vector<uint8_t>{5});
  object.SetAsInteger(-2);
  EXPECT_EQ(BytesOf(object), (std::vector<uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));
}

TEST(CommObject, SizeChangesKeepRemainingBytes) {
  TCommObject object(7, true, 3);
  EXPECT_EQ(BytesOf(object), (std::vector<uint8_t>{0, 0, 0}));
  object.Bytes(0) = 1;
  object.Bytes(2) = 3;
  object.SetSize(5);
  EXPECT_EQ(BytesOf(object), (std::vector<uint8_t>{1, 0, 3, 0, 0}));
  object.SetSize(1);
  EXPECT_EQ(BytesOf(object), std::vector<uint8_t>{1});
  object.SetSize(0);
  EXPECT_EQ(object.Data(), nullptr);
  object.SetSize(2);
  EXPECT_EQ(BytesOf(object), (std::vector<uint8_t>{0, 0}));
}

TEST(CommObject, ClearZeroesButKeepsSize) {
  auto object = WithBytes({1, 2, 3, 4});
  object.Clear();
  EXPECT_EQ(BytesOf(object), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(CommObject, NumbersReadMissingBytesAsZero) {
  const auto object = WithBytes({0x34, 0x12});
  EXPECT_EQ(object.AsByte(), 0x34);
  EXPECT_EQ(object.AsInteger(), 0x1234);
  EXPECT_EQ(object.AsCardinal(), 0x1234u);
  EXPECT_EQ(TCommObject(7, false, 0).AsWord(), 0);
}

TEST(CommObject, ByteIndexMustLieBelowSize) {
  auto object = WithBytes({1, 2});
  const auto& constObject = object;
  EXPECT_THROW(object.Bytes(2), TKalvistError);
  EXPECT_THROW(object.Bytes(-1), TKalvistError);
  EXPECT_THROW(constObject.Bytes(2), TKalvistError);
  EXPECT_EQ(constObject.Bytes(1), 2);
}

}  // namespace
}  // namespace kalvist
