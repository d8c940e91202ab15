// Where an end-to-end benchmark finds its simulator: zarno-sim as its own process
// (where the system can start one on a pseudo-terminal), in this process on the
// system's default line, or already running on a port the user names.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kalvist::bench {

class ISimHandle {
 public:
  virtual ~ISimHandle() = default;
  virtual const std::string& Path() const = 0;
};

// Throws std::runtime_error where the system has no way to.
std::unique_ptr<ISimHandle> LaunchSimProcess(std::vector<std::string> args);

}  // namespace kalvist::bench
