// The device object over the real link against the simulated controller.
#include <gtest/gtest.h>

#include <optional>

#include "EventLoop.h"
#include "MessageThread.h"
#include "PortNames.h"
#include "ZarnoSimulator.h"
#include "vltZarno.h"

namespace kalvist {
namespace {

using sim::TFault;
using sim::TFaultKind;
using sim::TSimOptions;
using sim::TZarnoSimulator;

constexpr uint64_t kWaitMs = 15000;  // generous: only a hang ever reaches it
constexpr uint32_t kTestReplyTimeout = 300;
const sim::TErrorBytes kRefusal100 = {0xFF, 0, 0, 8};
const sim::TErrorBytes kIgnoredRefusal = {0xFA, 0, 0, 8};

class TRecordingSink : public IMessageSink {
 public:
  void Show(const TMessage& m, std::function<void()> closed) override {
    messages.push_back(m.Caption + ": " + m.Text);
    closed();
  }
  std::vector<std::string> messages;
};

TSimOptions Kind(int kind, std::optional<int> firmware = std::nullopt) {
  TSimOptions options;
  options.Kind = kind;
  options.Firmware = firmware;
  return options;
}

TFault Refusal(uint16_t id, const sim::TErrorBytes& bytes) {
  TFault fault;
  fault.Kind = TFaultKind::ErrorReply;
  fault.ObjectID = id;
  fault.ErrorBytes = bytes;
  return fault;
}

class ZarnoSystemTest : public ::testing::Test {
 protected:
  ZarnoSystemTest() {
    SetMessageSink(&sink);
    zarno.SetZarnoNames(0, "Z20");
    zarno.SetZarnoNames(1, "Z2");
    zarno.SetZarnoNames(2, "Z3");
    zarno.Comm().SetCommTimeout(kTestReplyTimeout);
    zarno.OnConnect = [this](TZarno&) { ++connects; };
    zarno.OnDisconnect = [this](TZarno&) { ++disconnects; };
    zarno.OnObjectChanged = [this](TZarno&, uint16_t id) { changed.push_back(id); };
  }
  ~ZarnoSystemTest() override {
    zarno.OnDisconnect = nullptr;
    if (zarno.IsConnected()) zarno.Disconnect();
    SetMessageSink(nullptr);
  }

  // Starts the simulator and connects; `fault` hits the connect sequence.
  void Connect(const TSimOptions& options, std::optional<TFault> fault = std::nullopt) {
    sim = std::make_unique<TZarnoSimulator>(options);
    zarno.SetPortPath(sim->Start());
    if (fault) sim->InjectFault(*fault);
    zarno.Connect();
    ASSERT_TRUE(loop.RunUntil([this] { return !zarno.IsConnecting(); }, kWaitMs));
  }

  // Runs until the queue is empty and the link idle, or the connection has ended.
  void Settle() {
    ASSERT_TRUE(loop.RunUntil(
        [this] {
          return !zarno.IsConnected() || (zarno.Queue().Count() == 0 && !zarno.Comm().Busy());
        },
        kWaitMs));
  }

  void EnterPassword(uint16_t password) {
    zarno.EnterPassword(password);
    Settle();
  }

  TEventLoop loop;
  TRecordingSink sink;
  TZarno zarno{loop};
  std::unique_ptr<TZarnoSimulator> sim;
  int connects = 0;
  int disconnects = 0;
  std::vector<uint16_t> changed;
};

TEST_F(ZarnoSystemTest, IdentifiesEachKindWithItsFirmware) {
  struct Case {
    int kind;
    uint8_t mode;
    int firmware;
    bool threeLevel;
  };
  for (const Case& c :
       {Case{20, 0, 25, true}, Case{2, 1, 13, true}, Case{3, 2, 0, true}, Case{20, 0, 24, false}}) {
    SCOPED_TRACE(c.kind);
    connects = 0;
    Connect(Kind(c.kind, c.firmware));
    EXPECT_TRUE(zarno.IsConnected());
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(zarno.ZarnoMode(), c.mode);
    EXPECT_EQ(zarno.SwVersion(), c.firmware);
    EXPECT_EQ(zarno.ThreeLevel(), c.threeLevel);
    zarno.Disconnect();
  }
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ZarnoSystemTest, UnknownHardwareTypeEndsTheConnectionWithoutAWord) {
  TSimOptions options = Kind(2);
  options.HardwareType = 0x00550000;
  Connect(options);
  EXPECT_FALSE(zarno.IsConnected());
  EXPECT_EQ(zarno.ZarnoMode(), 0);
  EXPECT_EQ(connects, 0);
  EXPECT_EQ(disconnects, 1);
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ZarnoSystemTest, PortThatDoesNotOpenSaysWhy) {
  zarno.SetPortPath(test::MissingPortName());
  zarno.Connect();
  loop.RunUntil([this] { return !zarno.IsConnecting(); }, kWaitMs);
  EXPECT_EQ(disconnects, 1);
  EXPECT_FALSE(test::MissingPortReason().empty());
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Error: Error connecting to " +
                                                    std::string(test::MissingPortName()) + ": " +
                                                    test::MissingPortReason()});
}

