#include "IniFile.h"

#include <algorithm>
#include <limits>
#include <new>

#include "SafeFile.h"
#include "vltCommObject.h"

// Single-byte text needs no conversion, and this unit is the only one that includes it.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

namespace kalvist {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsQuoted(std::string_view value) {
  return value.size() >= 2 && value.front() == value.back() &&
         (value.front() == '"' || value.front() == '\'');
}

std::string_view Unquoted(std::string_view value) {
  return IsQuoted(value) ? value.substr(1, value.size() - 2) : value;
}

// The text to store so that reading it gives `value` back, as far as a line can hold it.
std::string Encoded(std::string_view value) {
  std::string text(value);
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  const bool needsQuotes =
      !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()) || IsQuoted(text));
  return needsQuotes ? '"' + text + '"' : text;
}

// SimpleIni would take a "[" line without its "]" as the start of a section name that
// runs on into the next lines; such a line is no section header and is dropped here.
std::string WithoutBrokenHeaders(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  while (!text.empty()) {
    const size_t end = std::min(text.find_first_of("\r\n"), text.size());
    const std::string_view line = text.substr(0, end);
    const size_t first = line.find_first_not_of(" \t");
    const bool broken = first != std::string_view::npos && line[first] == '[' &&
                        line.find(']') == std::string_view::npos;
    const size_t next = std::min(text.find_first_not_of("\r\n", end), text.size());
    if (!broken) kept.append(text.substr(0, next));
    text.remove_prefix(next);
  }
  return kept;
}

// The key's spelling in the section, or `key` when it is not there yet.
std::string StoredKeyName(const CSimpleIniA& ini, const std::string& section,
                          const std::string& key) {
  const CSimpleIniA::TKeyVal* keys = ini.GetSection(section.c_str());
  if (!keys) return key;
  const auto found = keys->find(CSimpleIniA::Entry(key.c_str()));
  return found == keys->end() ? key : found->first.pItem;
}

template <class TNames>
std::vector<std::string> InFileOrder(TNames names, bool skipUnnamed) {
  names.sort(CSimpleIniA::Entry::LoadOrder());
  std::vector<std::string> result;
  for (const auto& entry : names) {
    if (skipUnnamed && *entry.pItem == '\0') continue;
    result.emplace_back(entry.pItem);
  }
  return result;
}

}  // namespace

class TIniFile::TImpl {
 public:
  // Not UTF-8, several values per key (the first is the one read), no multi-line values.
  CSimpleIniA Ini{false, true, false};

  const char* Value(std::string_view section, std::string_view key) const {
    return Ini.GetValue(std::string(section).c_str(), std::string(key).c_str(), nullptr);
  }
};

TIniFile::TIniFile(std::string fileName)
    : impl_(std::make_unique<TImpl>()), fileName_(std::move(fileName)) {}
TIniFile::~TIniFile() = default;
TIniFile::TIniFile(TIniFile&&) noexcept = default;
TIniFile& TIniFile::operator=(TIniFile&&) noexcept = default;

TIniFile TIniFile::FromText(std::string_view text, std::string fileName) {
  TIniFile ini(std::move(fileName));
  const std::string kept = WithoutBrokenHeaders(text.substr(0, text.find('\0')));
  if (ini.impl_->Ini.LoadData(kept.data(), kept.size()) == SI_NOMEM) throw std::bad_alloc();
  return ini;
}

TIniFile TIniFile::LoadFromFile(const std::string& fileName) {
  return FromText(ReadFileBytes(fileName, kMaxFileSize), fileName);
}

bool TIniFile::SectionExists(std::string_view section) const {
  return impl_->Ini.GetSection(std::string(section).c_str()) != nullptr;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return impl_->Value(section, key) != nullptr;
}

std::vector<std::string> TIniFile::Sections() const {
  CSimpleIniA::TNamesDepend names;
  impl_->Ini.GetAllSections(names);
  return InFileOrder(std::move(names), true);
}

std::vector<std::string> TIniFile::Keys(std::string_view section) const {
  CSimpleIniA::TNamesDepend names;
  impl_->Ini.GetAllKeys(std::string(section).c_str(), names);
  return InFileOrder(std::move(names), false);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 const std::string& defaultValue) const {
  const char* value = impl_->Value(section, key);
  return value ? std::string(Unquoted(value)) : defaultValue;
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                              int32_t defaultValue) const {
  const char* value = impl_->Value(section, key);
  if (!value) return defaultValue;
  const std::optional<int64_t> number = TextToInteger(Unquoted(value));
  if (!number || *number < std::numeric_limits<int32_t>::min() ||
      *number > std::numeric_limits<int32_t>::max()) {
    return defaultValue;
  }
  return static_cast<int32_t>(*number);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  // The replaced key keeps its spelling, as the profile functions keep it.
  const std::string sectionName(section);
  const std::string keyName = StoredKeyName(impl_->Ini, sectionName, std::string(key));
  if (impl_->Ini.SetValue(sectionName.c_str(), keyName.c_str(), Encoded(value).c_str(), nullptr,
                          true) == SI_NOMEM) {
    throw std::bad_alloc();
  }
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  impl_->Ini.Delete(std::string(section).c_str(), std::string(key).c_str());
}

void TIniFile::EraseSection(std::string_view section) {
  impl_->Ini.Delete(std::string(section).c_str(), nullptr);
}

std::string TIniFile::ToText() const {
  std::string text;
  for (const std::string& section : Sections()) {
    text += '[' + section + "]\r\n";
    for (const std::string& key : Keys(section)) {
      text += key + '=' + impl_->Value(section, key) + "\r\n";
    }
  }
  return text;
}

void TIniFile::SaveToFile(const std::string& fileName) const {
  WriteFileAtomically(fileName, ToText());
}

}  // namespace kalvist
