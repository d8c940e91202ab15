// The controller's port going away and coming back: the device model reports it once,
// ends offline with its live values cleared, and, when asked to, connects again to the
// same port and enters the password that had been accepted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "EventLoop.h"
#include "MessageThread.h"
#include "Reconnector.h"
#include "ThreadCount.h"
#include "ZarnoSimulator.h"
#include "vltZarno.h"

namespace kalvist {
namespace {

using test::ThreadCount;

constexpr uint64_t kWaitMs = 15000;
constexpr uint16_t kAdminPassword = 1111;

class TCountingSink : public IMessageSink {
 public:
  void Show(const TMessage& m, std::function<void()> closed) override {
    messages.push_back(m.Caption + ": " + m.Text);
    closed();
  }
  std::vector<std::string> messages;
};

class UnplugSystemTest : public ::testing::Test {
 protected:
  UnplugSystemTest() : link("/tmp/kalvist-unplug-" + std::to_string(getpid())) {
    SetMessageSink(&sink);
    sim::TSimOptions options;
    options.LinkPath = link;
    options.AdminPassword = kAdminPassword;
    simulator = std::make_unique<sim::TZarnoSimulator>(options);
    simulator->Start();
    zarno.SetPortPath(link);
    zarno.Comm().SetCommTimeout(300);
    // As the main window and the command-line tool do.
    zarno.OnConnect = [this](TZarno& z) {
      z.ResetPassword();
      reconnector.Connected();
    };
    zarno.OnDisconnect = [this](TZarno&) {
      ++disconnects;
      reconnector.Disconnected();
    };
  }
  ~UnplugSystemTest() override {
    zarno.OnDisconnect = nullptr;
    if (zarno.IsConnected()) zarno.Disconnect();
    SetMessageSink(nullptr);
  }

  void ConnectWithPassword() {
    zarno.Connect();
    ASSERT_TRUE(loop.RunUntil([this] { return zarno.IsConnected(); }, kWaitMs));
    zarno.EnterPassword(kAdminPassword);
    ASSERT_TRUE(loop.RunUntil([this] { return zarno.PasswordOK(); }, kWaitMs));
    zarno.ReadLiveValues();
    ASSERT_TRUE(Settle());
    ASSERT_GT(zarno.KnockIntensity(1), 0);
  }

  bool Settle() {
    return loop.RunUntil([this] { return zarno.Queue().Count() == 0 && !zarno.Comm().Busy(); },
                         kWaitMs);
  }

  int Disconnections() const {
    int n = 0;
    for (const auto& m : sink.messages) n += m.find(" is disconnected.") != std::string::npos;
    return n;
  }

  void ExpectOfflineAndCleared() {
    EXPECT_FALSE(zarno.IsConnected());
    EXPECT_EQ(disconnects, 1);
    ASSERT_EQ(Disconnections(), 1) << ::testing::PrintToString(sink.messages);
    EXPECT_NE(sink.messages.front().find("has gone"), std::string::npos) << sink.messages.front();
    EXPECT_EQ(zarno.KnockIntensity(1), 0);
    EXPECT_FALSE(zarno.PasswordOK());
  }

  const std::string link;
  TCountingSink sink;
  TEventLoop loop;
  std::unique_ptr<sim::TZarnoSimulator> simulator;
  TZarno zarno{loop};
  TReconnector reconnector{zarno, loop};
  int disconnects = 0;
};

TEST_F(UnplugSystemTest, PortGoneWhileIdleIsReportedOnceAndLeavesTheModelOffline) {
  ConnectWithPassword();
  simulator->HangUp();
  ASSERT_TRUE(loop.RunUntil([this] { return disconnects > 0; }, kWaitMs));
  loop.RunUntil(nullptr, 1500);  // nothing more may follow
  ExpectOfflineAndCleared();
}

struct TTransferCase {
  const char* Name;
  uint16_t ObjectID;
  std::function<void(TZarno&)> Start;
};

class UnplugDuringTransferTest : public UnplugSystemTest,
                                 public ::testing::WithParamInterface<TTransferCase> {};

TEST_P(UnplugDuringTransferTest, PortGoneEndsTheTransferAndIsReportedOnce) {
  ConnectWithPassword();
  sim::TFault hangUp;
  hangUp.Kind = sim::TFaultKind::HangUp;
  hangUp.ObjectID = GetParam().ObjectID;
  simulator->InjectFault(hangUp);
  GetParam().Start(zarno);
  ASSERT_TRUE(loop.RunUntil([this] { return disconnects > 0; }, kWaitMs));
  loop.RunUntil(nullptr, 1500);
  ExpectOfflineAndCleared();
}

INSTANTIATE_TEST_SUITE_P(
    ReadAndWrite, UnplugDuringTransferTest,
    ::testing::Values(
        TTransferCase{"Read", idKnockIntensity, [](TZarno& z) { z.ReadLiveValues(); }},
        TTransferCase{"Write", idDiagnosticMode, [](TZarno& z) { z.SetDiagnosticMode(true); }}),
    [](const auto& c) { return std::string(c.param.Name); });

TEST_F(UnplugSystemTest, SamePortComingBackConnectsAgainWithThePassword) {
  reconnector.Enabled = true;
  int reconnects = 0;
  reconnector.OnReconnected = [&](TReconnector&) { ++reconnects; };
  ConnectWithPassword();
  const size_t threads = ThreadCount();
  for (int round = 1; round <= 3; ++round) {
    simulator->HangUp();
    ASSERT_TRUE(loop.RunUntil([&] { return reconnector.Watching(); }, kWaitMs));
    EXPECT_FALSE(zarno.IsConnected());
    simulator->Start();  // a new terminal behind the same link
    ASSERT_TRUE(loop.RunUntil([&] { return reconnects == round && zarno.PasswordOK(); }, kWaitMs));
    EXPECT_EQ(zarno.AccessLevel(), 0);
    EXPECT_EQ(ThreadCount(), threads);  // the I/O thread is reused, none is left behind
  }
  EXPECT_EQ(Disconnections(), 3);
}

TEST_F(UnplugSystemTest, NoReconnectUnlessAskedOrAfterAnOrdinaryDisconnect) {
  ConnectWithPassword();
  simulator->HangUp();
  ASSERT_TRUE(loop.RunUntil([this] { return disconnects > 0; }, kWaitMs));
  EXPECT_FALSE(reconnector.Watching());

  reconnector.Enabled = true;
  simulator->Start();
  zarno.Connect();
  ASSERT_TRUE(loop.RunUntil([this] { return zarno.IsConnected(); }, kWaitMs));
  zarno.Disconnect();
  loop.ProcessPending();
  EXPECT_FALSE(reconnector.Watching());
}

}  // namespace
}  // namespace kalvist
