// Communication objects: one controller object as its ID and the raw little-endian bytes
// that travel in the data field of the frames, plus the typed value those bytes stand for.
// Plain values, not thread-safe; they belong to the main thread like the rest of the link.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kalvist {

// A small dynamically typed value: an integer (held as 64 bits, so that every unsigned
// 8-, 16- and 32-bit value and every signed 32-bit value fits), a double or a text.
// Conversions throw TKalvistError with the conversion text, e.g.
// "Could not convert variant of type (String) into type (Integer)".
class TValue {
 public:
  enum class TKind { Integer, Double, String };

  TValue() : value_(int64_t{0}) {}
  template <std::integral T>
  TValue(T value) : value_(static_cast<int64_t>(value)) {}
  TValue(double value) : value_(value) {}
  TValue(std::string value) : value_(std::move(value)) {}
  TValue(const char* value) : value_(std::string(value)) {}

  TKind Kind() const { return static_cast<TKind>(value_.index()); }
  bool IsNumber() const { return Kind() != TKind::String; }

  // A double becomes the nearest integer (halves to the even neighbour). A text converts
  // when it is a whole number (optional sign, decimal, or hexadecimal after "$", "x" or
  // "0x"), or a decimal number.
  int64_t AsInt64() const;
  double AsDouble() const;
  // Numbers print in decimal with a point, whatever the locale.
  std::string AsString() const;

 private:
  std::variant<int64_t, double, std::string> value_;
};

// The device model's "the new value equals the current one": numbers compare numerically,
// a number and a text compare after converting the text (a text that is no number is
// unequal to every number), texts compare byte by byte.
bool ValuesEqual(const TValue& a, const TValue& b);

// The whole-number rule of TValue: optional blanks around, an optional sign, then decimal
// digits, or hexadecimal digits after "$", "x" or "0x". Nothing else, and nothing that does
// not fit into 64 bits.
std::optional<int64_t> TextToInteger(std::string_view text);

// An object that lives in shared ownership (a catalogue entry) is kept alive by every
// queued transfer of it, so that leaving its owner never leaves a transfer pointing at
// freed memory.
class TCustomCommObject : public std::enable_shared_from_this<TCustomCommObject> {
 public:
  TCustomCommObject(uint16_t objectId, int size);
  virtual ~TCustomCommObject();

  uint16_t ObjectID;

  int Size() const { return static_cast<int>(data_.size()); }
  // Keeps the bytes that remain; new bytes are 0. A negative size counts as 0.
  void SetSize(int size);
  // The transfer buffer; nullptr when the size is 0.
  uint8_t* Data() { return data_.empty() ? nullptr : data_.data(); }
  const uint8_t* Data() const { return data_.empty() ? nullptr : data_.data(); }
  void Clear();
  // Takes over the other object's size and bytes; the ID stays.
  void AssignData(const TCustomCommObject& source) { data_ = source.data_; }

  // Throws TKalvistError when the index does not lie below the size.
  uint8_t& Bytes(int index);
  uint8_t Bytes(int index) const;

  // These read the first bytes whatever the size is; bytes beyond the size read as 0.
  uint8_t AsByte() const;
  uint16_t AsWord() const;
  int32_t AsInteger() const;
  uint32_t AsCardinal() const;
  // The bytes up to the first zero byte (all of them when there is none).
  std::string AsString() const;

  // Setting a number also sets the size (1, 2 or 4).
  void SetAsByte(uint8_t value);
  void SetAsWord(uint16_t value);
  void SetAsInteger(int32_t value);
  // Keeps the size: copies what fits before a terminating zero and zeroes the last byte;
  // bytes between the two zeros keep their values.
  void SetAsString(const std::string& text);

  // By size: 1, 2 and 4 are unsigned integers, 5..64 zero-terminated text. Other sizes
  // throw "Cannot convert value, unknown data size". A value that does not convert throws
  // the conversion error. Either way the object stays unchanged.
  TValue Value() const;
  void SetValue(const TValue& value);

 private:
  size_t CheckedIndex(int index) const;
  uint32_t LowBytes(int count) const;

  std::vector<uint8_t> data_;
};

class TCommObject : public TCustomCommObject {
 public:
  TCommObject(uint16_t objectId, bool passwordProtected, int size);

  // Writes of this object carry the password word in front of the value.
  bool PasswordProtected;
};

}  // namespace kalvist
