#include <gtest/gtest.h>

#include "DeviceVersionCheck.h"

namespace kalvist {
namespace {

TEST(DeviceVersionCheck, RefusesOnlyFirmwareNewerThanTheLastSupported) {
  struct Case {
    uint8_t mode, firmware;
    const char* refusal;  // nullptr: accepted
  };
  const Case cases[] = {
      {0, 25, nullptr},
      {0, 9, nullptr},
      {0, 26,
       "Zarno-20 version 2.6 is unsupported! (Last supported version is 2.5.)\r\n\r\n"
       "Connection will be closed!"},
      {1, 13, nullptr},
      {1, 14,
       "Zarno-2 version 1.4 is unsupported! (Last supported version is 1.3.)\r\n\r\n"
       "Connection will be closed!"},
      {2, 0, nullptr},
      {2, 5,
       "Unknown device version 0.5 is unsupported! (Last supported version is .)\r\n\r\n"
       "Connection will be closed!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.mode) << "/" << int(c.firmware));
    const std::optional<std::string> refusal = CheckDeviceVersion(c.mode, c.firmware);
    ASSERT_EQ(refusal.has_value(), c.refusal != nullptr);
    EXPECT_EQ(refusal.value_or(""), c.refusal ? c.refusal : "");
  }
}

}  // namespace
}  // namespace kalvist
