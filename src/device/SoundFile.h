// The ".au" sound file of a recording: its 24-byte header, the conversion of stream
// words into two-channel frames, and a buffered writer, so that a block of frames
// costs one buffered write instead of two system calls per frame.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace kalvist {

inline constexpr size_t kAuHeaderSize = 24;
inline constexpr uint32_t kAuSizeUnknown = 0xFFFFFFFF;  // while recording
inline constexpr int16_t kSyncMark = 32767;

using TAuHeader = std::array<uint8_t, kAuHeaderSize>;

// ".snd", offset 24, `dataSize`, 16-bit linear, `sampleRate`, two channels; big-endian.
TAuHeader BuildAuHeader(uint32_t dataSize, uint32_t sampleRate);
// The data size field for `bytes` of frames: the count itself, or "unknown" (read to
// the end) once it no longer fits.
uint32_t AuDataSize(uint64_t bytes);

// One frame: channel 1 the sensor signal, channel 2 the synchronisation mark.
struct TSoundFrame {
  int16_t Signal;
  int16_t Mark;
};

// Converts stream words (bits 0-14 the sample around 2047, bit 15 a synchronisation
// pulse) into frames. A pulse lasts `timeStampDelay` frames from the word with bit 15;
// `syncCounter` carries a pulse on from one block into the next.
void ConvertSoundWords(std::span<const uint16_t> words, uint16_t timeStampDelay,
                       uint16_t& syncCounter, std::span<TSoundFrame> frames);
// Appends the frames as the file holds them: signed 16-bit big-endian, signal first.
void AppendFrameBytes(std::span<const TSoundFrame> frames, std::vector<uint8_t>& out);

// A file written through a buffer. A failed write is remembered: later writes are
// skipped and Close reports it. Not copyable; closes (keeping the file) when destroyed.
class TSoundFileWriter {
 public:
  TSoundFileWriter() = default;
  ~TSoundFileWriter();
  TSoundFileWriter(const TSoundFileWriter&) = delete;
  TSoundFileWriter& operator=(const TSoundFileWriter&) = delete;

  // Creates the file, or empties an existing one, for reading and writing. False when
  // that fails; Error() then tells why.
  bool Create(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }

  void Write(std::span<const uint8_t> bytes);
  // Writes at `offset` and goes back to the end.
  void WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
  bool Failed() const { return failed_; }
  const std::string& Error() const { return error_; }

  // False when any write or the close itself failed.
  bool Close();
  // Closes and deletes the file.
  void Remove();

 private:
  void Fail();

  std::FILE* file_ = nullptr;
  std::string path_;
  bool failed_ = false;
  std::string error_;
  std::vector<char> buffer_;
};

}  // namespace kalvist
