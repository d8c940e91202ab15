// The termios port against a pseudo-terminal: waiting for room to write.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "PseudoTerminal.h"
#include "SerialPort.h"

namespace kalvist {
namespace {

TEST(SerialPortSystemTest, FullLineWaitsForRoomAndLeavesAWakeForTheNextWait) {
  TPseudoTerminal pty;
  pty.Open();
  const std::unique_ptr<ISerialPort> port = CreateSerialPort();
  ASSERT_EQ(port->Open(pty.SlavePath()).Code, opOpened);

  // Nobody reads the other end: the line fills up. The terminal moves bytes between its
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
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    full = port->Write(std::span(chunk).first(1)) == 0;
  }
  EXPECT_EQ(port->WaitWritable(20), TWaitResult::TimedOut);

  std::vector<uint8_t> sink(4096);
  while (pty.Read(sink) > 0) {
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

}  // namespace
}  // namespace kalvist
