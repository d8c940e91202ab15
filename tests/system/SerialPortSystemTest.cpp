// The serial port's contract, one table run against each line a port can lead to: the
// system's port over a pseudo-terminal (where the system has them) and the in-process
// loopback line, paced and not. The device end plays the controller.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "DeviceLine.h"
#include "KalvistError.h"
#include "SerialPort.h"

namespace kalvist {
namespace {

using namespace std::chrono_literals;

struct TLineCase {
  const char* Name;
  TDeviceLineKind Kind;
  bool Paced;
  const char* MissingPort;  // a name of that kind that leads nowhere
  // A terminal held exclusively still opens for the system's administrator.
  bool RefusesAdministrator;
};

const TLineCase kLines[] = {
    {"PseudoTerminal", TDeviceLineKind::PseudoTerminal, false, "/dev/kalvist-no-such-port", false},
    {"Loopback", TDeviceLineKind::Loopback, false, "loopback:999999", true},
    {"PacedLoopback", TDeviceLineKind::Loopback, true, "loopback:999999", true},
};

class SerialPortSystemTest : public ::testing::TestWithParam<TLineCase> {
 protected:
  void SetUp() override {
    try {
      device = CreateDeviceLine(GetParam().Kind, GetParam().Paced);
      device->Open({});
    } catch (const TKalvistError& e) {
      GTEST_SKIP() << "no such line on this system: " << e.what();
    }
    ASSERT_EQ(port->Open(device->ClientPath()).Code, opOpened);
    ASSERT_EQ(device->WaitForPeer(5000), TLineEvent::PeerOpened);
  }

