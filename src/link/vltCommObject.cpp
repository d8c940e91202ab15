#include "vltCommObject.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "KalvistError.h"

namespace kalvist {

namespace {

using TNumber = std::variant<int64_t, double>;

const char* KindName(TValue::TKind kind) {
  switch (kind) {
    case TValue::TKind::Integer:
      return "Integer";
    case TValue::TKind::Double:
      return "Double";
    case TValue::TKind::String:
      break;
  }
  return "String";
}

[[noreturn]] void ThrowConversion(TValue::TKind from, TValue::TKind to) {
  throw TKalvistError(std::string("Could not convert variant of type (") + KindName(from) +
                      ") into type (" + KindName(to) + ")");
}

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool ConsumePrefix(std::string_view& text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  text.remove_prefix(prefix.size());
  return true;
}

bool ConsumeSign(std::string_view& text) {
  if (text.empty() || (text.front() != '+' && text.front() != '-')) return false;
  const bool negative = text.front() == '-';
  text.remove_prefix(1);
  return negative;
}

// Decimal text with a point and optionally an exponent; never "inf" or "nan".
std::optional<double> TextToDouble(std::string_view text) {
  text = Trimmed(text);
  const bool negative = ConsumeSign(text);
  if (text.empty() ||
      !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.')) {
    return std::nullopt;
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<TNumber> TextToNumber(std::string_view text) {
  if (const auto integer = TextToInteger(text)) return TNumber(*integer);
  if (const auto real = TextToDouble(text)) return TNumber(*real);
  return std::nullopt;
}

std::optional<int64_t> RoundToInt64(double value) {
  const double rounded = std::nearbyint(value);     // the default mode rounds halves to even
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!std::isfinite(rounded) || rounded < -kLimit || rounded >= kLimit) return std::nullopt;
  return static_cast<int64_t>(rounded);
}

double NumberAsDouble(const TNumber& n) {
  return std::visit([](auto v) { return static_cast<double>(v); }, n);
}

bool NumbersEqual(const TNumber& a, const TNumber& b) {
  if (a.index() == 0 && b.index() == 0) return std::get<0>(a) == std::get<0>(b);
  return NumberAsDouble(a) == NumberAsDouble(b);
}

std::optional<TNumber> AsNumber(const TValue& v) {
  switch (v.Kind()) {
    case TValue::TKind::Integer:
      return TNumber(v.AsInt64());
    case TValue::TKind::Double:
      return TNumber(v.AsDouble());
    case TValue::TKind::String:
      break;
  }
  return TextToNumber(v.AsString());
}

// Sizes 1, 2 and 4 hold integers; these hold zero-terminated text.
bool IsTextSize(int size) {
  return size >= 5 && size <= 64;
}

[[noreturn]] void ThrowUnknownSize() {
  throw TKalvistError("Cannot convert value, unknown data size");
}

}  // namespace

std::optional<int64_t> TextToInteger(std::string_view text) {
  text = Trimmed(text);
  const bool negative = ConsumeSign(text);
  int base = 10;
  if (ConsumePrefix(text, "$") || ConsumePrefix(text, "0x") || ConsumePrefix(text, "x")) {
    base = 16;
  }
  if (text.empty()) return std::nullopt;
  uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  constexpr uint64_t kMaxPositive = std::numeric_limits<int64_t>::max();
  if (magnitude > kMaxPositive + (negative ? 1 : 0)) return std::nullopt;
  // Two's complement: negating the magnitude as unsigned also covers -2^63.
  return static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
}

int64_t TValue::AsInt64() const {
  switch (Kind()) {
    case TKind::Integer:
      return std::get<int64_t>(value_);
    case TKind::Double:
      if (const auto n = RoundToInt64(std::get<double>(value_))) return *n;
      break;
    case TKind::String:
      if (const auto n = TextToNumber(std::get<std::string>(value_))) {
        if (n->index() == 0) return std::get<0>(*n);
        if (const auto rounded = RoundToInt64(std::get<1>(*n))) return *rounded;
      }
      break;
  }
  ThrowConversion(Kind(), TKind::Integer);
}

double TValue::AsDouble() const {
  switch (Kind()) {
    case TKind::Integer:
      return static_cast<double>(std::get<int64_t>(value_));
    case TKind::Double:
      return std::get<double>(value_);
    case TKind::String:
      if (const auto n = TextToNumber(std::get<std::string>(value_))) return NumberAsDouble(*n);
      break;
  }
  ThrowConversion(Kind(), TKind::Double);
}

std::string TValue::AsString() const {
  switch (Kind()) {
    case TKind::Integer:
      return std::to_string(std::get<int64_t>(value_));
    case TKind::Double: {
      char buffer[32];
      const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(value_),
                                        std::chars_format::general, 15);
      return std::string(buffer, result.ptr);
    }
    case TKind::String:
      break;
  }
  return std::get<std::string>(value_);
}

bool ValuesEqual(const TValue& a, const TValue& b) {
  if (!a.IsNumber() && !b.IsNumber()) return a.AsString() == b.AsString();
  const auto na = AsNumber(a);
  const auto nb = AsNumber(b);
  return na && nb && NumbersEqual(*na, *nb);
}

TCustomCommObject::TCustomCommObject(uint16_t objectId, int size) : ObjectID(objectId) {
  SetSize(size);
}

TCustomCommObject::~TCustomCommObject() = default;

void TCustomCommObject::SetSize(int size) {
  data_.resize(static_cast<size_t>(std::max(size, 0)));
}

void TCustomCommObject::Clear() {
  std::fill(data_.begin(), data_.end(), 0);
}

size_t TCustomCommObject::CheckedIndex(int index) const {
  if (index < 0 || index >= Size()) {
    throw TKalvistError("TCustomCommObject.Bytes: index out of range", "vltCommObject", __LINE__);
  }
  return static_cast<size_t>(index);
}

uint8_t& TCustomCommObject::Bytes(int index) {
  return data_[CheckedIndex(index)];
}
uint8_t TCustomCommObject::Bytes(int index) const {
  return data_[CheckedIndex(index)];
}

uint32_t TCustomCommObject::LowBytes(int count) const {
  uint32_t value = 0;
  for (int i = std::min(count, Size()) - 1; i >= 0; --i) value = (value << 8) | data_[i];
  return value;
}

uint8_t TCustomCommObject::AsByte() const {
  return static_cast<uint8_t>(LowBytes(1));
}
uint16_t TCustomCommObject::AsWord() const {
  return static_cast<uint16_t>(LowBytes(2));
}
int32_t TCustomCommObject::AsInteger() const {
  return static_cast<int32_t>(LowBytes(4));
}
uint32_t TCustomCommObject::AsCardinal() const {
  return LowBytes(4);
}

std::string TCustomCommObject::AsString() const {
  const auto end = std::find(data_.begin(), data_.end(), uint8_t{0});
  return std::string(data_.begin(), end);
}

void TCustomCommObject::SetAsByte(uint8_t value) {
  data_.assign(1, value);
}

void TCustomCommObject::SetAsWord(uint16_t value) {
  data_.assign({static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)});
}

