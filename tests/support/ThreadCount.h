// How many threads this process runs: what a test compares to prove none was left behind.
#pragma once

#include <cstddef>
#include <filesystem>
#include <iterator>

namespace kalvist::test {

inline size_t ThreadCount() {
  namespace fs = std::filesystem;
  return static_cast<size_t>(
      std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator{}));
}

}  // namespace kalvist::test