  // What the device end receives within `ms`.
  std::vector<uint8_t> DeviceReads(size_t want, int ms = 5000) {
    std::vector<uint8_t> got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (got.size() < want && std::chrono::steady_clock::now() < end) {
      if (device->Wait(20) != TLineEvent::Readable) continue;
      uint8_t buffer[256];
      const long n = device->Read(buffer);
      if (n > 0) got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  std::vector<uint8_t> PortReads(size_t want, int ms = 5000) {
    std::vector<uint8_t> got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (got.size() < want && std::chrono::steady_clock::now() < end) {
      if (port->Wait(true, 20) != TWaitResult::Readable) continue;
      uint8_t buffer[256];
      const long n = port->Read(buffer);
      if (n < 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  std::unique_ptr<IDeviceLine> device;
  std::unique_ptr<ISerialPort> port = CreateSerialPort();
};

TEST_P(SerialPortSystemTest, BytesCrossBothWays) {
  const std::vector<uint8_t> request{0xFF, 0x01, 0x02, 0x03};
  ASSERT_EQ(port->Write(request), 4);
  port->Drain();
  EXPECT_EQ(DeviceReads(4), request);

  const std::vector<uint8_t> reply{0x10, 0x20, 0x30};
  ASSERT_TRUE(device->Write(reply, 1000));
  EXPECT_EQ(PortReads(3), reply);
  EXPECT_EQ(port->Wait(true, 50), TWaitResult::TimedOut);  // nothing more
}

TEST_P(SerialPortSystemTest, OpenCodesSayWhy) {
  const std::unique_ptr<ISerialPort> other = CreateSerialPort();
  const TOpenOutcome missing = other->Open(GetParam().MissingPort);
  EXPECT_EQ(missing.Code, opCannotOpen);
  EXPECT_FALSE(missing.Reason.empty());
  EXPECT_FALSE(other->IsOpen());
  EXPECT_FALSE(PortExists(GetParam().MissingPort));

  // The line is ours: a second client is refused while we hold it.
  const TOpenOutcome held = other->Open(device->ClientPath());
  if (GetParam().RefusesAdministrator || held.Code != opOpened) {
    EXPECT_EQ(held.Code, opCannotOpen);
    EXPECT_FALSE(held.Reason.empty());
  }
  other->Close();
  EXPECT_TRUE(port->CheckPresent());

  EXPECT_EQ(other->Open("").Code, opBadPortName);
}

TEST_P(SerialPortSystemTest, DeviceGoneIsSeenAndNothingHangs) {
  EXPECT_TRUE(port->CheckPresent());
  EXPECT_TRUE(PortExists(device->ClientPath()));
  const std::string path = device->ClientPath();
  device->Close();
  EXPECT_FALSE(port->CheckPresent());
  // The hang-up reads as readable, and the read then fails.
  EXPECT_EQ(port->Wait(true, 5000), TWaitResult::Readable);
  std::vector<uint8_t> buffer(8);
  EXPECT_LT(port->Read(buffer), 0);
  EXPECT_FALSE(PortExists(path));
}

TEST_P(SerialPortSystemTest, ClientClosingIsSeenByTheDevice) {
  port->Close();
  EXPECT_FALSE(port->IsOpen());
  EXPECT_EQ(device->Wait(5000), TLineEvent::PeerClosed);
}

TEST_P(SerialPortSystemTest, PurgeDropsWhatTheOtherEndHasNotRead) {
  ASSERT_TRUE(device->Write(std::vector<uint8_t>(16, 0xAA), 1000));
  std::this_thread::sleep_for(50ms);  // let the bytes reach the port's side
  port->Purge();
  EXPECT_EQ(port->Wait(true, 100), TWaitResult::TimedOut);
}

TEST_P(SerialPortSystemTest, WakeEndsAWaitFromAnotherThread) {
  auto waiting = std::async(std::launch::async, [this] { return port->Wait(true, -1); });
  std::this_thread::sleep_for(20ms);
  port->Wake();
  ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(waiting.get(), TWaitResult::Woken);
  EXPECT_EQ(port->Wait(false, 0), TWaitResult::TimedOut);  // one wake, one woken wait

  auto peer = std::async(std::launch::async, [this] { return device->Wait(-1); });
  std::this_thread::sleep_for(20ms);
  device->Wake();
  ASSERT_EQ(peer.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(peer.get(), TLineEvent::Woken);
}

TEST_P(SerialPortSystemTest, FullLineWaitsForRoomAndLeavesAWakeForTheNextWait) {
  // Nobody reads the other end: the line fills up. A terminal moves bytes between its
  // buffers in the background, so it is full only once a pause has not made room.
  const std::vector<uint8_t> chunk(4096, 0x55);
  size_t queued = 0;
  for (bool full = false; !full;) {
    for (long n = 1; n > 0;) {
      n = port->Write(chunk);
      ASSERT_GE(n, 0);
      queued += static_cast<size_t>(n);
      ASSERT_LT(queued, 16u << 20) << "the line never filled";
    }
    std::this_thread::sleep_for(20ms);
    full = port->Write(std::span(chunk).first(1)) == 0;
  }
  EXPECT_EQ(port->WaitWritable(20), TWaitResult::TimedOut);

  // A paced line lets bytes through at the line rate only: the device reads some.
  std::vector<uint8_t> sink(4096);
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (port->WaitWritable(0) != TWaitResult::Writable && std::chrono::steady_clock::now() < end) {
    if (device->Wait(20) == TLineEvent::Readable) device->Read(sink);
  }
  EXPECT_EQ(port->WaitWritable(5000), TWaitResult::Writable);
  EXPECT_GT(port->Write(chunk), 0);

  port->Wake();
  EXPECT_EQ(port->WaitWritable(5000), TWaitResult::Woken);
  EXPECT_EQ(port->Wait(false, 0), TWaitResult::Woken);  // still there for the reader
  EXPECT_EQ(port->Wait(false, 0), TWaitResult::TimedOut);

  port->Close();
  EXPECT_EQ(port->WaitWritable(0), TWaitResult::Failed);
}

INSTANTIATE_TEST_SUITE_P(Lines, SerialPortSystemTest, ::testing::ValuesIn(kLines),
                         [](const auto& line) { return std::string(line.param.Name); });

// A paced line holds each byte for its time at 19200 baud, as a UART does: the drain
// of a frame waits for it, and the far end gets it no sooner.
TEST(PacedLoopbackTest, BytesTakeTheirLineTime) {
  const std::unique_ptr<IDeviceLine> device = CreateDeviceLine(TDeviceLineKind::Loopback, true);
  device->Open({});
  const std::unique_ptr<ISerialPort> port = CreateSerialPort();
  ASSERT_EQ(port->Open(device->ClientPath()).Code, opOpened);

  const std::vector<uint8_t> frame(96, 0x42);  // 50 ms of line time
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(port->Write(frame), 96);
  EXPECT_EQ(device->Wait(0), TLineEvent::TimedOut);  // the first byte is still under way
  port->Drain();
  EXPECT_GE(std::chrono::steady_clock::now() - start, 49ms);
  std::vector<uint8_t> got(128);
  EXPECT_EQ(device->Read(got), 96);
}

}  // namespace
}  // namespace kalvist
