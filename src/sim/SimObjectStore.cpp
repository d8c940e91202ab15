#include "SimObjectStore.h"

#include <algorithm>

namespace kalvist::sim {

void TSimObjectStore::Add(uint16_t id, int size, bool passwordProtected) {
  TSimObject& object = objects_[id];
  object.Data.resize(static_cast<size_t>(std::max(size, 0)));
  object.PasswordProtected = passwordProtected;
}

TSimObject* TSimObjectStore::Find(uint16_t id) {
  const auto it = objects_.find(id);
  return it == objects_.end() ? nullptr : &it->second;
}

const TSimObject* TSimObjectStore::Find(uint16_t id) const {
  const auto it = objects_.find(id);
  return it == objects_.end() ? nullptr : &it->second;
}

bool TSimObjectStore::Store(uint16_t id, std::span<const uint8_t> bytes) {
  TSimObject* object = Find(id);
  if (!object) return false;
  const size_t n = std::min(bytes.size(), object->Data.size());
  std::copy_n(bytes.begin(), n, object->Data.begin());
  return true;
}

std::optional<std::vector<uint8_t>> TSimObjectStore::Get(uint16_t id) const {
  const TSimObject* object = Find(id);
  if (!object) return std::nullopt;
  return object->Data;
}

uint32_t TSimObjectStore::Number(uint16_t id) const {
  const TSimObject* object = Find(id);
  if (!object) return 0;
  uint32_t value = 0;
  const size_t n = std::min<size_t>(object->Data.size(), 4);
  for (size_t i = 0; i < n; ++i) value |= static_cast<uint32_t>(object->Data[i]) << (8 * i);
  return value;
}

void TSimObjectStore::SetNumber(uint16_t id, uint32_t value) {
  if (const TSimObject* object = Find(id)) Store(id, LittleEndian(value, object->Data.size()));
}

std::vector<uint8_t> LittleEndian(uint32_t value, size_t size) {
  std::vector<uint8_t> bytes(size, 0);
  for (size_t i = 0; i < std::min<size_t>(size, 4); ++i)
    bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  return bytes;
}

}  // namespace kalvist::sim
