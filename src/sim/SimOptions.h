// What the simulated controller is: hardware kind, firmware, link settings, passwords.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "DeviceLine.h"

namespace kalvist::sim {

enum class TPasswordScheme { Auto, Single, ThreeLevel };

struct TSimOptions {
  int Kind = 20;                           // 20, 2 or 3
  std::optional<int> Firmware{};           // version × 10; by default 25, 13 or 0 by kind
  std::optional<uint32_t> HardwareType{};  // raw value of object 24469 instead of the kind's
  // Objects up to this many bytes are answered whole, longer ones in segments of this
  // many bytes. 0: whole up to 127 bytes, segments of 126 beyond.
  int SegmentSize = 0;
  uint16_t AccessNumber = 0;
  uint32_t AccessPauseMs = 15000;  // without requests this long, the access number is due again
  TPasswordScheme Scheme = TPasswordScheme::Auto;  // Auto: by kind and firmware
  uint16_t AdminPassword = 1111;
  uint16_t OperatorPassword = 2222;  // three-level scheme only
  uint16_t MonitorPassword = 3333;   // three-level scheme only
  bool Pace = false;                 // send replies at the line's 19200 baud
  std::string LinkPath{};            // symbolic link to the slave, when not empty
  // Where the simulator sits: a pseudo-terminal, an in-process loopback line, or a
  // serial port (PortPath) with a null-modem cable to the client's.
  TDeviceLineKind Line = DefaultDeviceLineKind();
  std::string PortPath{};
  uint64_t Seed = 1;                 // live values and random faults
  uint32_t LiveTickMs = 100;         // one engine step per tick; 0: only on request
  uint8_t SoundSizeCode = 0;         // k of the data blocks: (k + 1) * 256 samples, 0..15
  uint32_t SoundRate = 41000;        // stream samples per second; 0: as fast as read
};

// Throws TKalvistError naming the first option out of range.
void ValidateOptions(const TSimOptions& options);

uint8_t ModeOf(const TSimOptions& options);  // ZarnoMode: 0, 1, 2 for kind 20, 2, 3
uint8_t FirmwareOf(const TSimOptions& options);
uint32_t HardwareTypeOf(const TSimOptions& options);
bool ThreeLevelOf(const TSimOptions& options);
int WholeReplyLimit(const TSimOptions& options);
int SegmentBytes(const TSimOptions& options);

}  // namespace kalvist::sim