void TCustomCommObject::SetAsInteger(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  data_.assign({static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)});
}

void TCustomCommObject::SetAsString(const std::string& text) {
  if (data_.empty()) return;
  const size_t count = std::min(text.size(), data_.size() - 1);
  std::copy_n(text.begin(), count, data_.begin());
  data_[count] = 0;
  data_.back() = 0;
}

TValue TCustomCommObject::Value() const {
  switch (Size()) {
    case 1:
      return AsByte();
    case 2:
      return AsWord();
    case 4:
      return AsCardinal();
    default:
      if (!IsTextSize(Size())) ThrowUnknownSize();
      return AsString();
  }
}

void TCustomCommObject::SetValue(const TValue& value) {
  switch (Size()) {
    case 1:
      SetAsByte(static_cast<uint8_t>(value.AsInt64()));
      break;
    case 2:
      SetAsWord(static_cast<uint16_t>(value.AsInt64()));
      break;
    case 4:
      SetAsInteger(static_cast<int32_t>(static_cast<uint32_t>(value.AsInt64())));
      break;
    default:
      if (!IsTextSize(Size())) ThrowUnknownSize();
      SetAsString(value.AsString());
  }
}

TCommObject::TCommObject(uint16_t objectId, bool passwordProtected, int size)
    : TCustomCommObject(objectId, size), PasswordProtected(passwordProtected) {}

}  // namespace kalvist
