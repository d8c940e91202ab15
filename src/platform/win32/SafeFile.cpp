#include "SystemFile.h"

#include <windows.h>

#include <atomic>
#include <filesystem>

#include "KalvistError.h"
#include "WinText.h"

namespace kalvist {

namespace {

[[noreturn]] void ThrowLastError() {
  throw TKalvistError(SystemReason(GetLastError()));
}

// Closes on every path out, so that an error never leaks the handle.
class THandle {
 public:
  explicit THandle(HANDLE handle) : handle_(handle) {}
  ~THandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Get() const { return handle_; }
  void Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(handle)) ThrowLastError();
  }

 private:
  HANDLE handle_;
};

void WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) ThrowLastError();
    bytes.remove_prefix(written);
  }
}

// A new file beside the target; its name is unique for this process and call.
std::pair<HANDLE, std::wstring> CreateTemporary(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter = 0;
  const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
  for (int attempt = 0;; ++attempt) {
    const std::wstring name =
        (folder / (L"." + target.filename().wstring() + L".tmp" +
                   std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++)))
            .wstring();
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return {file, name};
    if (GetLastError() != ERROR_FILE_EXISTS || attempt >= 100) ThrowLastError();
  }
}

}  // namespace

namespace system_file {

std::string ReadWhole(const std::string& path, size_t maxBytes) {
  THandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) ThrowLastError();
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &n, nullptr)) ThrowLastError();
    if (n == 0) return bytes;
    if (bytes.size() + n > maxBytes) {
      throw TKalvistError("file is larger than " + std::to_string(maxBytes) + " bytes");
    }
    bytes.append(buffer, n);
  }
}

// The temporary file reaches the disk before it replaces the target, and the replacing
// itself is written through.
void WriteThroughTemporary(const std::string& path, std::string_view bytes) {
  const std::filesystem::path target(Widen(path));
  auto [rawHandle, temporary] = CreateTemporary(target);
  THandle file(rawHandle);
  try {
    WriteAll(file.Get(), bytes);
    if (!FlushFileBuffers(file.Get())) ThrowLastError();
    file.Close();
    if (!MoveFileExW(temporary.c_str(), target.wstring().c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ThrowLastError();
    }
  } catch (...) {
    DeleteFileW(temporary.c_str());
    throw;
  }
}

}  // namespace system_file

}  // namespace kalvist
