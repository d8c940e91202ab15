// The Zarno controller, simulated on a device line (a pseudo-terminal, an in-process
// loopback line or a serial port): the program under test opens the line's client path
// as its serial port and talks the controller's protocol to it. The
// simulator answers on its own thread; the control calls below may come from any
// thread at any time.
//
// What it answers is TSimController's business (access number, passwords, segments and
// the error bytes of each refusal are documented there); live values come from
// TSimEngine, faults from TFaultPlan. The slave side is never held open by the
// simulator: a client opening or closing the port starts a new session, which again
// needs the access number.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "DeviceLine.h"
#include "SimController.h"
#include "SimEngine.h"
#include "SimFaults.h"
#include "SimObjectStore.h"
#include "SimOptions.h"
#include "SimRequestParser.h"
#include "SimSoundStream.h"

namespace kalvist::sim {

struct TSimCounters {
  uint64_t Requests = 0;  // intact request frames
  uint64_t Replies = 0;   // reply frames sent, whole or damaged by a fault
  uint64_t FaultsInjected = 0;
  uint64_t FloodsReceived = 0;          // runs of 0xFF longer than the preamble
  uint64_t BadChecks = 0;               // request frames dropped for their check
  std::map<uint16_t, uint64_t> Reads;   // ReadFirst requests per object ID
  std::map<uint16_t, uint64_t> Writes;  // Write and last WriteSegment requests per object ID
  uint64_t SoundBlocks = 0;             // data blocks streamed
  uint64_t StopAcks = 0;                // streams ended with a stop acknowledgement
};

class TZarnoSimulator {
 public:
  // Throws TKalvistError for options out of range.
  explicit TZarnoSimulator(TSimOptions options = {});
  ~TZarnoSimulator();
  TZarnoSimulator(const TZarnoSimulator&) = delete;
  TZarnoSimulator& operator=(const TZarnoSimulator&) = delete;

  // Opens a new line (a pseudo-terminal with the link, if one is set) and starts
  // answering. Returns the client path. After a hang-up it starts over on a new line
  // with the objects as they were. Throws TKalvistError when no line can be opened.
  std::string Start();
  // Hangs up: the thread ends and the terminal closes, so the client's reads fail.
  void HangUp();
  bool IsRunning() const { return running_; }
  // Whether the simulator has seen a client open the slave (and not close it since).
  bool ClientPresent() const { return clientPresent_; }
  std::string SlavePath() const;

  // False for an unknown object; copies at most the object's size.
  bool SetObject(uint16_t id, std::span<const uint8_t> bytes);
  std::optional<std::vector<uint8_t>> GetObject(uint16_t id) const;
  // Adds an object of any size (or resizes one), zeroed, e.g. to test long reads.
  void AddObject(uint16_t id, int size, bool passwordProtected = false);

  void InjectFault(const TFault& fault, int count = 1);
  void SetFaultProbability(const TFault& fault, double probability);
  // The next stream block gets `fault` (after those injected before).
  void InjectStreamFault(const TStreamFault& fault);
  // Drops reply and stream faults alike.
  void ClearFaults();
  bool Streaming() const;

  // Moves the live values on by `steps` engine steps (with LiveTickMs 0 the only way).
  void StepEngine(int steps);
  TSimCounters Counters() const;

 private:
  void Run(std::stop_token stop);
  void SessionStarts(bool clientPresent);
  // False once a fault has hung up.
  bool Serve(std::span<const uint8_t> bytes, std::stop_token stop);
  TWireReply Answer(const TSimRequest& request);
  void AnswerStreamControl(const TSimRequest& request, TSimClock::time_point now);
  int StreamWaitMs() const;
  void SendStream();
  void Count(const TSimRequest& request);
  void CatchUpEngine(TSimClock::time_point now);
  bool Deliver(const TWireReply& wire, std::stop_token stop);
  void Send(std::span<const uint8_t> bytes);
  bool SleepFor(uint32_t ms, std::stop_token stop);

  const TSimOptions options_;
  mutable std::mutex mutex_;  // guards what follows, up to the terminal
  TSimObjectStore store_;
  TSimController controller_;
  TSimEngine engine_;
  TFaultPlan faults_;
  TRequestParser parser_;
  TSimSoundStream stream_;
  TSimCounters counters_;
  TSimClock::time_point engineStart_;
  uint64_t engineSteps_ = 0;
  std::string slavePath_;

  const std::unique_ptr<IDeviceLine> line_;  // the thread's while it runs
  std::vector<uint8_t> streamOut_;  // the thread's
  std::atomic<bool> running_ = false;
  std::atomic<bool> clientPresent_ = false;
  std::mutex sleepMutex_;
  std::condition_variable sleepWake_;
  std::jthread thread_;
};

}  // namespace kalvist::sim
