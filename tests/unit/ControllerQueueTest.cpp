#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "EventLoop.h"
#include "KalvistError.h"
#include "ScriptedConnection.h"
#include "vltControllerQueue.h"
#include "vltZarnoParams.h"
#include "vltZarnoComm.h"

namespace kalvist {
namespace {

using test::TScriptedConnection;
using R = TLinkResult;

std::string Hex(const TCustomCommObject& obj) {
  std::ostringstream text;
  text << std::hex << obj.AsWord();
  return text.str();
}

class QueueTest : public ::testing::Test {
 protected:
  QueueTest() : loop(TEventLoop::TClock::Fake) {
    auto scripted = std::make_unique<TScriptedConnection>(loop);
    link = scripted.get();
    oper = std::make_unique<TvltZarnoComm>(loop, std::move(scripted));
    queue.SetSiteComm(oper.get());
    queue.OnCommObjRead = [this](TCustomCommObjectQueue&, TCustomCommObject& obj, int r) {
      log += "R" + std::to_string(obj.ObjectID) + ":" + std::to_string(r) + " ";
      if (onRead) onRead(obj);
    };
    queue.OnCommObjWritten = [this](TCustomCommObjectQueue&, TCustomCommObject& obj, int r) {
      log += "W" + std::to_string(obj.ObjectID) + ":" + std::to_string(r) + " ";
    };
    queue.OnQueueEmpty = [this](TCustomCommObjectQueue&) { log += "empty "; };
  }

  uint16_t LastSentId() const { return link->sent.back().ObjectID; }

