#include <gtest/gtest.h>

#include <thread>

#include "WakeHandle.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#endif

namespace kalvist {
namespace {

// What the GUI's event loop does with the handle: wait until it is signalled.
bool WaitSignalled(const TWakeHandle& wake, int timeoutMs) {
#ifdef _WIN32
  return WaitForSingleObject(wake.Native(), static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
#else
  pollfd watched{wake.Native(), POLLIN, 0};
  return poll(&watched, 1, timeoutMs) == 1;
#endif
}

TEST(WakeHandle, AnotherThreadsSignalWakesTheWaiter) {
  TWakeHandle wake;
  EXPECT_FALSE(WaitSignalled(wake, 0));
  std::thread signaller([&] { wake.Signal(); });
  EXPECT_TRUE(WaitSignalled(wake, 5000));
  signaller.join();
}

TEST(WakeHandle, SignalsMergeUntilDrainedAndWakeAgainAfterwards) {
  TWakeHandle wake;
  wake.Signal();
  wake.Signal();
  wake.Signal();
  // Being watched does not consume the signal: it stays until the owner drains it.
  EXPECT_TRUE(WaitSignalled(wake, 0));
  EXPECT_TRUE(WaitSignalled(wake, 0));
  wake.Drain();
  EXPECT_FALSE(WaitSignalled(wake, 0));
  wake.Drain();  // draining an unsignalled handle is harmless
  EXPECT_FALSE(WaitSignalled(wake, 0));
  wake.Signal();
  EXPECT_TRUE(WaitSignalled(wake, 0));
}

}  // namespace
}  // namespace kalvist
