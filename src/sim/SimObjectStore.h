// The controller's objects: raw little-endian bytes of a fixed size per object ID.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace kalvist::sim {

struct TSimObject {
  std::vector<uint8_t> Data;
  bool PasswordProtected = false;  // writes carry a 2-byte password word in front
};

class TSimObjectStore {
 public:
  // Adds a zeroed object, or resizes and re-flags an existing one (keeping its bytes).
  void Add(uint16_t id, int size, bool passwordProtected = false);
  TSimObject* Find(uint16_t id);
  const TSimObject* Find(uint16_t id) const;

  // Copies at most the object's size; the bytes beyond `bytes` keep their value.
  // False for an unknown object.
  bool Store(uint16_t id, std::span<const uint8_t> bytes);
  std::optional<std::vector<uint8_t>> Get(uint16_t id) const;

  // The first up to four bytes as a little-endian number (0 for an unknown object),
  // and the same number stored over the object's size.
  uint32_t Number(uint16_t id) const;
  void SetNumber(uint16_t id, uint32_t value);

 private:
  std::map<uint16_t, TSimObject> objects_;
};

// Little-endian bytes of `value` over `size` bytes (higher bytes are 0 beyond 4).
std::vector<uint8_t> LittleEndian(uint32_t value, size_t size);

}  // namespace kalvist::sim
