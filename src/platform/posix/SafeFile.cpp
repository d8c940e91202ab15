#include "SystemFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "KalvistError.h"

namespace kalvist {

namespace {

[[noreturn]] void ThrowErrno(int error) {
  throw TKalvistError(std::strerror(error));
}

// Closes on every path out, so that an error never leaks the descriptor.
class TFd {
 public:
  explicit TFd(int fd) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return fd_; }
  // The close of a written file reports late write errors, so it is checked.
  void Close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) ThrowErrno(errno);
  }

 private:
  int fd_;
};

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno);
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

// A new file beside the target, created with the usual permissions (0666 less the
// umask); its name is unique for this process and call.
std::pair<int, std::string> CreateTemporary(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter = 0;
  const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
  for (int attempt = 0;; ++attempt) {
    const std::string name =
        (folder / ("." + target.filename().string() + ".tmp" + std::to_string(::getpid()) + "-" +
                   std::to_string(counter++)))
            .string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return {fd, name};
    if (errno != EEXIST || attempt >= 100) ThrowErrno(errno);
  }
}

void SyncFolder(const std::filesystem::path& target) {
  const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
  TFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // The rename has happened; a folder that cannot be synced is no reason to report
  // the save as failed.
  if (fd.Get() >= 0) ::fsync(fd.Get());
}

}  // namespace

namespace system_file {

std::string ReadWhole(const std::string& path, size_t maxBytes) {
  TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) ThrowErrno(errno);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno);
    }
    if (n == 0) return bytes;
    if (bytes.size() + static_cast<size_t>(n) > maxBytes) {
      throw TKalvistError("file is larger than " + std::to_string(maxBytes) + " bytes");
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
}

void WriteThroughTemporary(const std::string& path, std::string_view bytes) {
  const std::filesystem::path target(path);
  auto [rawFd, temporary] = CreateTemporary(target);
  TFd fd(rawFd);
  try {
    WriteAll(fd.Get(), bytes);
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && ::fchmod(fd.Get(), old.st_mode & 07777) != 0) {
      ThrowErrno(errno);
    }
    if (::fsync(fd.Get()) != 0) ThrowErrno(errno);
    fd.Close();
    if (::rename(temporary.c_str(), path.c_str()) != 0) ThrowErrno(errno);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  SyncFolder(target);
}

}  // namespace system_file

}  // namespace kalvist
