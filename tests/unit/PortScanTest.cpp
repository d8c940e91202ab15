#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "PortScan.h"

namespace kalvist {
namespace {

namespace fs = std::filesystem;

// A small sysfs: tty nodes with device links into a USB device tree.
class PortScanTest : public ::testing::Test {
 protected:
  PortScanTest() : root(fs::temp_directory_path() / ("portscan-" + std::to_string(::getpid()))) {
    fs::remove_all(root);
    fs::create_directories(tty);
  }
  ~PortScanTest() override { fs::remove_all(root); }

  static void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
  }
  // A tty node whose device is `device` (none when empty).
  void Tty(const std::string& name, const fs::path& device = {}) {
    fs::create_directories(tty / name);
    if (device.empty()) return;
    fs::create_directories(device);
    fs::create_directory_symlink(device, tty / name / "device");
  }
  fs::path UsbDevice(const std::string& id, const std::string& product, const std::string& serial) {
    const fs::path dir = root / "devices/usb1" / id;
    Write(dir / "idVendor", "0403");
    if (!product.empty()) Write(dir / "product", product);
    if (!serial.empty()) Write(dir / "serial", serial);
    return dir;
  }

  fs::path root;
  fs::path tty = root / "class/tty";
};

TEST_F(PortScanTest, ListsAdaptersAndRealUartsInNaturalOrder) {
  const fs::path ftdi = UsbDevice("1-1", "FT232R USB UART", "A1B2C3");
  Tty("ttyUSB10", ftdi / "1-1:1.0/ttyUSB10");
  Tty("ttyUSB2", ftdi / "1-1:1.1/ttyUSB2");
  Tty("ttyACM0", UsbDevice("1-2", "", "") / "1-2:1.0");
  Tty("ttyS0", root / "devices/serial8250/port0");
  Write(tty / "ttyS0/type", "4");
  Tty("ttyS1", root / "devices/serial8250/port1");
  Write(tty / "ttyS1/type", "0");  // no UART answered
  Tty("ttyS2");                    // no device at all
  Tty("tty0", root / "devices/virtual/tty0");
  Tty("ttyUSBx", ftdi);

  const std::vector<TPortInfo> ports = ScanSysfsPorts(tty, "/dev");
  std::vector<std::string> lines;
  for (const TPortInfo& p : ports) lines.push_back(p.Path + " " + p.Description);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "/dev/ttyUSB2 FT232R USB UART (A1B2C3)",
                       "/dev/ttyUSB10 FT232R USB UART (A1B2C3)",
                       "/dev/ttyACM0 USB serial port",
                       "/dev/ttyS0 Serial port",
                   }));
}

TEST_F(PortScanTest, MissingDirectoryGivesNoPorts) {
  EXPECT_TRUE(ScanSysfsPorts(root / "nowhere", "/dev").empty());
}

}  // namespace
}  // namespace kalvist
