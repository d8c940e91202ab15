// The controller's answers: one request in, one reply frame out. It keeps the state a
// port session needs (access number given, segmented read and write in progress, the
// level of the last three-level login) and applies writes to the object store.
//
// Rules, besides the frame formats:
// - After the port is opened, and after AccessPauseMs without requests, every request
//   but the access number write (object 24378, 2 bytes) is refused (kErrAccessMissing);
//   a wrong access number is refused with kErrWrongAccess.
// - Objects up to WholeReplyLimit bytes are answered with ReadData, longer ones with
//   numbered ReadSegment replies (ReadFirst gives segment 0, each ReadNext the next).
//   A ReadNext without a read in progress of that object is kErrSegmentSequence.
// - WriteSegment frames are taken in order from segment 0; the last one (bit 7) ends
//   the write. A repeat of the segment just taken (its reply was lost) is answered
//   again without being applied twice; any other number is kErrSegmentSequence.
// - A write of a password-protected object starts with a 2-byte password word, low
//   byte first, which is stripped before the value is stored (at most the object's
//   size). The word must be the administrator password (single scheme) or the
//   administrator or operator password (three-level scheme), else kErrWrongPrefix.
// - "ThreeLvLPassword" (24524) logs in: its value must be one of the three passwords
//   (else kErrWrongPassword); reading it back gives 3, 2 or 1 (0 before a login).
//   "Password" (24549) and "WriteOperPassword" (24514) set the administrator and
//   operator passwords; their password word must be the administrator's (or, for the
//   operator password, the operator's), else kErrWrongPassword. With the single scheme
//   entering the password is a write of "Password" with the password as word and value,
//   so it succeeds exactly when the password is right. Password objects read as 0.
// - 10335 reads as the administrator password, encrypted (EncryptPassword).
// - Unknown objects are kErrUnknownObject; request codes 4..7 kErrUnknownRequest.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "SimObjectStore.h"
#include "SimOptions.h"
#include "SimReplyFrame.h"
#include "SimRequestParser.h"

namespace kalvist::sim {

using TSimClock = std::chrono::steady_clock;

// The value object 10335 shows for an administrator password; a service technician
// reverses it with the same constants.
uint32_t EncryptPassword(uint16_t password);

class TSimController {
 public:
  TSimController(const TSimOptions& options, TSimObjectStore& store);

  std::vector<uint8_t> Handle(const TSimRequest& request, TSimClock::time_point now);
  // An error reply to `request` with the given bytes, changing nothing.
  static std::vector<uint8_t> Refuse(const TSimRequest& request, const TErrorBytes& bytes);
  // Whether the answer to `request` would be a ReadSegment.
  bool AnswersWithSegment(const TSimRequest& request) const;

  // A client opened or closed the port: the session starts over.
  void ResetSession();

 private:
  struct TReadState {
    bool Active = false;
    uint16_t ObjectID = 0;
    std::vector<uint8_t> Bytes;  // taken at ReadFirst, so segments fit together
    size_t Offset = 0;
    uint8_t Segment = 0;
  };
  struct TWriteState {
    bool Active = false;
    uint16_t ObjectID = 0;
    std::vector<uint8_t> Bytes;
    uint8_t NextSegment = 0;
    std::vector<uint8_t> LastData;  // the segment last taken, to know a repeat
    std::vector<uint8_t> LastReply;
  };

  std::vector<uint8_t> Dispatch(const TSimRequest& request);
  std::vector<uint8_t> AccessNumber(const TSimRequest& request);
  std::vector<uint8_t> ReadFirst(const TSimRequest& request);
  std::vector<uint8_t> ReadNext(const TSimRequest& request);
  std::vector<uint8_t> NextSegment(const TSimRequest& request);
  std::vector<uint8_t> WriteSegment(const TSimRequest& request);
  std::vector<uint8_t> TakeSegment(const TSimRequest& request);
  // Applies a whole write; returns the refusal, if any.
  std::optional<TErrorBytes> ApplyWrite(uint16_t id, std::span<const uint8_t> data);
  std::optional<TErrorBytes> ApplyPasswordWrite(uint16_t id, uint16_t word,
                                                std::span<const uint8_t> value);
  bool AcceptsWord(uint16_t word) const;
  uint8_t LevelOf(uint16_t password) const;

  const TSimOptions options_;
  TSimObjectStore& store_;
  const bool threeLevel_;
  uint16_t adminPassword_;
  uint16_t operatorPassword_;
  bool accessGiven_ = false;
  std::optional<TSimClock::time_point> lastRequest_;
  TReadState read_;
  TWriteState write_;
};

}  // namespace kalvist::sim
