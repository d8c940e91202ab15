#include <gtest/gtest.h>

#include <thread>

#include "EventLoop.h"

namespace kalvist {
namespace {

TEST(EventLoop, ChannelSignalsMergeUntilHandledAndDieWithTheChannel) {
  TEventLoop loop(TEventLoop::TClock::Fake);
  int runs = 0;
  auto channel = loop.CreateChannel([&] { ++runs; });
  channel->Signal();
  channel->Signal();
  loop.ProcessPending();
  EXPECT_EQ(runs, 1);
  channel->Signal();
  channel.reset();
  loop.ProcessPending();
  EXPECT_EQ(runs, 1);
}

TEST(EventLoop, FakeTimeFiresTimersInOrderAndOnlyWhenDue) {
  TEventLoop loop(TEventLoop::TClock::Fake);
  std::vector<std::string> fired;
  const TTimerId fast = loop.StartTimer(100, [&] { fired.push_back("100"); });
  loop.StartTimer(250, [&] { fired.push_back("250"); });
  loop.AdvanceTime(99);
  EXPECT_TRUE(fired.empty());
  loop.AdvanceTime(201);
  EXPECT_EQ(fired, (std::vector<std::string>{"100", "100", "250", "100"}));
  loop.StopTimer(fast);
  loop.AdvanceTime(200);
  EXPECT_EQ(fired.back(), "250");
  EXPECT_EQ(loop.NowMs(), 500u);
}

TEST(BlockingHandOver, RunsOnTheLoopThreadAndWaitsForIt) {
  TEventLoop loop;
  const auto loopThread = std::this_thread::get_id();
  std::thread::id ranOn;
  TBlockingHandOver handOver(loop, [&] { ranOn = std::this_thread::get_id(); });
  bool sent = false;
  std::jthread sender([&](std::stop_token stop) { sent = handOver.Send(stop); });
  ASSERT_TRUE(loop.RunUntil([&] { return ranOn == loopThread; }, 5000));
  sender.join();
  EXPECT_TRUE(sent);
}

TEST(BlockingHandOver, StoppedSenderGivesUpAndTheHandlerNeverRuns) {
  TEventLoop loop;
  int runs = 0;
  TBlockingHandOver handOver(loop, [&] { ++runs; });
  std::jthread sender([&](std::stop_token stop) { EXPECT_FALSE(handOver.Send(stop)); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  sender.request_stop();
  sender.join();
  loop.ProcessPending();
  EXPECT_EQ(runs, 0);
}

}  // namespace
}  // namespace kalvist
