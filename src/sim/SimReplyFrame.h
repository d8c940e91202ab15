// Reply frames as the controller sends them, and the error bytes it uses to refuse.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "vltLinkFrame.h"

namespace kalvist::sim {

using TErrorBytes = std::array<uint8_t, 4>;  // E0, E1, E2, E3

// Refusals (E0 E1 E2 E3) and the operation result the program maps each to:
inline constexpr TErrorBytes kErrUnknownObject = {0xFA, 0, 0, 8};    // 105: no such object
inline constexpr TErrorBytes kErrAccessMissing = {0, 0, 1, 6};       // 4: access number due
inline constexpr TErrorBytes kErrWrongAccess = {0, 0, 0, 6};         // 3: wrong access number
inline constexpr TErrorBytes kErrWrongPrefix = {0, 0, 0, 5};         // 5: prefix is no password
inline constexpr TErrorBytes kErrWrongPassword = {0xFE, 0, 0, 8};    // 101: password refused
inline constexpr TErrorBytes kErrSegmentSequence = {0xFD, 0, 0, 8};  // 102: segment out of order
inline constexpr TErrorBytes kErrUnknownRequest = {0, 0, 0, 7};      // 999: request code 4..7

// A whole reply frame: length, control (address 0), sequence, object ID, data, check.
std::vector<uint8_t> BuildReply(TReplyCode code, uint8_t sequence, uint16_t objectId,
                                std::span<const uint8_t> data);

// Recomputes the check after the frame's bytes were changed.
void StampCheck(std::vector<uint8_t>& reply);

}  // namespace kalvist::sim
