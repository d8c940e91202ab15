// Unplug and replug against the simulator: the port hangs up (while idle, or while the
// live values are being polled), then a new pseudo-terminal appears behind the same
// link. Prints how long the program took to notice the loss, and how long from the
// port's return to a connected, identified controller with the password entered again.
//
//   reconnect-bench [--rounds N]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "EventLoop.h"
#include "MessageThread.h"
#include "Reconnector.h"
#include "ZarnoSimulator.h"
#include "vltZarno.h"

namespace kalvist {
namespace {

class TQuietSink : public IMessageSink {
 public:
  void Show(const TMessage&, std::function<void()> closed) override { closed(); }
};

double Median(std::vector<uint64_t> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : static_cast<double>(v[v.size() / 2]);
}

int Run(int rounds) {
  TQuietSink sink;
  SetMessageSink(&sink);
  const std::string link = "/tmp/kalvist-reconnect-bench-" + std::to_string(getpid());
  sim::TSimOptions options;
  options.LinkPath = link;
  sim::TZarnoSimulator simulator(options);
  simulator.Start();

  TEventLoop loop;
  TZarno zarno(loop);
  zarno.SetPortPath(link);
  TReconnector reconnector(zarno, loop);
  reconnector.Enabled = true;
  reconnector.PollMs = 100;
  bool reconnected = false;
  reconnector.OnReconnected = [&](TReconnector&) { reconnected = true; };
  zarno.OnConnect = [&](TZarno& z) {
    z.ResetPassword();
    reconnector.Connected();
  };
  zarno.OnDisconnect = [&](TZarno&) { reconnector.Disconnected(); };
  zarno.Connect();
  loop.RunUntil([&] { return zarno.IsConnected(); }, 10000);
  zarno.EnterPassword(1111);
  loop.RunUntil([&] { return zarno.PasswordOK(); }, 10000);

  for (const bool polling : {false, true}) {
    std::vector<uint64_t> detection;
    std::vector<uint64_t> reconnect;
    TTimerId poll = 0;
    if (polling) {
      poll = loop.StartTimer(100, [&] {
        if (!zarno.IsConnected()) return;
        zarno.ReadStatus();
        zarno.ReadLiveValues();
      });
    }
    for (int i = 0; i < rounds; ++i) {
      loop.RunUntil(nullptr, 300);
      const uint64_t hangUp = loop.NowMs();
      simulator.HangUp();
      if (!loop.RunUntil([&] { return reconnector.Watching(); }, 10000)) return 1;
      detection.push_back(loop.NowMs() - hangUp);
      reconnected = false;
      const uint64_t back = loop.NowMs();
      simulator.Start();
      if (!loop.RunUntil([&] { return reconnected && zarno.PasswordOK(); }, 10000)) return 1;
      reconnect.push_back(loop.NowMs() - back);
    }
    if (poll) loop.StopTimer(poll);
    std::printf(
        "%s: loss noticed after %.0f ms (median of %d), connected again with the "
        "password %.0f ms after the port returned (median; polled every %u ms)\n",
        polling ? "while polling" : "while idle", Median(detection), rounds, Median(reconnect),
        reconnector.PollMs);
  }
  zarno.OnDisconnect = nullptr;
  zarno.Disconnect();
  SetMessageSink(nullptr);
  return 0;
}

}  // namespace
}  // namespace kalvist

int main(int argc, char** argv) {
  int rounds = 5;
  if (argc == 3 && std::string(argv[1]) == "--rounds") rounds = std::atoi(argv[2]);
  return kalvist::Run(rounds);
}
