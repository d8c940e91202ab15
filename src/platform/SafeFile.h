// Whole-file reads and writes for the program's small text files (parameter files,
// settings). A write never leaves a half-written file behind: the bytes go to a
// temporary file in the target's folder, which replaces the target only once it is
// complete and on disk. Any thread; no shared state.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kalvist {

// The file's bytes. Throws TKalvistError "Cannot read file "<path>": <reason>" (the
// system's error text, or "file is larger than N bytes") when the file cannot be read
// whole within maxBytes.
std::string ReadFileBytes(const std::string& path, size_t maxBytes);

// Replaces the file at `path` with `bytes`; an existing file keeps its permissions. On
// failure the old file is left as it was, the temporary file is removed, and
// TKalvistError says "Cannot save file "<path>": <reason>".
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace kalvist
