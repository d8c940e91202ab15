// The result codes of the link, each set named once with its numbers and its texts. The
// numbers are fixed: they reach the user in messages and in --json output.
#pragma once

#include <cstdint>
#include <string_view>

namespace kalvist {

// The outcome of one frame exchange, as the connection hands it to the operator.
enum class TLinkResult : uint8_t {
  Ok = 0,               // a whole reply, or the last segment, or a write acknowledgement
  NotOpen = 1,          // the port was not open when the result was formed
  MoreData = 2,         // a segment in sequence with more to follow
  DeviceError = 3,      // an error reply: its four bytes are the data
  Timeout = 4,          // no complete reply in time
  BadReply = 6,         // check, object ID or reply code wrong
  SegmentMismatch = 7,  // a segment out of sequence
};

// The result of a whole read or write of one object, after repeats: what the operator
// reports, the queue passes on and the device object shows.
enum TOperationResult : int {
  orSuccess = 0,
  orNoAnswer = 1,       // the tries ran out, the last on a time-out
  orInvalidAnswer = 2,  // the tries ran out, the last on a bad reply or segment
  orRefusedClass6 = 3,       // an error reply of class 6 (E3 = 6), E2 other than 1
  orRefusedClass6Code1 = 4,  // class 6 with E2 = 1
  orRefusedClass5 = 5,       // class 5 (E3 = 5)
  orSoundPacketLost = 5,     // a stream's packet counter skipped (the number is shared)
  orBufferTooSmall = 15,  // a read's bytes exceeded the caller's buffer
  orNotConnected = 16,
  // Class-8 error replies: 100 + (255 - E0) for E0 from 151 to 255.
  orClass8First = 100,
  // The controller refuses the object as not there for this firmware: the device object
  // leaves object and connection alone.
  orRefusalIgnored = 105,
  // A stream's error block after which the controller stays connected: the device object
  // leaves the close to its caller (the main window, the recorder of the CLI).
  orSoundErrorLeftOpen = 143,
  orClass8Last = 204,
  orUnknownRefusal = 999,  // any other error reply
};

// Close results of a connection.
enum TCloseResult : int { clClosed = 0, clNotOpen = 2, clPortVanished = 5 };

// The one text of each operation result, for messages and --json output.
constexpr std::string_view OperationResultText(int result) {
  switch (result) {
    case orSuccess:
      return "success";
    case orNoAnswer:
      return "no answer";
    case orInvalidAnswer:
      return "invalid answer";
    case orBufferTooSmall:
      return "buffer too small";
    case orNotConnected:
      return "not connected";
    default:
      return "refused by the controller";
  }
}

}  // namespace kalvist
