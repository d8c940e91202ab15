#include "KalvistError.h"
#include "vltZarno.h"

namespace kalvist {

namespace {

const TZarnoParam* AsParam(const TCustomCommObject& commObj) {
  return dynamic_cast<const TZarnoParam*>(&commObj);
}

}  // namespace

uint8_t TZarnoQueue::CurrentLevel() const {
  if (!OnAccessMode) throw TKalvistError("AccessMode event not assigned", "vltZarno", 2211);
  return OnAccessMode();
}

bool TZarnoQueue::ReadPermitted(const TCustomCommObject& commObj) const {
  const TZarnoParam* param = AsParam(commObj);
  return !AccessCheck || !param || param->ReadLevel >= CurrentLevel();
}

bool TZarnoQueue::WritePermitted(const TCustomCommObject& commObj) const {
  const TZarnoParam* param = AsParam(commObj);
  if (!AccessCheck || !param) return true;
  const uint8_t needed = param->LoadedFromFile ? param->FileWriteLevel : param->WriteLevel;
  return needed >= CurrentLevel();
}

bool TZarnoQueue::EnqueueRead(TCustomCommObject& commObj) {
  RequireSiteComm("vltZarno", 2238);
  if (!ReadPermitted(commObj)) return false;
  return Queue(commObj, false);
}

bool TZarnoQueue::EnqueueWrite(TCustomCommObject& commObj) {
  RequireSiteComm("vltZarno", 2257);
  if (!WritePermitted(commObj)) return false;
  if (AccessCheck) {
    if (auto* param = dynamic_cast<TZarnoParam*>(&commObj)) param->LoadedFromFile = false;
  }
  return Queue(commObj, true);
}

void TZarnoQueue::StartHead() {
  if (!AccessCheck) {
    TvltControllerQueue::StartHead();
    return;
  }
  StartHeadAsserted("vltZarno", 2221);
}

TvltZarnoComm& TZarnoQueue::ZarnoComm() const {
  // Only the device's operator knows the access prelude that the checks rely on.
  auto* comm = dynamic_cast<TvltZarnoComm*>(SiteComm());
  if (!comm) throw TKalvistError("Assertion failure", "vltZarno", 2221);
  return *comm;
}

bool TZarnoQueue::StartRead(uint16_t objectId, uint8_t* buffer, int32_t& size) {
  if (!AccessCheck) return TvltControllerQueue::StartRead(objectId, buffer, size);
  return ZarnoComm().ReadWithAccess(objectId, buffer, size);
}

bool TZarnoQueue::StartWrite(uint16_t objectId, const uint8_t* buffer, int32_t size) {
  if (!AccessCheck) return TvltControllerQueue::StartWrite(objectId, buffer, size);
  return ZarnoComm().WriteWithAccess(objectId, buffer, size);
}

bool TZarnoQueue::StartWritePrefixed(uint16_t objectId, const uint8_t* buffer, uint16_t prefix,
                                     int32_t size) {
  if (!AccessCheck) {
    return TvltControllerQueue::StartWritePrefixed(objectId, buffer, prefix, size);
  }
  return ZarnoComm().WritePrefixedWithAccess(objectId, buffer, prefix, size);
}

}  // namespace kalvist
