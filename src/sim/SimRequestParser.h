// The controller's side of the request frame: bytes in, checked requests out. The
// parser hunts for the two-byte preamble, takes the length (0..127), collects the rest
// and checks the CRC over everything after the preamble. Bytes that fit no frame are
// dropped; a frame with a bad check is dropped too and the bytes after its first one
// are searched again, so a frame that starts inside a broken one is still found.
//
// A run of 0xFF longer than the preamble is the client's line recovery: it is counted
// once per run, and the last two bytes of the run stand ready as the preamble of the
// next request.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kalvist::sim {

struct TSimRequest {
  uint8_t Code = 0;  // bits 0-2 of the control byte as sent; 4..7 are no request
  uint8_t Address = 0;
  uint8_t Sequence = 0;
  uint16_t ObjectID = 0;
  std::vector<uint8_t> Data;
};

class TRequestParser {
 public:
  // Appends every complete, intact request found in `bytes` to `out`, in order.
  void Feed(std::span<const uint8_t> bytes, std::vector<TSimRequest>& out);
  // Forgets a half-read frame (the client has closed the port).
  void Reset();

  uint64_t Floods() const { return floods_; }
  uint64_t BadChecks() const { return badChecks_; }

 private:
  enum class TState { Hunt, Preamble, Length, Body };

  void Step(uint8_t byte, std::vector<TSimRequest>& out);
  void StepLength(uint8_t byte);
  void FinishFrame(std::vector<TSimRequest>& out);

  TState state_ = TState::Hunt;
  int ffRun_ = 0;               // 0xFF bytes in a row, while in Length
  std::vector<uint8_t> frame_;  // from the length byte on
  uint64_t floods_ = 0;
  uint64_t badChecks_ = 0;
};

}  // namespace kalvist::sim
