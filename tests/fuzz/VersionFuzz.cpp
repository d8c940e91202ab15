// Version texts: parsing never throws; a version that parses, printed and parsed
// again, is the same version.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "vltVersion.h"

using namespace kalvist;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TVersion version;
  if (!version.Parse(text)) {
    FUZZ_CHECK(version.IsEmpty());  // a failed parse leaves the version cleared
    return 0;
  }
  const std::string printed = version.AsString();
  TVersion again;
  FUZZ_CHECK(again.Parse(printed));
  FUZZ_CHECK(again.Compare(version) == 0 && version.Compare(again) == 0);
  FUZZ_CHECK(again.AsString() == printed);
  FUZZ_CHECK(version.IsEmpty() || again.PartCount == version.PartCount);
  return 0;
}
