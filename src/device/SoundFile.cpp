#include "SoundFile.h"

#include <cerrno>
#include <cstring>

namespace kalvist {
namespace {

constexpr uint32_t kAuMagic = 0x2E736E64;  // ".snd"
constexpr uint32_t kAuLinear16 = 3;
constexpr uint32_t kAuChannels = 2;
constexpr int kCentre = 2047;
constexpr int kGain = 15;  // 12-bit samples fill the 16-bit range
constexpr size_t kWriteBuffer = 64 * 1024;

void PutBigEndian32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value >> 24);
  at[1] = static_cast<uint8_t>(value >> 16);
  at[2] = static_cast<uint8_t>(value >> 8);
  at[3] = static_cast<uint8_t>(value);
}

}  // namespace

TAuHeader BuildAuHeader(uint32_t dataSize, uint32_t sampleRate) {
  TAuHeader header{};
  const uint32_t fields[] = {kAuMagic,    kAuHeaderSize, dataSize,
                             kAuLinear16, sampleRate,    kAuChannels};
  for (size_t i = 0; i < std::size(fields); ++i) PutBigEndian32(header.data() + 4 * i, fields[i]);
  return header;
}

uint32_t AuDataSize(uint64_t bytes) {
  return bytes < kAuSizeUnknown ? static_cast<uint32_t>(bytes) : kAuSizeUnknown;
}

void ConvertSoundWords(std::span<const uint16_t> words, uint16_t timeStampDelay,
                       uint16_t& syncCounter, std::span<TSoundFrame> frames) {
  for (size_t i = 0; i < words.size(); ++i) {
    const uint16_t w = words[i];
    // Taken as a 16-bit two's-complement number, as the controller's own tools do.
    const auto signal =
        static_cast<int16_t>(static_cast<uint16_t>(((w & 0x7FFF) - kCentre) * kGain));
    int16_t mark = 0;
    if ((w & 0x8000) != 0 || syncCounter != 0) {
      if (++syncCounter == timeStampDelay) syncCounter = 0;
      mark = kSyncMark;
    }
    frames[i] = {signal, mark};
  }
}

void AppendFrameBytes(std::span<const TSoundFrame> frames, std::vector<uint8_t>& out) {
  const size_t start = out.size();
  out.resize(start + 4 * frames.size());
  uint8_t* p = out.data() + start;
  for (const TSoundFrame& f : frames) {
    const auto signal = static_cast<uint16_t>(f.Signal);
    const auto mark = static_cast<uint16_t>(f.Mark);
    *p++ = static_cast<uint8_t>(signal >> 8);
    *p++ = static_cast<uint8_t>(signal);
    *p++ = static_cast<uint8_t>(mark >> 8);
    *p++ = static_cast<uint8_t>(mark);
  }
}

TSoundFileWriter::~TSoundFileWriter() {
  Close();
}

bool TSoundFileWriter::Create(const std::string& path) {
  Close();
  failed_ = false;
  error_.clear();
  path_ = path;
  file_ = std::fopen(path.c_str(), "w+b");
  if (!file_) {
    error_ = std::strerror(errno);
    return false;
  }
  buffer_.resize(kWriteBuffer);
  std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
  return true;
}

void TSoundFileWriter::Fail() {
  if (!failed_) error_ = std::strerror(errno);
  failed_ = true;
}

void TSoundFileWriter::Write(std::span<const uint8_t> bytes) {
  if (!file_ || failed_) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) Fail();
}

void TSoundFileWriter::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
  if (!file_ || failed_) return;
  if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return Fail();
  Write(bytes);
  if (std::fseek(file_, 0, SEEK_END) != 0) Fail();
}

bool TSoundFileWriter::Close() {
  if (!file_) return !failed_;
  if (std::fclose(file_) != 0) Fail();
  file_ = nullptr;
  return !failed_;
}

void TSoundFileWriter::Remove() {
  Close();
  if (!path_.empty()) std::remove(path_.c_str());
}

}  // namespace kalvist
