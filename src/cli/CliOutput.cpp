#include "CliOutput.h"

#include <array>
#include <cstdio>
#include <iostream>
#include <vector>

namespace kalvist::cli {

namespace {

// Main thread only, like the commands.
std::vector<std::string> notedErrors;
bool jsonPrinted = false;

}  // namespace

std::string Cp1252ToUtf8(const std::string& text) {
  // 0x80..0x9F differ from Latin-1; 0 marks the five unassigned codes, kept as U+FFFD.
  static constexpr std::array<char16_t, 32> kHigh{
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto byte = static_cast<uint8_t>(ch);
    if (byte < 0x80) {
      out += ch;
      continue;
    }
    char16_t code = byte;
    if (byte < 0xA0) code = kHigh[byte - 0x80] ? kHigh[byte - 0x80] : char16_t{0xFFFD};
    if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

std::string ValueText(const TValue& value) {
  return Cp1252ToUtf8(value.AsString());
}

nlohmann::json ValueJson(const TValue& value) {
  switch (value.Kind()) {
    case TValue::TKind::Integer:
      return value.AsInt64();
    case TValue::TKind::Double:
      return value.AsDouble();
    case TValue::TKind::String:
      return ValueText(value);
  }
  return nullptr;
}

std::string TraceLine(TTraceDirection direction, std::span<const uint8_t> bytes, uint64_t atUs,
                      uint64_t startUs) {
  const double ms = atUs >= startUs ? static_cast<double>(atUs - startUs) / 1000.0 : 0.0;
  char head[48];
  const char* arrow = direction == TTraceDirection::Sent ? "->" : "<-";
  if (direction == TTraceDirection::Flood) {
    std::snprintf(head, sizeof head, "%10.3f ms ->  flood of %zu x FF", ms, bytes.size());
    return head;
  }
  std::snprintf(head, sizeof head, "%10.3f ms %s ", ms, arrow);
  std::string line = head;
  for (const uint8_t b : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", b);
    line += hex;
  }
  return line;
}

void ErrorLine(const std::string& line) {
  const std::string whole = line + "\n";
  std::fwrite(whole.data(), 1, whole.size(), stderr);
}

void NoteError(const std::string& text) {
  notedErrors.push_back(text);
}

void PrintJson(const nlohmann::ordered_json& json) {
  jsonPrinted = true;
  std::cout << json.dump() << std::endl;
}

int FinishJson(int status) {
  if (status == exOk || jsonPrinted) return status;
  std::string text;
  for (const std::string& error : notedErrors) text += (text.empty() ? "" : "\n") + error;
  PrintJson({{"error", text.empty() ? "failed" : text}, {"exit", status}});
  return status;
}

}  // namespace kalvist::cli
