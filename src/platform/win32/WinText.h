// Text at the edge of the Windows API: UTF-8 inside the program, UTF-16 for the
// system, and the system's own wording of an error code.
#pragma once

#include <windows.h>

#include <string>

namespace kalvist {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);
// FormatMessageW's text for `error`, without the trailing line break; the code in
// hex where the system has no text.
std::string SystemReason(DWORD error);

}  // namespace kalvist
