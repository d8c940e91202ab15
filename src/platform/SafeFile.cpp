#include "SafeFile.h"

#include "KalvistError.h"
#include "SystemFile.h"

namespace kalvist {

std::string ReadFileBytes(const std::string& path, size_t maxBytes) {
  try {
    return system_file::ReadWhole(path, maxBytes);
  } catch (const TKalvistError& e) {
    throw TKalvistError("Cannot read file \"" + path + "\": " + e.Text);
  }
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  try {
    system_file::WriteThroughTemporary(path, bytes);
  } catch (const TKalvistError& e) {
    throw TKalvistError("Cannot save file \"" + path + "\": " + e.Text);
  }
}

}  // namespace kalvist
