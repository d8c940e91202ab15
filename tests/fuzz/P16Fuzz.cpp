// ".p16" import: any text, line by line, into a recording target. Only documented
// values reach the target, and the only failure is the missing-line error.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FrequencyTable.h"
#include "FuzzCheck.h"
#include "KalvistError.h"
#include "P16Import.h"

using namespace kalvist;

namespace {

class TCheckingTarget : public IParamPageTarget {
 public:
  explicit TCheckingTarget(bool degrees) : degrees_(degrees) {}
  bool WindowInDegrees() const override { return degrees_; }
  int32_t MaxWindowDelayDegrees() const override { return 60; }
  void SetEditValue(uint16_t, double shownValue) override {
    FUZZ_CHECK(shownValue >= 0 && shownValue <= 500 + 250 * 255);
  }
  void SelectFrequency(uint16_t objectId, int32_t hz) override {
    FUZZ_CHECK(objectId == 10295 || objectId == 10296);
    bool listed = false;
    for (const auto f : FrequencyTable) listed = listed || f == hz;
    FUZZ_CHECK(listed);
  }
  void SetSwitchBit(int bit, bool) override { FUZZ_CHECK(bit >= 0 && bit <= 6); }
  void SetEngineType(int type) override { FUZZ_CHECK(type == 0 || type == 1); }

 private:
  bool degrees_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  TCheckingTarget target(data[0] & 1);
  try {
    ImportP16Text(text, target, ConvertAtSpeed(1500));
  } catch (const TKalvistError& error) {
    FUZZ_CHECK(error.Text.rfind("List index out of bounds", 0) == 0);
  }
  return 0;
}
