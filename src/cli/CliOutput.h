// Output of the command-line tool: texts of the controller (Windows-1252) turned into
// UTF-8, typed values as text or JSON, and the line trace.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>

#include "vltCommObject.h"
#include "vltCustomConnection.h"

namespace kalvist::cli {

enum TExitCode : int { exOk = 0, exFailed = 1, exUsage = 2, exNoDevice = 3, exInterrupted = 130 };

std::string Cp1252ToUtf8(const std::string& text);

// Numbers in decimal with a point; texts converted to UTF-8.
std::string ValueText(const TValue& value);
nlohmann::json ValueJson(const TValue& value);

// One trace line: milliseconds since `startUs`, direction, bytes in hex; a recovery
// flood is shown by its length only.
std::string TraceLine(TTraceDirection direction, std::span<const uint8_t> bytes, uint64_t atUs,
                      uint64_t startUs);

// A whole line to the error stream in one write, so that lines of the I/O thread and
// of the main thread do not interleave within a line.
void ErrorLine(const std::string& line);

// An error's text (without its caption), kept for the JSON error report.
void NoteError(const std::string& text);
// A command's JSON result on one line of standard output.
void PrintJson(const nlohmann::ordered_json& json);
// With --json, a failed run that printed no result of its own prints
// {"error": "...", "exit": N}: the errors noted, one per line. Returns `status`.
int FinishJson(int status);

}  // namespace kalvist::cli