  TEventLoop loop;
  TScriptedConnection* link;
  std::unique_ptr<TvltZarnoComm> oper;
  TvltControllerQueue queue;
  TCommObject a{1, false, 2};
  TCommObject b{2, false, 2};
  TCommObject c{3, false, 2};
  std::string log;
  std::function<void(TCustomCommObject&)> onRead;
};

TEST_F(QueueTest, RunsEntriesOneAfterAnotherAndReportsEachThenEmpty) {
  int countInHandler = -1;
  onRead = [&](TCustomCommObject&) { countInHandler = queue.Count(); };
  queue.EnqueueRead(a);
  queue.EnqueueWrite(b);
  ASSERT_EQ(link->sent.size(), 1u);
  EXPECT_EQ(link->sent[0].Op, TLinkOp::ReadFirst);

  link->Answer(R::Ok, {0x34, 0x12});
  EXPECT_EQ(a.AsWord(), 0x1234);
  EXPECT_EQ(countInHandler, 2) << "the head is removed only after its handler";
  ASSERT_EQ(link->sent.size(), 2u);
  EXPECT_EQ(link->sent[1].Op, TLinkOp::Write);
  EXPECT_EQ(LastSentId(), 2);

  link->Answer(R::Ok);
  EXPECT_EQ(log, "R1:0 W2:0 empty ");
  EXPECT_EQ(queue.Count(), 0);
}

// The user's edit of `a` to 0x0505 meets a read of `a` that brings the controller's
// value 0x0001: the write sends the edit, and a read from before the write leaves the
// edit on screen.
TEST_F(QueueTest, WriteKeepsTheEditAgainstAReadOfTheOldValue) {
  struct Row {
    const char* name;
    std::function<void()> queueAll;  // edits `a` and queues the transfers
    std::vector<uint16_t> replyIds;  // in the order the transfers go out
    uint16_t valueAfter;
    std::string events;
  };
  const auto edit = [&] { a.SetAsWord(0x0505); };
  const Row rows[] = {{"read under way when edited",
                       [&] {
                         queue.EnqueueRead(a);
                         edit();
                         queue.EnqueueWrite(a);
                       },
                       {1, 1},
                       0x0505,
                       "R1=505 W1=505 empty "},
                      {"read still waiting when edited",
                       [&] {
                         queue.EnqueueRead(b);
                         queue.EnqueueRead(a);
                         edit();
                         queue.EnqueueWrite(a);
                       },
                       {2, 1, 1},
                       0x0505,
                       "R2=1 R1=505 W1=505 empty "},
                      {"read queued after the write stores the controller's value",
                       [&] {
                         edit();
                         queue.EnqueueWrite(a);
                         queue.EnqueueRead(a);
                       },
                       {1, 1},
                       0x0001,
                       "W1=505 R1=1 empty "}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    a.SetAsWord(0x0101);
    std::string events;
    const auto note = [&](char kind, const TCustomCommObject& obj) {
      events += kind + std::to_string(obj.ObjectID) + "=" + Hex(obj) + " ";
    };
    queue.OnCommObjRead = [&](TCustomCommObjectQueue&, TCustomCommObject& obj, int) {
      note('R', obj);
    };
    queue.OnCommObjWritten = [&](TCustomCommObjectQueue&, TCustomCommObject& obj, int) {
      note('W', obj);
    };
    queue.OnQueueEmpty = [&](TCustomCommObjectQueue&) { events += "empty "; };
    const size_t first = link->sent.size();
    row.queueAll();
    for (size_t i = 0; i < row.replyIds.size(); ++i) {
      ASSERT_EQ(link->sent.size(), first + i + 1);
      const TLinkRequest& sent = link->sent.back();
      ASSERT_EQ(sent.ObjectID, row.replyIds[i]);
      if (sent.Op == TLinkOp::Write) {
        EXPECT_EQ(std::vector<uint8_t>(sent.Data.begin(), sent.Data.begin() + 2),
                  (std::vector<uint8_t>{0x05, 0x05}));
        link->Answer(R::Ok);
      } else {
        link->Answer(R::Ok, {0x01, 0x00});
      }
    }
    EXPECT_EQ(a.AsWord(), row.valueAfter);
    EXPECT_EQ(events, row.events);
  }
}

TEST_F(QueueTest, FailedTransfersForwardTheOperatorsResultUnchanged) {
  queue.EnqueueRead(a);
  for (int i = 0; i < 4; ++i) link->Answer(R::Timeout);
  queue.EnqueueWrite(b);
  link->Answer(R::DeviceError, {0xFF, 0, 0, 8});
  EXPECT_EQ(log, "R1:1 empty W2:100 empty ");
}

TEST_F(QueueTest, HandlerQueuesBehindRemainingEntries) {
  onRead = [&](TCustomCommObject& obj) {
    if (obj.ObjectID == 1) queue.EnqueueRead(c);
  };
  queue.EnqueueRead(a);
  queue.EnqueueRead(b);
  link->Answer(R::Ok, {0, 0});
  link->Answer(R::Ok, {0, 0});
  link->Answer(R::Ok, {0, 0});
  EXPECT_EQ(log, "R1:0 R2:0 R3:0 empty ");
}

TEST_F(QueueTest, ClearInHandlerRemovesNothingTwiceAndEmptyFollowsOnIdle) {
  onRead = [&](TCustomCommObject&) { queue.Clear(); };
  queue.EnqueueRead(a);
  queue.EnqueueRead(b);
  link->Answer(R::Ok, {1, 2});
  EXPECT_EQ(log, "R1:0 empty ");
  EXPECT_EQ(link->sent.size(), 1u);
}

TEST_F(QueueTest, EntryQueuedAfterClearInHandlerStartsAndSurvives) {
  onRead = [&](TCustomCommObject& obj) {
    if (obj.ObjectID != 1) return;
    queue.Clear();
    queue.EnqueueRead(c);
  };
  queue.EnqueueRead(a);
  queue.EnqueueRead(b);
  link->Answer(R::Ok, {1, 2});
  ASSERT_EQ(queue.Count(), 1);
  EXPECT_EQ(LastSentId(), 3);
  link->Answer(R::Ok, {5, 6});
  EXPECT_EQ(log, "R1:0 R3:0 empty ");
  EXPECT_EQ(c.AsWord(), 0x0605);
}

TEST_F(QueueTest, ResultOfTransferClearedWhileUnderWayIsNotTakenForTheNextEntry) {
  queue.EnqueueRead(a);
  queue.Clear();
  queue.EnqueueWrite(b);  // the operator is busy: waits for its idle event
  link->Answer(R::Ok, {9, 9});
  ASSERT_EQ(link->sent.size(), 2u);
  EXPECT_EQ(link->sent[1].ObjectID, 2);
  link->Answer(R::Ok);
  EXPECT_EQ(log, "W2:0 empty ");
}

// Stopping a run of writes: the one under way still ends and reports, no other starts.
TEST_F(QueueTest, ClearPendingLetsTheTransferUnderWayEnd) {
  queue.EnqueueWrite(a);
  queue.EnqueueWrite(b);
  queue.EnqueueWrite(c);
  queue.ClearPending();
  EXPECT_EQ(queue.Count(), 1);
  link->Answer(R::Ok);
  EXPECT_EQ(log, "W1:0 empty ");
  EXPECT_EQ(link->sent.size(), 1u);
  // With nothing under way it is a plain Clear.
  queue.ClearPending();
  EXPECT_EQ(queue.Count(), 0);
}

// A firmware change takes entries out of the catalogue while transfers of them are
// queued: each entry lives on until its transfer has ended (the sanitizer build sees any
// use of freed memory).
TEST_F(QueueTest, QueuedTransfersOutliveTheirEntriesLeavingTheCatalogue) {
  TZarnoParamList params;
  params.EnsureSetpointsIdName(true);
  params.EnsureEngineSerialNumber(true);
  TZarnoParam& read = params.Items(params.IndexOfId(idSetpointsIdName));
  TZarnoParam& written = params.Items(params.IndexOfId(idEngineSerialNumber));
  written.Bytes(0) = 0x5A;
  const auto readSize = static_cast<size_t>(read.Size());
  queue.EnqueueRead(read);
  queue.EnqueueWrite(written);
  params.EnsureSetpointsIdName(false);
  params.EnsureEngineSerialNumber(false);
  ASSERT_EQ(params.IndexOfId(idSetpointsIdName), -1);
  ASSERT_EQ(params.IndexOfId(idEngineSerialNumber), -1);

  uint8_t stored = 0;
  onRead = [&](TCustomCommObject& obj) { stored = obj.Bytes(0); };
  std::vector<uint8_t> answer(readSize, 0);
  answer[0] = 0x11;
  link->Answer(R::Ok, answer);
  EXPECT_EQ(stored, 0x11);
  ASSERT_EQ(LastSentId(), idEngineSerialNumber);
  EXPECT_EQ(link->sent.back().Data[2], 0x5A);  // behind the password word
  link->Answer(R::Ok);
  EXPECT_EQ(log, "R" + std::to_string(idSetpointsIdName) + ":0 W" +
                     std::to_string(idEngineSerialNumber) + ":0 empty ");
}

TEST_F(QueueTest, ZeroByteReadSetsNoSizeOnTheObjectAndFiresNoEvent) {
  queue.EnqueueRead(a);
  link->Answer(R::Ok, {});
  EXPECT_EQ(log, "empty ");
  EXPECT_EQ(a.Size(), 2);
}

TEST_F(QueueTest, ShortAnswerResizesObjectAndLaterReadNeverExceedsIt) {
  TCommObject big(7, false, 20);
  queue.EnqueueRead(big);
  queue.EnqueueRead(big);  // queued with 20 bytes of room
  link->Answer(R::Ok, std::vector<uint8_t>(10, 1));
  EXPECT_EQ(big.Size(), 10);
  link->Answer(R::Ok, std::vector<uint8_t>(20, 2));
  EXPECT_EQ(log, "R7:0 R7:15 empty ");
  EXPECT_EQ(big.Size(), 10);
}

TEST_F(QueueTest, EntryQueuedWhileOperatorIsBusyStartsOnItsNextIdle) {
  link->SetBusy(true);
  queue.EnqueueRead(a);
  EXPECT_TRUE(link->sent.empty());
  link->SetBusy(false);
  oper->OnIdle(*oper);
  ASSERT_EQ(link->sent.size(), 1u);
  EXPECT_EQ(LastSentId(), 1);
}

TEST_F(QueueTest, ProtectedWritesCarryThePasswordWordInFront) {
  TCommObject guarded(10293, true, 2);
  guarded.SetAsWord(0xBEEF);
  queue.PasswordWord = 0x1234;
  queue.EnqueueWrite(guarded);
  ASSERT_EQ(link->sent.size(), 1u);
  const TLinkRequest& sent = link->sent[0];
  EXPECT_EQ(sent.DataLength, 4);
  EXPECT_EQ(std::vector<uint8_t>(sent.Data.begin(), sent.Data.begin() + 4),
            (std::vector<uint8_t>{0x34, 0x12, 0xEF, 0xBE}));
  link->Answer(R::Ok);
  b.SetAsWord(0x0102);
  queue.EnqueueWrite(b);
  EXPECT_EQ(link->sent[1].DataLength, 2);
}

TEST_F(QueueTest, ContractViolationsNameUnitAndLine) {
  struct Case {
    std::function<void(TvltControllerQueue&)> call;
    std::string text;
    int line;
  };
  const std::string missing = "Queue property \"Controller/ScopeComm\" must be assigned.";
  TCommObject obj(1, false, 1);
  for (const Case& row :
       {Case{[&](TvltControllerQueue& q) { q.EnqueueRead(obj); }, missing, 274},
        Case{[&](TvltControllerQueue& q) { q.EnqueueWrite(obj); }, missing, 295}}) {
    SCOPED_TRACE("line " + std::to_string(row.line));
    TvltControllerQueue bare;
    try {
      row.call(bare);
      ADD_FAILURE() << "no assertion for line " << row.line;
    } catch (const TKalvistError& e) {
      EXPECT_EQ(e.Text, row.text);
      EXPECT_EQ(e.Unit, "vltControllerQueue");
      EXPECT_EQ(e.Line, row.line);
    }
  }
  queue.EnqueueRead(a);
  queue.EnqueueRead(b);
  try {
    oper->OnIdle(*oper);  // the head's transfer is still under way
    ADD_FAILURE() << "no assertion for a busy operator";
  } catch (const TKalvistError& e) {
    EXPECT_EQ(e.Text, "Assertion failure");
    EXPECT_EQ(e.Line, 253);
  }
}

}  // namespace
}  // namespace kalvist
