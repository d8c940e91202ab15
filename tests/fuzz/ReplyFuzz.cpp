// Reply delimiting and evaluation: bytes in, link result out, against a request chosen
// by the first two input bytes. An Ok (or MoreData) result must come from an intact
// frame of the request's object, and its data must lie inside the reply.
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "vltLinkFrame.h"

using namespace kalvist;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  TLinkRequest request;
  request.Op = static_cast<TLinkOp>(data[0] & 0x03);
  request.ObjectID = static_cast<uint16_t>(10000 + (data[0] >> 2));
  TSegmentCounters counters{};
  counters[0] = data[1] & 0x7F;
  const std::span<const uint8_t> stream(data + 2, size - 2);

  // Delimit as the connection does: the length byte, then exactly its remainder.
  const size_t expected = stream.empty() ? 0 : 1 + ReplyRemainder(stream[0]);
  const bool complete = !stream.empty() && expected > 1 && stream.size() >= expected;
  const auto reply = complete ? stream.first(expected) : stream;
  const auto result = EvaluateReply(complete ? TReception::Complete : TReception::TimedOut, reply,
                                    request, counters);

  const TLinkResult code = result.Reply.Code;
  if (code == TLinkResult::Ok || code == TLinkResult::MoreData ||
      code == TLinkResult::DeviceError) {
    FUZZ_CHECK(complete);
    FUZZ_CHECK(Crc16(reply) == 0);
    FUZZ_CHECK((reply[3] | (reply[4] << 8)) == request.ObjectID);
    FUZZ_CHECK(!result.Recover);
    if (result.Reply.Length > 0) {
      FUZZ_CHECK(result.Reply.Data >= reply.data());
      FUZZ_CHECK(result.Reply.Data + result.Reply.Length <= reply.data() + reply.size());
    }
  }
  if (code == TLinkResult::DeviceError) FUZZ_CHECK(result.Reply.Length == 4);
  if (!complete) FUZZ_CHECK(code == TLinkResult::Timeout && result.Recover);
  return 0;
}
