#include "SimFaults.h"

#include <algorithm>

namespace kalvist::sim {
namespace {

struct TFaultName {
  TFaultKind Kind;
  const char* Name;
};

constexpr TFaultName kFaultNames[] = {
    {TFaultKind::CorruptCrc, "crc"},
    {TFaultKind::NoReply, "no-reply"},
    {TFaultKind::PartialReply, "partial"},
    {TFaultKind::StrayFF, "stray-ff"},
    {TFaultKind::WrongObjectId, "wrong-id"},
    {TFaultKind::ErrorReply, "error"},
    {TFaultKind::WrongSegment, "wrong-segment"},
    {TFaultKind::Delay, "delay"},
    {TFaultKind::HangUp, "hangup"},
};

constexpr size_t kControl = 1;
constexpr size_t kIdLow = 3;  // reply offsets
constexpr size_t kSegmentByte = 5;

}  // namespace

std::optional<TFaultKind> FaultKindByName(const std::string& name) {
  for (const TFaultName& n : kFaultNames) {
    if (name == n.Name) return n.Kind;
  }
  return std::nullopt;
}

const char* FaultKindName(TFaultKind kind) {
  for (const TFaultName& n : kFaultNames) {
    if (n.Kind == kind) return n.Name;
  }
  return "?";
}

TWireReply ApplyFault(const TFault& fault, std::vector<uint8_t> reply) {
  TWireReply wire;
  switch (fault.Kind) {
    case TFaultKind::CorruptCrc:
      reply.back() ^= 0xFF;
      break;
    case TFaultKind::NoReply:
      reply.clear();
      break;
    case TFaultKind::PartialReply:
      reply.resize(std::max<size_t>(1, reply.size() / 2));
      break;
    case TFaultKind::StrayFF:
      reply.insert(reply.begin(), 0xFF);
      break;
    case TFaultKind::WrongObjectId: {
      const uint16_t id = static_cast<uint16_t>((reply[kIdLow] | (reply[kIdLow + 1] << 8)) + 1);
      reply[kIdLow] = static_cast<uint8_t>(id & 0xFF);
      reply[kIdLow + 1] = static_cast<uint8_t>(id >> 8);
      StampCheck(reply);
      break;
    }
    case TFaultKind::WrongSegment: {
      // A refusal in place of the segment (access number due) stays as it is.
      if ((reply[kControl] & 0x07) != static_cast<uint8_t>(TReplyCode::ReadSegment)) break;
      uint8_t& segment = reply[kSegmentByte];
      segment = static_cast<uint8_t>((segment & 0x80) | ((segment + 1) & 0x7F));
      StampCheck(reply);
      break;
    }
    case TFaultKind::Delay:
      wire.DelayMs = fault.DelayMs;
      break;
    case TFaultKind::HangUp:
      reply.clear();
      wire.HangUp = true;
      break;
    case TFaultKind::ErrorReply:
      break;
  }
  wire.Bytes = std::move(reply);
  return wire;
}

TFaultPlan::TFaultPlan(uint64_t seed) : draw_(static_cast<uint32_t>(seed * 2654435761u + 1)) {}

void TFaultPlan::Script(const TFault& fault, int count) {
  for (int i = 0; i < count; ++i) scripted_.push_back(fault);
}

void TFaultPlan::SetProbability(const TFault& fault, double probability) {
  std::erase_if(random_, [&](const TRandomFault& r) { return r.Fault.Kind == fault.Kind; });
  if (probability > 0) random_.push_back({fault, std::min(probability, 1.0)});
}

void TFaultPlan::Clear() {
  scripted_.clear();
  random_.clear();
}

bool TFaultPlan::Fits(const TFault& fault, uint16_t objectId, bool segmentReply) {
  if (fault.ObjectID && *fault.ObjectID != objectId) return false;
  return fault.Kind != TFaultKind::WrongSegment || segmentReply;
}

std::optional<TFault> TFaultPlan::Take(uint16_t objectId, bool segmentReply) {
  const auto it = std::find_if(scripted_.begin(), scripted_.end(),
                               [&](const TFault& f) { return Fits(f, objectId, segmentReply); });
  if (it != scripted_.end()) {
    const TFault fault = *it;
    scripted_.erase(it);
    return fault;
  }
  for (const TRandomFault& r : random_) {
    const double roll = draw_() / 4294967296.0;
    if (roll < r.Probability && Fits(r.Fault, objectId, segmentReply)) return r.Fault;
  }
  return std::nullopt;
}

}  // namespace kalvist::sim
