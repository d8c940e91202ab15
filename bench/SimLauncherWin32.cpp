#include <stdexcept>

#include "SimLauncher.h"

namespace kalvist::bench {

std::unique_ptr<ISimHandle> LaunchSimProcess(std::vector<std::string>) {
  throw std::runtime_error(
      "no simulator process on this system: use --in-process, or --port with a simulator on "
      "the far end of a serial line");
}

}  // namespace kalvist::bench
