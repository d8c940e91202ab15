#include "SimLauncher.h"
#include "SimProcess.h"

namespace kalvist::bench {
namespace {

class TProcessHandle final : public ISimHandle {
 public:
  explicit TProcessHandle(std::vector<std::string> args) : process_(std::move(args)) {}
  const std::string& Path() const override { return process_.Path(); }

 private:
  TSimProcess process_;
};

}  // namespace

std::unique_ptr<ISimHandle> LaunchSimProcess(std::vector<std::string> args) {
  return std::make_unique<TProcessHandle>(std::move(args));
}

}  // namespace kalvist::bench
