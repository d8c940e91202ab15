#include "SimController.h"

#include <algorithm>

#include "vltZarnoParams.h"

namespace kalvist::sim {
namespace {

constexpr uint8_t kLastSegmentBit = 0x80;
constexpr uint8_t kSegmentMask = 0x7F;
constexpr size_t kPasswordWordSize = 2;

// Values "ThreeLvLPassword" reads back after a login.
constexpr uint8_t kLevelAdmin = 3;
constexpr uint8_t kLevelOperator = 2;
constexpr uint8_t kLevelMonitor = 1;
constexpr uint8_t kLevelNone = 0;

uint16_t Word(std::span<const uint8_t> bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::vector<uint8_t> Ack(const TSimRequest& request) {
  return BuildReply(TReplyCode::WriteAck, request.Sequence, request.ObjectID, {});
}

}  // namespace

uint32_t EncryptPassword(uint16_t password) {
  return (password * 2654435761u) ^ 0x5A17C3E5u;
}

TSimController::TSimController(const TSimOptions& options, TSimObjectStore& store)
    : options_(options),
      store_(store),
      threeLevel_(ThreeLevelOf(options)),
      adminPassword_(options.AdminPassword),
      operatorPassword_(options.OperatorPassword) {
  store_.SetNumber(idEncryptedPassword, EncryptPassword(adminPassword_));
}

std::vector<uint8_t> TSimController::Refuse(const TSimRequest& request, const TErrorBytes& bytes) {
  return BuildReply(TReplyCode::ErrorReply, request.Sequence, request.ObjectID, bytes);
}

void TSimController::ResetSession() {
  accessGiven_ = false;
  lastRequest_.reset();
  read_ = {};
  write_ = {};
  store_.SetNumber(idThreeLvLPassword, kLevelNone);
}

std::vector<uint8_t> TSimController::Handle(const TSimRequest& request, TSimClock::time_point now) {
  const auto pause = std::chrono::milliseconds(options_.AccessPauseMs);
  if (lastRequest_ && now - *lastRequest_ > pause) accessGiven_ = false;
  lastRequest_ = now;
  const bool accessWrite = request.ObjectID == kAccessNumberId &&
                           request.Code == static_cast<uint8_t>(TRequestCode::Write);
  if (accessWrite) return AccessNumber(request);
  if (!accessGiven_) return Refuse(request, kErrAccessMissing);
  return Dispatch(request);
}

std::vector<uint8_t> TSimController::Dispatch(const TSimRequest& request) {
  switch (static_cast<TRequestCode>(request.Code)) {
    case TRequestCode::ReadFirst:
      return ReadFirst(request);
    case TRequestCode::ReadNext:
      return ReadNext(request);
    case TRequestCode::Write: {
      const auto refusal = ApplyWrite(request.ObjectID, request.Data);
      return refusal ? Refuse(request, *refusal) : Ack(request);
    }
    case TRequestCode::WriteSegment:
      return WriteSegment(request);
  }
  return Refuse(request, kErrUnknownRequest);
}

std::vector<uint8_t> TSimController::AccessNumber(const TSimRequest& request) {
  const bool right = request.Data.size() == 2 && Word(request.Data) == options_.AccessNumber;
  if (!right) return Refuse(request, kErrWrongAccess);
  accessGiven_ = true;
  return Ack(request);
}

bool TSimController::AnswersWithSegment(const TSimRequest& request) const {
  switch (static_cast<TRequestCode>(request.Code)) {
    case TRequestCode::ReadFirst: {
      const TSimObject* object = store_.Find(request.ObjectID);
      return object && object->Data.size() > static_cast<size_t>(WholeReplyLimit(options_));
    }
    case TRequestCode::ReadNext:
      return read_.Active && read_.ObjectID == request.ObjectID;
    default:
      return false;
  }
}

std::vector<uint8_t> TSimController::ReadFirst(const TSimRequest& request) {
  read_ = {};
  const TSimObject* object = store_.Find(request.ObjectID);
  if (!object) return Refuse(request, kErrUnknownObject);
  if (!AnswersWithSegment(request)) {
    return BuildReply(TReplyCode::ReadData, request.Sequence, request.ObjectID, object->Data);
  }
  read_ = {true, request.ObjectID, object->Data, 0, 0};
  return NextSegment(request);
}

std::vector<uint8_t> TSimController::ReadNext(const TSimRequest& request) {
  if (!AnswersWithSegment(request)) {
    read_ = {};
    return Refuse(request, kErrSegmentSequence);
  }
  return NextSegment(request);
}

std::vector<uint8_t> TSimController::NextSegment(const TSimRequest& request) {
  const size_t count = std::min<size_t>(SegmentBytes(options_), read_.Bytes.size() - read_.Offset);
  const bool last = read_.Offset + count >= read_.Bytes.size();
  std::vector<uint8_t> data;
  data.reserve(count + 1);
  data.push_back(
      static_cast<uint8_t>((read_.Segment & kSegmentMask) | (last ? kLastSegmentBit : 0)));
  const auto from = read_.Bytes.begin() + static_cast<std::ptrdiff_t>(read_.Offset);
  data.insert(data.end(), from, from + static_cast<std::ptrdiff_t>(count));
  read_.Offset += count;
  read_.Segment = static_cast<uint8_t>((read_.Segment + 1) & kSegmentMask);
  if (last) read_ = {};
  return BuildReply(TReplyCode::ReadSegment, request.Sequence, request.ObjectID, data);
}

std::vector<uint8_t> TSimController::WriteSegment(const TSimRequest& request) {
  // Segment 0 always starts over, so only later segments can be repeats.
  const bool repeat = !request.Data.empty() && (request.Data[0] & kSegmentMask) != 0 &&
                      write_.ObjectID == request.ObjectID && write_.LastData == request.Data;
  if (repeat) return write_.LastReply;
  std::vector<uint8_t> reply = TakeSegment(request);
  write_.LastReply = reply;
  return reply;
}

std::vector<uint8_t> TSimController::TakeSegment(const TSimRequest& request) {
  if (request.Data.empty()) {
    write_ = {};
    return Refuse(request, kErrSegmentSequence);
  }
  const uint8_t segmentByte = request.Data[0];
  const uint8_t number = segmentByte & kSegmentMask;
  if (number == 0) {
    const TSimObject* object = store_.Find(request.ObjectID);
    if (!object) {
      write_ = {};
      return Refuse(request, kErrUnknownObject);
    }
    write_ = {true, request.ObjectID, {}, 0, {}, {}};
  } else if (!write_.Active || write_.ObjectID != request.ObjectID ||
             number != write_.NextSegment) {
    write_ = {};
    return Refuse(request, kErrSegmentSequence);
  }
  // Bytes beyond the object and its password word are never stored.
  const size_t room = store_.Find(request.ObjectID)->Data.size() + kPasswordWordSize;
  const auto value = std::span<const uint8_t>(request.Data).subspan(1);
  const size_t take = std::min(value.size(), room - std::min(room, write_.Bytes.size()));
  write_.Bytes.insert(write_.Bytes.end(), value.begin(),
                      value.begin() + static_cast<std::ptrdiff_t>(take));
  write_.NextSegment = static_cast<uint8_t>((number + 1) & kSegmentMask);
  write_.LastData = request.Data;
  if ((segmentByte & kLastSegmentBit) == 0) return Ack(request);
  write_.Active = false;
  const auto refusal = ApplyWrite(request.ObjectID, write_.Bytes);
  return refusal ? Refuse(request, *refusal) : Ack(request);
}

std::optional<TErrorBytes> TSimController::ApplyWrite(uint16_t id, std::span<const uint8_t> data) {
  const TSimObject* object = store_.Find(id);
  if (!object) return kErrUnknownObject;
  if (!object->PasswordProtected) {
    store_.Store(id, data);
    return std::nullopt;
  }
  if (data.size() < kPasswordWordSize) return kErrWrongPrefix;
  const uint16_t word = Word(data);
  const auto value = data.subspan(kPasswordWordSize);
  if (id == idThreeLvLPassword || id == idPassword || id == idWriteOperPassword) {
    return ApplyPasswordWrite(id, word, value);
  }
  if (!AcceptsWord(word)) return kErrWrongPrefix;
  store_.Store(id, value);
  return std::nullopt;
}

std::optional<TErrorBytes> TSimController::ApplyPasswordWrite(uint16_t id, uint16_t word,
                                                              std::span<const uint8_t> value) {
  if (value.size() < kPasswordWordSize) return kErrWrongPassword;
  const uint16_t password = Word(value);
  if (id == idThreeLvLPassword) {
    const uint8_t level = LevelOf(password);
    store_.SetNumber(idThreeLvLPassword, level);
    return level == kLevelNone ? std::optional(kErrWrongPassword) : std::nullopt;
  }
  if (id == idPassword) {
    if (word != adminPassword_) return kErrWrongPassword;
    adminPassword_ = password;
    store_.SetNumber(idEncryptedPassword, EncryptPassword(adminPassword_));
    return std::nullopt;
  }
  if (word != adminPassword_ && word != operatorPassword_) return kErrWrongPassword;
  operatorPassword_ = password;
  return std::nullopt;
}

bool TSimController::AcceptsWord(uint16_t word) const {
  return word == adminPassword_ || (threeLevel_ && word == operatorPassword_);
}

uint8_t TSimController::LevelOf(uint16_t password) const {
  if (password == adminPassword_) return kLevelAdmin;
  if (password == operatorPassword_) return kLevelOperator;
  if (password == options_.MonitorPassword) return kLevelMonitor;
  return kLevelNone;
}

}  // namespace kalvist::sim
