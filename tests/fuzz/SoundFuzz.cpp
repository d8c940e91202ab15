// The sound stream reader fed arbitrary bytes through all its phases. A delivered
// block must be intact (its check over the whole block is 0), of the length its
// header gives, and of a valid type; the reader never asks for more than its buffer.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "vltSoundReader.h"

using namespace kalvist;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TSoundReader reader;
  reader.Start();
  size_t pos = 0;
  uint64_t now = 0;
  auto action = TSoundReader::TAction::Read;
  for (int steps = 0; steps < 100000; ++steps) {
    switch (action) {
      case TSoundReader::TAction::Read: {
        FUZZ_CHECK(reader.Wanted() >= 1 && reader.Wanted() <= kMaxSoundBlock - 3 + 2);
        const bool enough = size - pos >= reader.Wanted();
        if (enough) {
          std::copy_n(data + pos, reader.Wanted(), reader.Target());
          pos += reader.Wanted();
          now += reader.Wanted() / 64;  // time moves as bytes come
        }
        action = reader.Step(!enough, now);
        break;
      }
      case TSoundReader::TAction::DeliverBlock: {
        const size_t length = reader.BlockLength();
        FUZZ_CHECK(length >= 6 && length <= kMaxSoundBlock && length <= pos);
        // The block as it came (the reader clears the size code before handing over).
        const uint8_t* original = data + pos - length;
        FUZZ_CHECK(Crc16({original, length}) == 0);
        FUZZ_CHECK(SoundBlockLength(original[2]) == length);
        FUZZ_CHECK(reader.Block()[0] == 0xFF && reader.Block()[1] == 0xFF);
        FUZZ_CHECK(reader.Block()[2] <= 2);
        if (reader.BlockType() != TSoundBlockType::Data) FUZZ_CHECK(length == 6);
        action = reader.AfterDelivery(data[0] & 1, now);
        break;
      }
      case TSoundReader::TAction::DeliverBad:
        action = reader.AfterDelivery(true, now);
        break;
      case TSoundReader::TAction::DeliverTimeout:
      case TSoundReader::TAction::Stop:
        return 0;
    }
  }
  return 0;
}