TEST_F(ZarnoSystemTest, FailedTransfersDisconnectWithTheirMessage) {
  struct Case {
    std::optional<TFault> connectFault;
    std::function<void()> act;
    std::optional<TFault> actFault;
    std::string message;
  };
  const Case cases[] = {
      {Refusal(idSwVersion, kRefusal100), [] {}, std::nullopt,
       "Error: Z20 was not found. (Error reading SW version)"},
      {std::nullopt, [this] { zarno.ReadStatus(); }, Refusal(idBadSensors, kRefusal100),
       "Error: Z20 is disconnected.\r\nError reading object. Object ID: 10330, error # 100"},
      {std::nullopt, [this] { zarno.SetValue(idCANAddress, TValue(9)); },
       Refusal(idCANAddress, kRefusal100),
       "Error: Z20 is disconnected.\r\nError writing object. Object ID: 10306, error # 100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    sink.messages.clear();
    disconnects = 0;
    Connect(Kind(20), c.connectFault);
    if (c.actFault) sim->InjectFault(*c.actFault);
    c.act();
    Settle();
    EXPECT_FALSE(zarno.IsConnected());
    EXPECT_EQ(disconnects, 1);
    EXPECT_EQ(sink.messages, std::vector<std::string>{c.message});
  }
}

TEST_F(ZarnoSystemTest, SilentControllerIsATimeout) {
  Connect(Kind(20));
  TFault silence;
  silence.Kind = TFaultKind::NoReply;
  silence.ObjectID = idStatus;
  sim->InjectFault(silence, 4);
  zarno.ReadStatus();
  Settle();
  EXPECT_FALSE(zarno.IsConnected());
  EXPECT_EQ(sink.messages,
            std::vector<std::string>{"Error: Z20 is disconnected.\r\nTimeout error reading."});
}

TEST_F(ZarnoSystemTest, IgnoredRefusalChangesNothing) {
  Connect(Kind(20, 24));
  sim->InjectFault(Refusal(idStatus, kIgnoredRefusal));
  sim->InjectFault(Refusal(idCANAddress, kIgnoredRefusal));
  changed.clear();
  zarno.ReadStatus();
  zarno.SetValue(idCANAddress, TValue(9));
  Settle();
  EXPECT_TRUE(zarno.IsConnected());
  EXPECT_EQ(changed, std::vector<uint16_t>{idBadSensors});
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_EQ(sim->GetObject(idCANAddress), std::vector<uint8_t>{1}) << "refused, so unchanged";
}

TEST_F(ZarnoSystemTest, BothPasswordSchemesReachTheirAccessLevel) {
  struct Case {
    int firmware;
    uint16_t password;
    bool ok;
    uint8_t level;
  };
  const Case cases[] = {
      {24, 1111, true, alAdministrator}, {24, 9, false, alMonitor},
      {25, 1111, true, alAdministrator}, {25, 2222, true, alOperator},
      {25, 3333, true, alMonitor},       {25, 9, false, alMonitor},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.firmware << "/" << c.password);
    sink.messages.clear();
    Connect(Kind(20, c.firmware));
    zarno.ResetPassword();
    EnterPassword(c.password);
    EXPECT_TRUE(zarno.IsConnected());
    EXPECT_EQ(zarno.PasswordOK(), c.ok);
    EXPECT_EQ(zarno.AccessLevel(), c.level);
    EXPECT_EQ(sink.messages, c.ok ? std::vector<std::string>{}
                                  : std::vector<std::string>{"Error: Wrong password"});
    zarno.Disconnect();
  }
}

TEST_F(ZarnoSystemTest, ProtectedWriteCarriesTheAcceptedPassword) {
  Connect(Kind(20, 25));
  EnterPassword(1111);
  ASSERT_TRUE(zarno.SetValue(idWindowDelay, TValue(250)));
  Settle();
  EXPECT_TRUE(zarno.IsConnected());
  EXPECT_EQ(sim->GetObject(idWindowDelay), (std::vector<uint8_t>{250, 0}));
  // A new administrator password takes over for the writes after it.
  ASSERT_TRUE(zarno.ChangePassword(4321, alAdministrator));
  ASSERT_TRUE(zarno.SetValue(idWindowDelay, TValue(260)));
  Settle();
  EXPECT_TRUE(zarno.IsConnected());
  EXPECT_EQ(sim->GetObject(idWindowDelay), (std::vector<uint8_t>{4, 1}));
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ZarnoSystemTest, EncryptedPasswordIsShownAsInformation) {
  Connect(Kind(20, 24));
  zarno.RequestEncryptedPassword();
  Settle();
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Information: Encrypted password value is: " +
                                                    std::to_string(sim::EncryptPassword(1111))});
}

}  // namespace
}  // namespace kalvist
