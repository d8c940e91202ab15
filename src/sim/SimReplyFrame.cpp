#include "SimReplyFrame.h"

namespace kalvist::sim {

std::vector<uint8_t> BuildReply(TReplyCode code, uint8_t sequence, uint16_t objectId,
                                std::span<const uint8_t> data) {
  std::vector<uint8_t> reply;
  reply.reserve(data.size() + kReplyOverhead);
  reply.push_back(static_cast<uint8_t>(data.size()));
  reply.push_back(static_cast<uint8_t>(code));
  reply.push_back(sequence);
  reply.push_back(static_cast<uint8_t>(objectId & 0xFF));
  reply.push_back(static_cast<uint8_t>(objectId >> 8));
  reply.insert(reply.end(), data.begin(), data.end());
  reply.resize(reply.size() + 2);
  StampCheck(reply);
  return reply;
}

void StampCheck(std::vector<uint8_t>& reply) {
  const size_t body = reply.size() - 2;
  const uint16_t crc = Crc16(std::span<const uint8_t>(reply.data(), body));
  reply[body] = static_cast<uint8_t>(crc & 0xFF);
  reply[body + 1] = static_cast<uint8_t>(crc >> 8);
}

}  // namespace kalvist::sim
