// Value conversions of communication objects: any text or number stored into an
// object of any size either converts or fails with the one exception type, leaving
// the object unchanged; a stored number reads back as its low bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "KalvistError.h"
#include "vltCommObject.h"

using namespace kalvist;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int objectSize = data[0] % 70;
  const bool asNumber = data[1] & 1;
  TCommObject object(1, false, objectSize);
  for (int i = 0; i < objectSize; ++i) object.Bytes(i) = static_cast<uint8_t>(i * 7);
  const std::vector<uint8_t> before(object.Data(), object.Data() + objectSize);

  TValue value;
  if (asNumber && size >= 10) {
    int64_t number;
    std::memcpy(&number, data + 2, sizeof number);
    value = TValue(number);
  } else {
    value = TValue(std::string(reinterpret_cast<const char*>(data + 2), size - 2));
  }
  try {
    object.SetValue(value);
  } catch (const TKalvistError&) {
    FUZZ_CHECK(object.Size() == objectSize);
    FUZZ_CHECK(objectSize == 0 ||
               std::memcmp(object.Data(), before.data(), static_cast<size_t>(objectSize)) == 0);
    return 0;
  }
  FUZZ_CHECK(object.Size() == objectSize);
  const TValue back = object.Value();
  if (objectSize == 1 || objectSize == 2 || objectSize == 4) {
    const uint64_t mask = objectSize == 4 ? 0xFFFFFFFFu : (1u << (8 * objectSize)) - 1;
    FUZZ_CHECK(static_cast<uint64_t>(back.AsInt64()) ==
               (static_cast<uint64_t>(value.AsInt64()) & mask));
  } else {
    FUZZ_CHECK(object.Data()[objectSize - 1] == 0);  // texts stay terminated
    FUZZ_CHECK(back.AsString().size() < static_cast<size_t>(objectSize));
  }
  return 0;
}
