// Version numbers of two to four parts ("2.5", "1.6.1.2"): parsed from text, printed and
// compared part by part. Plain values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "KalvistError.h"

namespace kalvist {

class TVersionException : public TKalvistError {
 public:
  static constexpr int ecInvalidVersion = 1;

  TVersionException(const std::string& text, int errorCode)
      : TKalvistError(text), ErrorCode(errorCode) {}

  int ErrorCode;
};

class TVersion {
 public:
  uint16_t Major = 0;
  uint16_t Minor = 0;
  uint16_t Release = 0;
  uint16_t Build = 0;
  uint8_t PartCount = 4;  // how many parts are printed and compared

  // All four parts 0, whatever PartCount says.
  bool IsEmpty() const;
  void Clear();
  // 3 stays 3; 4 or more gives 4; anything below 3 gives 2.
  void SetPartCount(int n);
  void Assign(const TVersion& other);

  // Empty text for an empty version; otherwise "Major.Minor", then ".Release" for n >= 3
  // and ".Build" for n >= 4.
  std::string FormatParts(int n) const;
  std::string AsString() const { return FormatParts(PartCount); }

  // Never throws. On failure the version stays cleared. Empty or blank text is a valid,
  // empty version. Text after the digits of the last part is ignored ("1.2.3beta").
  bool Parse(std::string_view text);
  // Parse, throwing TVersionException (ecInvalidVersion) when the text is no version.
  void SetAsString(const std::string& text);

  // -1, 0 or 1; an empty version is older than any other; only the parts both versions
  // have are compared, so 1.2 equals 1.2.5.
  int Compare(const TVersion& other) const;
  bool IsNewerThan(const TVersion& other) const { return Compare(other) == 1; }
};

}  // namespace kalvist
