// One connection of the command-line tool: the device object on its own event loop,
// connected to a controller (or to the built-in simulator) by the device object's own
// sequence, with bounded waits for whatever it queues.
//
// Main thread only, except for the line trace, which the connection's I/O thread writes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EventLoop.h"
#include "MessageSink.h"
#include "Reconnector.h"
#include "vltZarno.h"

namespace kalvist::sim {
class TZarnoSimulator;
}

namespace kalvist::cli {

struct TSessionOptions {
  std::string Port;  // empty: the built-in simulator
  uint32_t TimeoutMs = 1000;
  uint16_t Retries = 3;
  uint8_t AccessNumber = 0;
  std::optional<uint16_t> Password;
  bool Trace = false;
  bool Reconnect = false;  // connect again when the same port comes back
  uint32_t ReconnectWaitMs = 120000;
  int SimKind = 20;
  std::optional<int> SimFirmware;
};

// What identification found, taken before a refused controller is disconnected.
struct TIdentity {
  uint8_t Mode = 0;
  uint8_t Firmware = 0;
  std::string UnitName;
  bool ThreeLevel = false;
  bool WindowInDegrees = false;
  uint8_t AccessLevel = 0;
  bool PasswordOK = false;
  int Parameters = 0;
  bool Supported = false;
};

// Writes the device model's messages as lines and counts them.
class TLineSink : public IMessageSink {
 public:
  void Show(const TMessage& m, std::function<void()> closed) override;
  int Count() const { return count_; }
  // Runs before each message: a line redrawn in place ends there first.
  std::function<void()> BeforeMessage;

 private:
  int count_ = 0;
};

class TCliSession {
 public:
  explicit TCliSession(TSessionOptions options);
  ~TCliSession();
  TCliSession(const TCliSession&) = delete;
  TCliSession& operator=(const TCliSession&) = delete;

  // Connects, identifies, checks the firmware, resets the password and enters the
  // password of the options. exOk, exNoDevice (no controller, unknown or unsupported),
  // or exFailed (the password was not accepted).
  int Open();
  const TIdentity& Identity() const { return identity_; }
  // Whether a controller was identified (also one refused for its firmware).
  bool Identified() const { return identified_; }
  const std::string& PortPath() const { return portPath_; }

  TZarno& Zarno() { return *zarno_; }
  TEventLoop& Loop() { return loop_; }

  // Runs the loop until everything queued has ended, for at most the time `transfers`
  // transfers may take when each exhausts its tries. False when the bound ran out or
  // the connection ended on the way.
  // `stop`, when given, ends the wait early (and the result is false then, unless all
  // had ended).
  bool Settle(int transfers, const std::function<bool()>& stop = {});
  // Runs the loop for `ms` milliseconds.
  void Idle(uint32_t ms);
  // After the connection was lost: with --reconnect, waits (bounded) until the same
  // port is back and the controller connected again, with the password that had been
  // accepted. Tells the user on stderr. False when not asked to, or it did not come back.
  bool AwaitReconnect();

  // Reads every catalogue entry the access level lets through. The names of the entries
  // not read (they hold their defaults), in catalogue order; nothing (reported) when the
  // controller did not finish.
  std::optional<std::vector<std::string>> ReadConfiguration();

  // The result of the last queued transfer of that object since ForgetResults.
  std::optional<int> ReadResult(uint16_t id) const;
  std::optional<int> WriteResult(uint16_t id) const;
  void ForgetResults();

  // Prints an error line in the device model's style.
  void Error(const std::string& text);
  int MessagesShown() const { return sink_.Count(); }
  void SetBeforeMessage(std::function<void()> before) { sink_.BeforeMessage = std::move(before); }

 private:
  void StartSimulator();
  void SetUpLink();
  void HandleConnect();
  bool Settled() const;
  uint64_t TransferBoundMs() const;

  TSessionOptions options_;
  TEventLoop loop_;
  TLineSink sink_;
  std::unique_ptr<sim::TZarnoSimulator> simulator_;
  std::unique_ptr<TZarno> zarno_;
  std::unique_ptr<TReconnector> reconnector_;
  std::string portPath_;
  TIdentity identity_;
  bool identified_ = false;
  std::map<uint16_t, int> reads_;
  std::map<uint16_t, int> writes_;
  uint64_t traceStartUs_ = 0;
};

}  // namespace kalvist::cli
