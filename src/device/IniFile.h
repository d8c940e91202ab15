// An INI file held whole in memory, read the way the Windows profile functions read one:
// section and key names compare without regard to letter case; blanks around names and
// values are trimmed and one pair of matching quotes ('...' or "...") around a value is
// stripped; CRLF, LF and CR all end a line; of duplicate keys the first counts, and a
// repeated section adds its keys to the first. Lines before the first section belong to
// no section and are ignored. Texts are single bytes (Windows-1252) and stay bytes.
//
// Written back as "[Section]" and "key=value" lines with CRLF line ends, sections and
// keys in file order, no blank lines. Plain value: not thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kalvist {

class TIniFile {
 public:
  // An empty file that knows its name (used in messages and when saving).
  explicit TIniFile(std::string fileName = {});
  ~TIniFile();
  TIniFile(TIniFile&&) noexcept;
  TIniFile& operator=(TIniFile&&) noexcept;

  // Parses `text`; never fails (what is no section and no key line is ignored, and a
  // zero byte ends the text).
  static TIniFile FromText(std::string_view text, std::string fileName = {});
  // Throws TKalvistError "Cannot read file "<name>": <reason>" when the file cannot be
  // read or is larger than kMaxFileSize.
  static TIniFile LoadFromFile(const std::string& fileName);
  static constexpr size_t kMaxFileSize = 16 * 1024 * 1024;

  const std::string& FileName() const { return fileName_; }

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // Names as first written, in file order.
  std::vector<std::string> Sections() const;
  std::vector<std::string> Keys(std::string_view section) const;

  // A present key gives its value, even when that is empty.
  std::string ReadString(std::string_view section, std::string_view key,
                         const std::string& defaultValue) const;
  // A whole number in decimal, or in hexadecimal after "$" or "0x", within the signed
  // 32-bit range; anything else, or a missing key, gives the default.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;

  // Replaces the key's value where it stands, or appends the key to its section, which
  // is appended to the file when missing. A value that would not read back as written
  // (blanks at either end, or matching quotes around it) is written between double
  // quotes; CR and LF, which would end the line, become blanks.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int64_t value);
  void DeleteKey(std::string_view section, std::string_view key);
  void EraseSection(std::string_view section);

  std::string ToText() const;
  // Replaces the file only once the new one is complete. Throws TKalvistError
  // "Cannot save file "<name>": <reason>"; the old file is then unchanged.
  void SaveToFile(const std::string& fileName) const;

 private:
  class TImpl;
  std::unique_ptr<TImpl> impl_;
  std::string fileName_;
};

}  // namespace kalvist
