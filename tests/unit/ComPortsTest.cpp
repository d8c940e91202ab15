// Windows port names and the port list made from the system's reports.
#include <gtest/gtest.h>

#include "ComPorts.h"

namespace kalvist {
namespace {

TEST(ComPortsTest, PortNumbersAreReadFromComNamesOnly) {
  const struct {
    const char* Name;
    std::optional<unsigned> Number;
  } cases[] = {
      {"COM1", 1u},        {"com12", 12u},   {"\\\\.\\COM256", 256u}, {"COM0", std::nullopt},
      {"COM", std::nullopt}, {"COM3x", std::nullopt}, {"/dev/ttyUSB0", std::nullopt},
      {"LPT1", std::nullopt}, {"", std::nullopt}, {"COM1234567", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ComPortNumber(c.Name), c.Number);
  }
  EXPECT_EQ(ComDevicePath(12), "\\\\.\\COM12");
}

TEST(ComPortsTest, UsbIdentityComesFromTheInstanceId) {
  const struct {
    const char* Id;
    std::optional<std::string> Described;  // vendor:product serial
  } cases[] = {
      {"USB\\VID_0403&PID_6001\\A1B2C3", "0403:6001 A1B2C3"},
      {"USB\\VID_2341&PID_0043\\5&2B9B1A3&0&2", "2341:0043 "},  // made up: no serial
      {"FTDIBUS\\VID_0403+PID_6001+A7XK2Q1A\\0000", "0403:6001 A7XK2Q1A"},
      {"ACPI\\PNP0501\\1", std::nullopt},
      {"USB\\VID_04&PID_6001\\X", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Id);
    const std::optional<TUsbIdentity> usb = ParseUsbInstanceId(c.Id);
    ASSERT_EQ(usb.has_value(), c.Described.has_value());
    if (usb) {
      EXPECT_EQ(usb->Vendor + ":" + usb->Product + " " + usb->Serial, *c.Described);
    }
  }
}

TEST(ComPortsTest, ListIsByNumberWithDeviceDetailsBeforeTheRegistryFallback) {
  const std::vector<TComPortEntry> devices{
      {"COM10", "USB Serial Port (COM10)", "FTDIBUS\\VID_0403+PID_6001+A1B2C3A\\0000"},
      {"COM1", "Communications Port (COM1)", "ACPI\\PNP0501\\1"},
      {"LPT1", "Printer Port (LPT1)", "ACPI\\PNP0400\\1"},
  };
  const std::vector<std::string> registry{"COM10", "COM5", "COM1", "bogus"};
  const std::vector<TPortInfo> ports = ListComPorts(devices, registry);
  std::vector<std::string> lines;
  for (const TPortInfo& p : ports) lines.push_back(p.Path + " " + p.Description);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "COM1 Communications Port (COM1)",
                       "COM5 Serial port",
                       "COM10 USB Serial Port (COM10) [USB 0403:6001 A1B2C3A]",
                   }));
}

}  // namespace
}  // namespace kalvist
