// The operator the device model owns: it creates its connection, opens and closes the
// port, and puts the access-number write in front of operations when the controller
// expects it (after opening, and after 10 s without a good reply).
//
// Main thread only.
#pragma once

#include <memory>
#include <string>

#include "vltControllerOper.h"
#include "vltZarnoConnection.h"

namespace kalvist {

class TvltZarnoComm : public TvltControllerOper {
 public:
  explicit TvltZarnoComm(IMainThread& mainThread);
  // Tests put a scripted connection in place of the serial one.
  TvltZarnoComm(IMainThread& mainThread, std::unique_ptr<TvltCustomConnection> connection);
  ~TvltZarnoComm() override;

  static constexpr uint64_t kAccessLifetimeMs = 10000;

  uint8_t AccessNum = 0;
  uint32_t COM = 1;
  // The device path that Open uses on this platform (COM keeps the design's number).
  std::string PortPath;
  TConnResult OnOpenConnection;
  TConnResult OnCloseConnection;

  void OpenConnection();
  void CloseConnection();

  // As the plain operations, with the access-number prelude when it is due.
  bool ReadWithAccess(uint16_t objectId, uint8_t* buffer, int32_t& size);
  bool WriteWithAccess(uint16_t objectId, const uint8_t* buffer, int32_t size);
  bool WritePrefixedWithAccess(uint16_t objectId, const uint8_t* buffer, uint16_t prefix,
                               int32_t size);

  // Maps a link result to an operation result (used where no repeats apply).
  static int ResultOfLink(const TLinkReply& reply);

 protected:
  void HandleTransfer(TLinkReply* reply) override;

 private:
  enum class TPendingKind : uint8_t { None, Read, Write, WritePrefixed, SoundSource };
  struct TPending {
    TPendingKind Kind = TPendingKind::None;
    uint16_t ObjectID = 0;
    uint8_t* Buffer = nullptr;
    const uint8_t* Source = nullptr;
    int32_t Size = 0;
    uint16_t Prefix = 0;
  };

  bool AccessValid() const;
  bool RunPrelude(const TPending& pending);
  void HandlePreludeResult(int result);
  bool StartPending();

  std::unique_ptr<TvltCustomConnection> connection_;
  TPending pending_;
  TCommObjResult savedWriteResult_;
  bool accessNeeded_ = true;
  uint64_t lastGoodReply_ = 0;
  uint8_t accessValue_[2] = {0, 0};
};

}  // namespace kalvist
