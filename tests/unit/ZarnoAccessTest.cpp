#include <gtest/gtest.h>

#include "KalvistError.h"
#include "ZarnoFixture.h"

namespace kalvist {
namespace {

using test::ZarnoFixture;

class ZarnoAccessTest : public ZarnoFixture {
 protected:
  // Three-level scheme, logged in with the level number the controller reports.
  void LogInThreeLevel(uint8_t levelNumber) {
    ConnectTo(0x13, 25);
    zarno->ResetPassword();
    objects[idThreeLvLPassword] = {levelNumber, 0};
    zarno->EnterPassword(1234);
    Pump();
  }
};

// The queue on its own, with an access level the test sets.
class ZarnoQueueTest : public ::testing::Test {
 protected:
  ZarnoQueueTest() : loop(TEventLoop::TClock::Fake) {
    auto scripted = std::make_unique<test::TScriptedConnection>(loop);
    link = scripted.get();
    oper = std::make_unique<TvltZarnoComm>(loop, std::move(scripted));
    queue.SetSiteComm(oper.get());
    queue.AccessCheck = true;
    queue.OnAccessMode = [this] { return level; };
    link->SetBusy(true);  // keep everything queued, so Count shows what was accepted
  }

  TEventLoop loop;
  test::TScriptedConnection* link;
  std::unique_ptr<TvltZarnoComm> oper;
  TZarnoQueue queue;
  uint8_t level = alMonitor;
};

TEST_F(ZarnoQueueTest, ReadsAreDroppedBelowTheEntrysReadLevel) {
  TZarnoParam readByOperators("X", 1, 2, 0, true, 1, 1, 1);
  TCommObject plain(2, true, 2);
  struct Case {
    uint8_t level;
    bool checking;
    TCustomCommObject* object;
    bool queued;
  };
  const Case cases[] = {
      {alMonitor, true, &readByOperators, false},
      {alOperator, true, &readByOperators, true},
      {alMonitor, false, &readByOperators, true},
      {alMonitor, true, &plain, true},
  };
  for (const Case& c : cases) {
    queue.Clear();
    level = c.level;
    queue.AccessCheck = c.checking;
    EXPECT_EQ(queue.EnqueueRead(*c.object), c.queued);
    EXPECT_EQ(queue.Count(), c.queued ? 1 : 0);
  }
}

TEST_F(ZarnoQueueTest, WritesCheckTheFileLevelOnceForValuesFromAFile) {
  TZarnoParam entry("X", 1, 2, 0, true, 2, 1, 0);
  level = alOperator;
  entry.LoadedFromFile = true;
  EXPECT_FALSE(queue.EnqueueWrite(entry));
  EXPECT_TRUE(entry.LoadedFromFile) << "a dropped write keeps the flag";
  level = alAdministrator;
  EXPECT_TRUE(queue.EnqueueWrite(entry));
  EXPECT_FALSE(entry.LoadedFromFile);
  level = alOperator;
  EXPECT_TRUE(queue.EnqueueWrite(entry)) << "an ordinary edit needs only WriteLevel 1";
  level = alMonitor;
  EXPECT_FALSE(queue.EnqueueWrite(entry));
  EXPECT_EQ(queue.Count(), 2);
}

TEST_F(ZarnoQueueTest, ChecksRunThroughTheAccessPreludeAndAssertTheirContract) {
  link->SetBusy(false);
  TCommObject plain(2, false, 2);
  queue.EnqueueRead(plain);
  ASSERT_EQ(link->sent.size(), 1u);
  EXPECT_EQ(link->sent[0].ObjectID, kAccessNumberId);

  TZarnoParam entry("X", 1, 2, 0, true, 2, 2, 2);
  queue.OnAccessMode = nullptr;
  try {
    queue.EnqueueRead(entry);
    ADD_FAILURE();
  } catch (const TKalvistError& e) {
    EXPECT_EQ(e.Text, "AccessMode event not assigned");
    EXPECT_EQ(e.Line, 2211);
  }
  TZarnoQueue bare;
  for (int line : {2238, 2257}) {
    try {
      line == 2238 ? bare.EnqueueRead(entry) : bare.EnqueueWrite(entry);
      ADD_FAILURE();
    } catch (const TKalvistError& e) {
      EXPECT_EQ(e.Text, "Queue property \"Controller/ScopeComm\" must be assigned.");
      EXPECT_EQ(e.Unit, "vltZarno");
      EXPECT_EQ(e.Line, line);
    }
  }
  try {
    queue.Next();  // the head is still under way
    ADD_FAILURE();
  } catch (const TKalvistError& e) {
    EXPECT_EQ(e.Text, "Assertion failure");
    EXPECT_EQ(e.Line, 2221);
  }
}

TEST_F(ZarnoAccessTest, AccessLevelByStateAndScheme) {
  EXPECT_EQ(zarno->AccessLevel(), alAdministrator) << "offline";
  ConnectTo(0x13, 24);
  EXPECT_EQ(zarno->AccessLevel(), alMonitor) << "older scheme, no password";
  zarno->EnterPassword(1);
  Pump();
  EXPECT_EQ(zarno->AccessLevel(), alAdministrator);
  struct Case {
    uint8_t number;
    bool passwordOk;
    uint8_t level;
  };
  for (const Case& c : {Case{3, true, alAdministrator}, Case{2, true, alOperator},
                        Case{1, true, alMonitor}, Case{0, false, alMonitor}}) {
    Recreate();
    LogInThreeLevel(c.number);
    EXPECT_EQ(zarno->AccessLevelNumber(), c.number);
    EXPECT_EQ(zarno->PasswordOK(), c.passwordOk);
    EXPECT_EQ(zarno->AccessLevel(), c.level);
  }
  EXPECT_EQ(TZarno::AccessLevelName(alOperator), "operator");
  EXPECT_EQ(TZarno::AccessLevelName(3), "");
}

TEST_F(ZarnoAccessTest, ThreeLevelLoginWritesThenReadsBackAndAnnounces) {
  const size_t before = link->sent.size();
  LogInThreeLevel(2);
  std::vector<uint16_t> sent = SentIds(before);
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(std::vector<uint16_t>(sent.end() - 2, sent.end()),
            (std::vector<uint16_t>{idThreeLvLPassword, idThreeLvLPassword}));
  EXPECT_EQ(written[idThreeLvLPassword], (std::vector<uint8_t>{0xD2, 0x04, 0xD2, 0x04}));
  EXPECT_EQ(changed.back(), idThreeLvLPassword);
  EXPECT_EQ(zarno->Queue().PasswordWord, 1234);
}

TEST_F(ZarnoAccessTest, WrongPasswordResetsAndSaysSoInBothSchemes) {
  for (uint8_t firmware : {24, 25}) {
    Recreate();
    sink.messages.clear();
    ConnectTo(0x13, firmware);
    refusals[idThreeLvLPassword] = refusals[idPassword] = {0xFE, 0, 0, 8};
    changed.clear();
    zarno->EnterPassword(99);
    Pump();
    refusals.clear();
    EXPECT_TRUE(zarno->IsConnected());
    EXPECT_FALSE(zarno->PasswordOK());
    EXPECT_EQ(zarno->AccessLevelNumber(), 0);
    EXPECT_EQ(zarno->Queue().PasswordWord, firmware == 25 ? kNoPassword : 99);
    EXPECT_EQ(changed, std::vector<uint16_t>{idPassword});
    EXPECT_EQ(Messages(), std::vector<std::string>{"Error: Wrong password"});
  }
}

TEST_F(ZarnoAccessTest, OperatorReadsOnlyWhatItMayAndStillWritesOpenEntries) {
  LogInThreeLevel(2);
  const size_t before = link->sent.size();
  zarno->ReadAllParameters();
  Pump();
  const std::vector<uint16_t> sent = SentIds(before);
  auto wasSent = [&](uint16_t id) { return std::find(sent.begin(), sent.end(), id) != sent.end(); };
  EXPECT_FALSE(wasSent(idWindowDelay));
  EXPECT_TRUE(wasSent(idUsedSensors));
  EXPECT_TRUE(wasSent(idDiagnosticMode));
  EXPECT_EQ(zarno->GetValue(idWindowDelay)->AsInt64(), 1000) << "keeps its default";
  EXPECT_TRUE(zarno->SetValue(idCANAddress, TValue(3)));
  EXPECT_FALSE(zarno->SetValue(idWindowDelay, TValue(300))) << "WriteLevel 0";
}

TEST_F(ZarnoAccessTest, OlderSchemeChecksNothingButHoldsBackProtectedWrites) {
  ConnectTo(0x13, 24);
  const size_t before = link->sent.size();
  zarno->ReadAllParameters();
  Pump();
  EXPECT_EQ(SentIds(before).size(), static_cast<size_t>(zarno->Params().Count()) + 3);
  EXPECT_FALSE(zarno->SetValue(idWindowDelay, TValue(300)));
  EXPECT_TRUE(zarno->SetValue(idBusSpeed, TValue(500)));
}

TEST_F(ZarnoAccessTest, MonitorDiagnosticsAreDropped) {
  LogInThreeLevel(1);
  const size_t before = link->sent.size();
  zarno->SetDiagnosticMode(true);
  Pump();
  EXPECT_TRUE(SentIds(before).empty());
  EXPECT_TRUE(zarno->DiagnosticMode()) << "stored locally all the same";
}

TEST_F(ZarnoAccessTest, PasswordChangeNeedsTheOldWordAndLaterWritesTheNew) {
  LogInThreeLevel(3);
  // Reads of the poll still wait in the queue when the change is asked for.
  zarno->ReadStatus();
  zarno->ChangePassword(4321, alAdministrator);
  zarno->SetValue(idWindowDelay, TValue(250));
  Pump();
  EXPECT_EQ(written[idPassword], (std::vector<uint8_t>{0xD2, 0x04, 0xE1, 0x10}));
  EXPECT_EQ(written[idWindowDelay], (std::vector<uint8_t>{0xE1, 0x10, 0xFA, 0x00}));
  EXPECT_EQ(zarno->Queue().PasswordWord, 4321);
}

TEST_F(ZarnoAccessTest, OperatorPasswordChangedByAdministratorKeepsTheWord) {
  LogInThreeLevel(3);
  zarno->ChangePassword(555, alOperator);
  Pump();
  EXPECT_EQ(written[idWriteOperPassword], (std::vector<uint8_t>{0xD2, 0x04, 0x2B, 0x02}));
  EXPECT_EQ(zarno->Queue().PasswordWord, 1234);
}

TEST_F(ZarnoAccessTest, ChangeForAnUndefinedLevelSendsNothing) {
  LogInThreeLevel(1);
  const size_t before = link->sent.size();
  try {
    zarno->ChangePassword(5, alMonitor);
    ADD_FAILURE();
  } catch (const TKalvistError& e) {
    EXPECT_EQ(e.Text, "Writing password  to undefined comm. object.");
  }
  EXPECT_EQ(link->sent.size(), before);
}

TEST_F(ZarnoAccessTest, ResetAndDisconnectForgetThePassword) {
  for (bool disconnect : {false, true}) {
    Recreate();
    LogInThreeLevel(3);
    changed.clear();
    disconnect ? zarno->Disconnect() : zarno->ResetPassword();
    EXPECT_FALSE(zarno->PasswordOK());
    EXPECT_EQ(zarno->AccessLevelNumber(), 0);
    EXPECT_EQ(zarno->Queue().PasswordWord, kNoPassword);
    EXPECT_EQ(zarno->IsConnected(), !disconnect);
    if (!disconnect) {
      EXPECT_EQ(changed, std::vector<uint16_t>{idPassword});
    }
  }
}

TEST_F(ZarnoAccessTest, DisconnectUnderThreeLevelsForgetsValuesRead) {
  LogInThreeLevel(3);
  objects[idCANAddress] = {42};
  zarno->ReadValue(idCANAddress);
  Pump();
  ASSERT_EQ(zarno->GetValue(idCANAddress)->AsInt64(), 42);
  zarno->Disconnect();
  EXPECT_EQ(zarno->GetValue(idCANAddress)->AsInt64(), 1);
}

TEST_F(ZarnoAccessTest, EncryptedPasswordShowsAnInformationBox) {
  ConnectTo(0x13, 24);
  objects[idEncryptedPassword] = {0x78, 0x56, 0x34, 0x92};
  changed.clear();
  zarno->RequestEncryptedPassword();
  Pump();
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"Information: Encrypted password value is: 2452903544"});
  EXPECT_TRUE(changed.empty());
  EXPECT_EQ(zarno->EncryptedPassword(), 0x92345678u);
}

}  // namespace
}  // namespace kalvist
