// What each system's file layer provides to SafeFile.cpp: the bare read and the write
// through a temporary file, throwing TKalvistError with the system's reason alone. The
// shared part adds which file and which action failed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kalvist::system_file {

std::string ReadWhole(const std::string& path, size_t maxBytes);
void WriteThroughTemporary(const std::string& path, std::string_view bytes);

}  // namespace kalvist::system_file
