// The simulated controller as a client on the slave side of its pseudo-terminal sees it:
// request frames in, reply frames out, byte for byte.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "KalvistError.h"
#include "RawPtyClient.h"
#include "SimCommands.h"
#include "ZarnoSimulator.h"
#include "vltLinkFrame.h"
#include "vltZarnoParams.h"

namespace kalvist::sim {
namespace {

using test::TRawPtyClient;
using TBytes = std::vector<uint8_t>;

constexpr uint16_t kLongId = 50000;  // test objects added beside the controller's own
constexpr uint16_t kAdmin = 1111;
constexpr uint16_t kOperator = 2222;
constexpr uint16_t kMonitor = 3333;

TBytes Frame(TLinkOp op, uint16_t id, const TBytes& data = {}, uint32_t segment = 0,
             bool last = false) {
  TLinkRequest request;
  request.Op = op;
  request.ObjectID = id;
  request.DataLength = static_cast<uint16_t>(data.size());
  std::copy(data.begin(), data.end(), request.Data.begin());
  request.Segment = segment;
  request.LastSegment = last;
  std::array<uint8_t, kMaxRequestSize> out{};
  const size_t n = BuildRequest(request, out);
  return TBytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
}

TBytes Word(uint16_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
}

TBytes Prefixed(uint16_t word, const TBytes& value) {
  TBytes bytes = Word(word);
  bytes.insert(bytes.end(), value.begin(), value.end());
  return bytes;
}

TBytes Pattern(size_t size) {
  TBytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
  return bytes;
}

struct TReply {
  uint8_t Code = 0;
  uint16_t ObjectID = 0;
  TBytes Data;
};

// A well-formed reply frame, or a failed expectation.
TReply Decode(const TBytes& frame) {
  TReply reply;
  EXPECT_GE(frame.size(), 7u);
  if (frame.size() < 7) return reply;
  EXPECT_EQ(frame.size(), frame[0] + 7u);
  EXPECT_EQ(Crc16(frame), 0) << "reply check";
  reply.Code = frame[1] & 0x07;
  reply.ObjectID = static_cast<uint16_t>(frame[3] | (frame[4] << 8));
  reply.Data.assign(frame.begin() + 5, frame.end() - 2);
  return reply;
}

TFault MakeFault(TFaultKind kind, std::optional<uint16_t> id = {}) {
  TFault fault;
  fault.Kind = kind;
  fault.ObjectID = id;
  return fault;
}

bool WaitFor(const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

MATCHER_P(IsRefusal, bytes, "") {
  return arg.Code == static_cast<uint8_t>(TReplyCode::ErrorReply) &&
         arg.Data == TBytes(bytes.begin(), bytes.end());
}
MATCHER(IsAck, "") {
  return arg.Code == static_cast<uint8_t>(TReplyCode::WriteAck);
}
MATCHER_P(IsData, bytes, "") {
  return arg.Code == static_cast<uint8_t>(TReplyCode::ReadData) && arg.Data == bytes;
}

class SimulatorTest : public ::testing::Test {
 protected:
  void Boot(TSimOptions options = {}) {
    sim_ = std::make_unique<TZarnoSimulator>(options);
    Connect(sim_->Start());
  }
  void Connect(const std::string& path) {
    client_ = std::make_unique<TRawPtyClient>(path);
    ASSERT_TRUE(WaitFor([&] { return sim_->ClientPresent(); }));
  }
  void Disconnect() {
    client_.reset();
    ASSERT_TRUE(WaitFor([&] { return !sim_->ClientPresent(); }));
  }

  TBytes Exchange(const TBytes& frame, int timeoutMs = 2000) {
    client_->Write(frame);
    return client_->ReadReply(timeoutMs);
  }
  TReply Ask(TLinkOp op, uint16_t id, const TBytes& data = {}) {
    return Decode(Exchange(Frame(op, id, data)));
  }
  TReply Read(uint16_t id) { return Ask(TLinkOp::ReadFirst, id); }
  TReply Write(uint16_t id, const TBytes& data) { return Ask(TLinkOp::Write, id, data); }
  void GiveAccess(uint16_t number = 0) {
    EXPECT_THAT(Write(kAccessNumberId, Word(number)), IsAck());
  }

  // Segments of 126 bytes, numbered from 0, the last one marked.
  std::vector<TReply> WriteSegmented(uint16_t id, const TBytes& bytes) {
    std::vector<TReply> replies;
    for (size_t offset = 0, n = 0; offset < bytes.size(); offset += kSegmentData, ++n) {
      const size_t count = std::min<size_t>(kSegmentData, bytes.size() - offset);
      const TBytes chunk(bytes.begin() + offset, bytes.begin() + offset + count);
      const bool last = offset + count == bytes.size();
      replies.push_back(Decode(Exchange(Frame(TLinkOp::WriteSegment, id, chunk, n, last))));
    }
    return replies;
  }

  std::unique_ptr<TZarnoSimulator> sim_;
  std::unique_ptr<TRawPtyClient> client_;
};

TEST_F(SimulatorTest, IdentifiesKindFirmwareAndPasswordScheme) {
  struct TCase {
    int Kind;
    std::optional<int> Firmware;
    std::optional<uint32_t> HardwareType;
    TBytes TypeBytes;
    uint8_t FirmwareByte;
    bool ThreeLevel;
  };
  const TCase cases[] = {
      {20, {}, {}, {0, 0, 0x13, 0}, 25, true}, {20, 24, {}, {0, 0, 0x13, 0}, 24, false},
      {2, {}, {}, {0, 0, 0x21, 0}, 13, true},  {2, 12, {}, {0, 0, 0x21, 0}, 12, false},
      {3, {}, {}, {0, 0, 0x6C, 0}, 0, true},   {20, {}, 0x04030201, {1, 2, 3, 4}, 25, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "kind " << c.Kind << " firmware " << c.Firmware.value_or(-1));
    TSimOptions options;
    options.Kind = c.Kind;
    options.Firmware = c.Firmware;
    options.HardwareType = c.HardwareType;
    Boot(options);
    GiveAccess();
    EXPECT_THAT(Read(idHardwareType), IsData(c.TypeBytes));
    EXPECT_THAT(Read(idSwVersion), IsData(TBytes{c.FirmwareByte, 0}));
    const TReply level = Read(idThreeLvLPassword);
    if (c.ThreeLevel)
      EXPECT_THAT(level, IsData(TBytes{0, 0}));
    else
      EXPECT_THAT(level, IsRefusal(kErrUnknownObject));
  }
}

TEST_F(SimulatorTest, HoldsEveryCatalogueGroupWithItsDefaults) {
  Boot();
  GiveAccess();
  EXPECT_THAT(Read(idWindowDelay), IsData(TBytes{0xE8, 0x03}));          // 1000
  EXPECT_THAT(Read(idMisfGain20), IsData(TBytes{100, 0}));               // mode-2 group
  EXPECT_THAT(Read(idMeasurementSensors), IsData(TBytes(20, 0)));        // newest group
  EXPECT_THAT(Read(idCylinderConfiguration), IsData(TBytes(40, 0xFF)));  // all positions empty
  EXPECT_EQ(Read(idKnockIntensity).Data.size(), 20u);
}

TEST_F(SimulatorTest, ReadsWholeOrInNumberedSegmentsBySize) {
  struct TCase {
    int SegmentSize;
    size_t ObjectSize;
    std::vector<size_t> Segments;  // empty: one ReadData
  };
  const TCase cases[] = {
      {0, 127, {}}, {0, 128, {126, 2}},    {0, 300, {126, 126, 48}},
      {10, 10, {}}, {10, 25, {10, 10, 5}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "segment " << c.SegmentSize << " size " << c.ObjectSize);
    TSimOptions options;
    options.SegmentSize = c.SegmentSize;
    Boot(options);
    sim_->AddObject(kLongId, static_cast<int>(c.ObjectSize));
    const TBytes value = Pattern(c.ObjectSize);
    sim_->SetObject(kLongId, value);
    GiveAccess();
    if (c.Segments.empty()) {
      EXPECT_THAT(Read(kLongId), IsData(value));
      continue;
    }
    TBytes collected;
    for (size_t n = 0; n < c.Segments.size(); ++n) {
      const TReply reply = Ask(n == 0 ? TLinkOp::ReadFirst : TLinkOp::ReadNext, kLongId);
      ASSERT_EQ(reply.Code, static_cast<uint8_t>(TReplyCode::ReadSegment));
      ASSERT_EQ(reply.Data.size(), c.Segments[n] + 1);
      const bool last = n + 1 == c.Segments.size();
      EXPECT_EQ(reply.Data[0], n | (last ? 0x80 : 0));
      collected.insert(collected.end(), reply.Data.begin() + 1, reply.Data.end());
    }
    EXPECT_EQ(collected, value);
    EXPECT_THAT(Ask(TLinkOp::ReadNext, kLongId), IsRefusal(kErrSegmentSequence));
  }
}

TEST_F(SimulatorTest, SegmentedWriteTakesSegmentsInOrderAndRepeatsOnce) {
  Boot();
  sim_->AddObject(kLongId, 300);
  GiveAccess();
  const TBytes value = Pattern(300);
  const auto segment = [&](uint32_t n, bool last) {
    const size_t from = n * kSegmentData;
    const TBytes chunk(value.begin() + from,
                       value.begin() + std::min<size_t>(from + kSegmentData, 300));
    return Decode(Exchange(Frame(TLinkOp::WriteSegment, kLongId, chunk, n, last)));
  };
  EXPECT_THAT(segment(0, false), IsAck());
  EXPECT_THAT(segment(1, false), IsAck());
  EXPECT_THAT(segment(1, false), IsAck()) << "a repeat after a lost reply";
  EXPECT_THAT(segment(2, true), IsAck());
  EXPECT_EQ(sim_->GetObject(kLongId), value);
  EXPECT_EQ(sim_->Counters().Writes[kLongId], 1u);

  EXPECT_THAT(segment(0, false), IsAck());
  EXPECT_THAT(segment(2, true), IsRefusal(kErrSegmentSequence));
  EXPECT_THAT(segment(1, false), IsRefusal(kErrSegmentSequence)) << "the skip ended the write";
}

TEST_F(SimulatorTest, PrefixedSegmentedWriteStoresTheValueWithoutItsPasswordWord) {
  Boot();
  sim_->AddObject(kLongId, 300, true);
  GiveAccess();
  const TBytes value = Pattern(300);
  for (const TReply& reply : WriteSegmented(kLongId, Prefixed(kAdmin, value)))
    EXPECT_THAT(reply, IsAck());
  EXPECT_EQ(sim_->GetObject(kLongId), value);

  const std::vector<TReply> refused = WriteSegmented(kLongId, Prefixed(kMonitor, TBytes(300, 0)));
  EXPECT_THAT(refused.back(), IsRefusal(kErrWrongPrefix));
  EXPECT_EQ(sim_->GetObject(kLongId), value);
}

TEST_F(SimulatorTest, AccessNumberIsDueAfterOpeningAndAfterAPause) {
  TSimOptions options;
  options.AccessNumber = 4711;
  options.AccessPauseMs = 300;
  Boot(options);
  EXPECT_THAT(Read(idSwVersion), IsRefusal(kErrAccessMissing));
  EXPECT_THAT(Write(kAccessNumberId, Word(4712)), IsRefusal(kErrWrongAccess));
  EXPECT_THAT(Write(kAccessNumberId, TBytes{0x67}), IsRefusal(kErrWrongAccess));
  GiveAccess(4711);
  EXPECT_THAT(Read(idSwVersion), IsData(TBytes{25, 0}));

  Disconnect();
  Connect(sim_->SlavePath());
  EXPECT_THAT(Read(idSwVersion), IsRefusal(kErrAccessMissing)) << "after reopening";
  GiveAccess(4711);

  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_THAT(Read(idSwVersion), IsRefusal(kErrAccessMissing)) << "after a pause";
}

struct TWriteStep {
  uint16_t Id;
  TBytes Data;
  std::optional<TErrorBytes> Refusal;
};

TEST_F(SimulatorTest, SingleSchemeAcceptsOnlyTheAdministratorPassword) {
  TSimOptions options;
  options.Firmware = 24;
  Boot(options);
  GiveAccess();
  const TWriteStep steps[] = {
      {idWindowDelay, Prefixed(kAdmin, Word(1234)), {}},
      {idWindowDelay, Prefixed(0xFFFF, Word(999)), kErrWrongPrefix},
      {idWindowDelay, Prefixed(kOperator, Word(999)), kErrWrongPrefix},
      {idWindowDelay, TBytes{0x57}, kErrWrongPrefix},
      {idCANAddress, TBytes{5}, {}},
      {idPassword, Prefixed(kAdmin, Word(kAdmin)), {}},
      {idPassword, Prefixed(4321, Word(4321)), kErrWrongPassword},
      {idWriteOperPassword, Prefixed(kAdmin, Word(1)), kErrUnknownObject},
  };
  for (const TWriteStep& step : steps) {
    SCOPED_TRACE(testing::Message() << "object " << step.Id);
    const TReply reply = Write(step.Id, step.Data);
    if (step.Refusal)
      EXPECT_THAT(reply, IsRefusal(*step.Refusal));
    else
      EXPECT_THAT(reply, IsAck());
  }
  EXPECT_THAT(Read(idWindowDelay), IsData(Word(1234)));
  EXPECT_THAT(Read(idCANAddress), IsData(TBytes{5}));
}

TEST_F(SimulatorTest, ThreeLevelSchemeReportsLevelsAndChangesPasswords) {
  Boot();
  GiveAccess();
  const std::pair<uint16_t, uint8_t> logins[] = {
      {kAdmin, 3}, {kOperator, 2}, {kMonitor, 1}, {9999, 0}};
  for (const auto& [password, level] : logins) {
    const TReply reply = Write(idThreeLvLPassword, Prefixed(password, Word(password)));
    if (level == 0)
      EXPECT_THAT(reply, IsRefusal(kErrWrongPassword));
    else
      EXPECT_THAT(reply, IsAck());
    EXPECT_THAT(Read(idThreeLvLPassword), IsData(TBytes{level, 0})) << password;
  }
  const TWriteStep steps[] = {
      {idWindowDelay, Prefixed(kOperator, Word(1)), {}},
      {idWindowDelay, Prefixed(kMonitor, Word(2)), kErrWrongPrefix},
      {idWriteOperPassword, Prefixed(kMonitor, Word(2345)), kErrWrongPassword},
      {idWriteOperPassword, Prefixed(kOperator, Word(2345)), {}},
      {idWindowDelay, Prefixed(kOperator, Word(3)), kErrWrongPrefix},
      {idWindowDelay, Prefixed(2345, Word(4)), {}},
      {idPassword, Prefixed(2345, Word(7777)), kErrWrongPassword},
      {idPassword, Prefixed(kAdmin, Word(7777)), {}},
      {idWindowDelay, Prefixed(kAdmin, Word(5)), kErrWrongPrefix},
  };
  for (const TWriteStep& step : steps) {
    SCOPED_TRACE(testing::Message()
                 << "object " << step.Id << " word " << (step.Data[0] | step.Data[1] << 8));
    const TReply reply = Write(step.Id, step.Data);
    if (step.Refusal)
      EXPECT_THAT(reply, IsRefusal(*step.Refusal));
    else
      EXPECT_THAT(reply, IsAck());
  }
  EXPECT_THAT(Read(idWindowDelay), IsData(Word(4)));
  const uint32_t encrypted = EncryptPassword(7777);
  EXPECT_THAT(
      Read(idEncryptedPassword),
      IsData(TBytes{static_cast<uint8_t>(encrypted), static_cast<uint8_t>(encrypted >> 8),
                    static_cast<uint8_t>(encrypted >> 16), static_cast<uint8_t>(encrypted >> 24)}));
  EXPECT_THAT(Read(idPassword), IsData(TBytes{0, 0})) << "passwords are never shown";
}

TEST_F(SimulatorTest, RefusesWhatNoObjectOrRequestFitsAndIgnoresOtherAddresses) {
  Boot();
  GiveAccess();
  EXPECT_THAT(Read(kLongId), IsRefusal(kErrUnknownObject));
  EXPECT_THAT(Write(kLongId, TBytes{1}), IsRefusal(kErrUnknownObject));
  EXPECT_THAT(Ask(TLinkOp::ReadNext, idSwVersion), IsRefusal(kErrSegmentSequence));

  TBytes badCode = Frame(TLinkOp::ReadFirst, idSwVersion);
  badCode[3] = 5;
  const uint16_t crc = Crc16(std::span<const uint8_t>(badCode.data() + 2, badCode.size() - 4));
  badCode[badCode.size() - 2] = static_cast<uint8_t>(crc);
  badCode[badCode.size() - 1] = static_cast<uint8_t>(crc >> 8);
  EXPECT_THAT(Decode(Exchange(badCode)), IsRefusal(kErrUnknownRequest));

  TLinkRequest other;
  other.ObjectID = idSwVersion;
  other.Address = 1;
  std::array<uint8_t, kMaxRequestSize> out{};
  const size_t n = BuildRequest(other, out);
  EXPECT_TRUE(
      Exchange(TBytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n)), 300).empty());
  EXPECT_THAT(Read(idSwVersion), IsData(TBytes{25, 0}));
}

TEST_F(SimulatorTest, EachFaultShowsOnTheWireAndTheNextRequestIsAnsweredCleanly) {
  struct TCase {
    TFault Fault;
    uint16_t Id;
    std::function<void(TRawPtyClient&)> Check;
  };
  const auto exactly = [](size_t count) {
    return [count](TRawPtyClient& c) { return c.Read(count + 1, 300); };
  };
  TFault error = MakeFault(TFaultKind::ErrorReply);
  error.ErrorBytes = {0x97, 1, 2, 8};
  TFault delay = MakeFault(TFaultKind::Delay);
  delay.DelayMs = 400;
  const TCase cases[] = {
      {MakeFault(TFaultKind::CorruptCrc), idSwVersion,
       [&](TRawPtyClient& c) {
         const TBytes reply = exactly(9)(c);
         ASSERT_EQ(reply.size(), 9u);
         EXPECT_NE(Crc16(reply), 0);
       }},
      {MakeFault(TFaultKind::NoReply), idSwVersion,
       [&](TRawPtyClient& c) { EXPECT_TRUE(exactly(0)(c).empty()); }},
      {MakeFault(TFaultKind::PartialReply), idSwVersion,
       [&](TRawPtyClient& c) { EXPECT_EQ(exactly(4)(c).size(), 4u); }},
      {MakeFault(TFaultKind::StrayFF), idSwVersion,
       [&](TRawPtyClient& c) {
         const TBytes bytes = exactly(10)(c);
         ASSERT_EQ(bytes.size(), 10u);
         EXPECT_EQ(bytes[0], 0xFF);
         EXPECT_THAT(Decode(TBytes(bytes.begin() + 1, bytes.end())), IsData(TBytes{25, 0}));
       }},
      {MakeFault(TFaultKind::WrongObjectId), idSwVersion,
       [&](TRawPtyClient& c) { EXPECT_EQ(Decode(c.ReadReply()).ObjectID, idSwVersion + 1); }},
      {error, idSwVersion,
       [&](TRawPtyClient& c) {
         EXPECT_THAT(Decode(c.ReadReply()), IsRefusal(TErrorBytes{0x97, 1, 2, 8}));
       }},
      {MakeFault(TFaultKind::WrongSegment), kLongId,
       [&](TRawPtyClient& c) {
         const TBytes reply = c.ReadReply();
         TLinkRequest request;
         request.ObjectID = kLongId;
         EXPECT_EQ(Decode(reply).Data.at(0), 1);
         EXPECT_EQ(EvaluateReply(TReception::Complete, reply, request, {}).Reply.Code,
                   TLinkResult::SegmentMismatch);
       }},
      {delay, idSwVersion,
       [&](TRawPtyClient& c) {
         EXPECT_TRUE(c.Read(1, 150).empty()) << "not yet";
         EXPECT_THAT(Decode(c.ReadReply()), IsData(TBytes{25, 0}));
       }},
  };
  Boot();
  sim_->AddObject(kLongId, 300);
  GiveAccess();
  for (const TCase& c : cases) {
    SCOPED_TRACE(FaultKindName(c.Fault.Kind));
    sim_->InjectFault(c.Fault);
    client_->Write(Frame(TLinkOp::ReadFirst, c.Id));
    c.Check(*client_);
    EXPECT_EQ(Decode(Exchange(Frame(TLinkOp::ReadFirst, c.Id))).ObjectID, c.Id);
  }
  EXPECT_EQ(sim_->Counters().FaultsInjected, std::size(cases));
}

TEST_F(SimulatorTest, FaultsKeepToTheirObjectAndProbability) {
  TSimOptions options;
  options.LiveTickMs = 0;
  Boot(options);
  GiveAccess();
  sim_->InjectFault(MakeFault(TFaultKind::NoReply, idWindowDelay), 2);
  EXPECT_THAT(Read(idSwVersion), IsData(TBytes{25, 0}));
  EXPECT_TRUE(Exchange(Frame(TLinkOp::ReadFirst, idWindowDelay), 300).empty());
  EXPECT_TRUE(Exchange(Frame(TLinkOp::ReadFirst, idWindowDelay), 300).empty());
  EXPECT_THAT(Read(idWindowDelay), IsData(Word(1000)));

  const TFault crc = MakeFault(TFaultKind::CorruptCrc);
  sim_->SetFaultProbability(crc, 1.0);
  EXPECT_NE(Crc16(Exchange(Frame(TLinkOp::ReadFirst, idSwVersion))), 0);
  EXPECT_NE(Crc16(Exchange(Frame(TLinkOp::ReadFirst, idSwVersion))), 0);
  sim_->SetFaultProbability(crc, 0);
  EXPECT_THAT(Read(idSwVersion), IsData(TBytes{25, 0}));
  EXPECT_EQ(sim_->Counters().Reads[idWindowDelay], 3u);
}

TEST_F(SimulatorTest, CountsFloodsAndFindsRequestsAmongBrokenBytes) {
  Boot();
  const TBytes access = Frame(TLinkOp::Write, kAccessNumberId, Word(0));
  TBytes flood(kRecoveryFloodSize, 0xFF);
  flood.insert(flood.end(), access.begin(), access.end());
  EXPECT_THAT(Decode(Exchange(flood)), IsAck());

  TBytes shortened(5, 0xFF);  // a pty may lose part of a flood
  const TBytes read = Frame(TLinkOp::ReadFirst, idSwVersion);
  shortened.insert(shortened.end(), read.begin(), read.end());
  EXPECT_THAT(Decode(Exchange(shortened)), IsData(TBytes{25, 0}));

  TBytes broken = Frame(TLinkOp::Write, idCANAddress, TBytes(10, 0x33));
  broken.resize(8);  // its length promises bytes that the next frame supplies
  broken.insert(broken.end(), read.begin(), read.end());
  broken.insert(broken.end(), 20, 0x00);
  EXPECT_THAT(Decode(Exchange(broken)), IsData(TBytes{25, 0}));
  EXPECT_TRUE(client_->Read(1, 200).empty()) << "exactly one reply";

  const TSimCounters counters = sim_->Counters();
  EXPECT_EQ(counters.FloodsReceived, 2u);
  EXPECT_EQ(counters.BadChecks, 1u);
  EXPECT_EQ(counters.Requests, 3u);
  EXPECT_EQ(counters.Replies, 3u);
}

TEST_F(SimulatorTest, HangUpMakesTheSlaveFailAndStartOpensANewTerminal) {
  const std::string link = testing::TempDir() + "zarno-sim-link-" + std::to_string(getpid());
  TSimOptions options;
  options.LinkPath = link;
  Boot(options);
  EXPECT_EQ(std::filesystem::read_symlink(link), sim_->SlavePath());
  sim_->HangUp();
  EXPECT_TRUE(client_->HungUp());
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

  Connect(sim_->Start());
  EXPECT_EQ(std::filesystem::read_symlink(link), sim_->SlavePath());
  GiveAccess();
  sim_->InjectFault(MakeFault(TFaultKind::HangUp));
  client_->Write(Frame(TLinkOp::ReadFirst, idSwVersion));
  EXPECT_TRUE(client_->HungUp());
  EXPECT_TRUE(WaitFor([&] { return !sim_->IsRunning(); }));
}

TEST(SimulatorLinkTest, NeverReplacesAFileThatIsNoLink) {
  const std::string path = testing::TempDir() + "zarno-sim-file-" + std::to_string(getpid());
  { std::ofstream(path) << "keep"; }
  TSimOptions options;
  options.LinkPath = path;
  TZarnoSimulator sim(options);
  EXPECT_THROW(sim.Start(), TKalvistError);
  EXPECT_FALSE(sim.IsRunning());
  std::string content;
  std::ifstream(path) >> content;
  EXPECT_EQ(content, "keep");
  std::filesystem::remove(path);
}

TEST_F(SimulatorTest, PacedRepliesArriveWhole) {
  TSimOptions options;
  options.Pace = true;
  Boot(options);
  sim_->AddObject(kLongId, 127);
  sim_->SetObject(kLongId, Pattern(127));
  GiveAccess();
  EXPECT_THAT(Read(kLongId), IsData(Pattern(127)));
}

// Live values, without a terminal.

TBytes Intensities(TZarnoSimulator& sim) {
  return sim.GetObject(idKnockIntensity).value();
}

TSimOptions StillEngine(uint64_t seed, int kind = 20) {
  TSimOptions options;
  options.Seed = seed;
  options.Kind = kind;
  options.LiveTickMs = 0;
  return options;
}

TEST(SimulatorEngineTest, SameSeedSameLiveValues) {
  TZarnoSimulator a(StillEngine(7)), b(StillEngine(7)), c(StillEngine(8));
  TBytes seenA, seenB, seenC;
  for (int i = 0; i < 30; ++i) {
    for (TZarnoSimulator* sim : {&a, &b, &c}) sim->StepEngine(1);
    const auto append = [](TBytes& to, const TBytes& from) {
      to.insert(to.end(), from.begin(), from.end());
    };
    append(seenA, Intensities(a));
    append(seenB, Intensities(b));
    append(seenC, Intensities(c));
  }
  EXPECT_EQ(seenA, seenB);
  EXPECT_NE(seenA, seenC);
}

TEST(SimulatorEngineTest, StatusAndOutputFollowTheLimits) {
  TZarnoSimulator sim(StillEngine(1));
  sim.SetObject(idStatus, TBytes{0x08});  // "LOW RPM" is not the engine's to change
  sim.SetObject(idIgnitionReductionLimit, TBytes{0});
  sim.SetObject(idImmediateStopLimit, TBytes{0});
  sim.StepEngine(1);
  EXPECT_EQ(sim.GetObject(idStatus), TBytes{0x0F});
  EXPECT_EQ(sim.GetObject(idRegulationOutput), TBytes{255});

  sim.SetObject(idIgnitionReductionLimit, TBytes{1});
  sim.SetObject(idImmediateStopLimit, TBytes{1});
  sim.SetObject(idBadSensors, LittleEndian(0xFFFFF, 4));
  sim.StepEngine(1);
  EXPECT_EQ(Intensities(sim), TBytes(20, 0)) << "bad sensors read 0";
  EXPECT_EQ(sim.GetObject(idStatus), TBytes{0x0C}) << "no knocking, no trip, output still falling";
  EXPECT_LT(sim.GetObject(idRegulationOutput)->at(0), 255);
}

TEST(SimulatorEngineTest, OnlyFittedAnalysedChannelsShowIntensities) {
  struct TCase {
    int Kind;
    uint8_t Cylinders;
    uint32_t Used;
    uint32_t Expected;  // channels with an intensity
  };
  const TCase cases[] = {
      {20, 20, 0xFFFFF, 0xFFFFF}, {20, 4, 0xFFFFF, 0xF}, {20, 20, 0x5, 0x5}, {2, 20, 0xFFFFF, 0x3}};
  for (const TCase& c : cases) {
    TZarnoSimulator sim(StillEngine(3, c.Kind));
    sim.SetObject(idCylinderCount, TBytes{c.Cylinders});
    sim.SetObject(idUsedSensors, LittleEndian(c.Used, 4));
    sim.StepEngine(1);
    const TBytes values = Intensities(sim);
    for (uint32_t channel = 0; channel < 20; ++channel) {
      EXPECT_EQ(values[channel] != 0, ((c.Expected >> channel) & 1) != 0)
          << "kind " << c.Kind << " channel " << channel;
    }
  }
}

TEST(SimulatorCommandTest, CommandsReachTheSimulator) {
  TZarnoSimulator sim(StillEngine(1));
  TSimCommandShell shell(sim);
  const std::pair<const char*, const char*> lines[] = {
      {"get 10346", "ok 19 00"},
      {"set 10330 0x10005", "ok"},
      {"get 10330", "ok 05 00 01 00"},
      {"set 10330 hex 0102 03", "ok"},
      {"get 10330", "ok 01 02 03 00"},
      {"add 50000 3 protected", "ok"},
      {"get 50000", "ok 00 00 00"},
      {"get 50001", "error: unknown object 50001"},
      {"set 10330 12x", "error: bad number '12x'"},
      {"fault error ff 00 00 08 count 2 id 10293", "ok"},
      {"fault delay 100 p 0.5", "ok"},
      {"fault delay", "error: missing arguments to fault"},
      {"fault melt", "error: unknown fault 'melt'"},
      {"fault crc id", "error: fault option 'id' needs a value"},
      {"fault clear", "ok"},
      {"counters", "ok requests=0 replies=0 faults=0 floods=0 bad-checks=0 reads= writes= "
       "sound-blocks=0 stop-acks=0"},
      {"dance", "error: unknown command 'dance'"},
  };
  for (const auto& [line, answer] : lines) EXPECT_EQ(shell.Execute(line), answer) << line;
  EXPECT_FALSE(shell.QuitRequested());
  EXPECT_EQ(shell.Execute("quit"), "ok");
  EXPECT_TRUE(shell.QuitRequested());
}

TEST(SimulatorOptionsTest, RefusesOptionsOutOfRange) {
  const std::function<void(TSimOptions&)> bad[] = {
      [](TSimOptions& o) { o.Kind = 16; },
      [](TSimOptions& o) { o.Firmware = 256; },
      [](TSimOptions& o) { o.SegmentSize = 127; },
  };
  for (const auto& spoil : bad) {
    TSimOptions options;
    spoil(options);
    EXPECT_THROW(TZarnoSimulator{options}, TKalvistError);
  }
}

}  // namespace
}  // namespace kalvist::sim
