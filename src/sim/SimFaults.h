// Faults the simulated controller can put on the wire, scripted for the next fitting
// requests or drawn at random per request. A fault acts on the reply only: the request
// has been carried out, except for an injected error reply, which refuses it instead.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "SimReplyFrame.h"
#include "SimRequestParser.h"

namespace kalvist::sim {

enum class TFaultKind {
  CorruptCrc,     // the reply's check is wrong
  NoReply,        // nothing is sent
  PartialReply,   // only the first half of the reply is sent
  StrayFF,        // a 0xFF goes out before the reply
  WrongObjectId,  // the reply names the next object ID (check still right)
  ErrorReply,     // an error reply with ErrorBytes instead of the answer
  WrongSegment,   // a segment reply carries the next segment number; only segment replies
  Delay,          // the reply goes out DelayMs late
  HangUp,         // the pty is closed instead of replying
};

// The names the control commands use ("crc", "no-reply", ...); nullopt for others.
std::optional<TFaultKind> FaultKindByName(const std::string& name);
const char* FaultKindName(TFaultKind kind);

struct TFault {
  TFaultKind Kind = TFaultKind::NoReply;
  std::optional<uint16_t> ObjectID{};  // only requests naming this object
  TErrorBytes ErrorBytes{};            // ErrorReply
  uint32_t DelayMs = 0;                // Delay
};

// What goes out for one request after the fault has acted.
struct TWireReply {
  std::vector<uint8_t> Bytes;
  uint32_t DelayMs = 0;
  bool HangUp = false;
};

// `reply` is the controller's answer to `request` (an error reply's own bytes when the
// fault is ErrorReply).
TWireReply ApplyFault(const TFault& fault, std::vector<uint8_t> reply);

class TFaultPlan {
 public:
  explicit TFaultPlan(uint64_t seed);

  // The next `count` fitting requests get `fault`, after those scripted before.
  void Script(const TFault& fault, int count = 1);
  // Every fitting request gets `fault` with this probability (0 removes it); one
  // setting per kind.
  void SetProbability(const TFault& fault, double probability);
  void Clear();

  // The fault for this request, if any: the first fitting scripted one (used up), else
  // a random draw. A fault fits when its object ID (if any) matches and, for
  // WrongSegment, the answer is a segment.
  std::optional<TFault> Take(uint16_t objectId, bool segmentReply);

 private:
  struct TRandomFault {
    TFault Fault;
    double Probability;
  };
  static bool Fits(const TFault& fault, uint16_t objectId, bool segmentReply);

  std::deque<TFault> scripted_;
  std::vector<TRandomFault> random_;
  std::mt19937 draw_;
};

}  // namespace kalvist::sim
