// The device model at the real line rate, against zarno-sim --pace in its own process:
//  - monitor: the main window's 100 ms poll (status, bad sensors, intensities, output)
//    for N seconds: how long each tick's four reads take, and the longest the queue got;
//  - dump: the whole configuration read, against the line-rate bound of its frames.
//
//   device-bench [--seconds N]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "EventLoop.h"
#include "MessageThread.h"
#include "SimProcess.h"
#include "vltZarno.h"

namespace kalvist {
namespace {

constexpr double kByteMs = 1000.0 / 1920.0;  // 10 bits at 19200 baud

// Line time of one read exchange: a 9-byte request, a reply of 7 + size bytes (a
// longer object in segments of 126 with one segment byte each).
double ReadLineMs(int size) {
  const int segments = size <= 127 ? 1 : (size + 125) / 126;
  const int replyBytes = size <= 127 ? 7 + size : segments * 8 + size;
  return (segments * 9 + replyBytes) * kByteMs;
}

int Run(int seconds) {
  bench::TSimProcess sim({"--pace"});
  TEventLoop loop;
  TZarno zarno(loop);
  zarno.SetPortPath(sim.Path());
  zarno.OnConnect = [](TZarno& z) { z.ResetPassword(); };
  zarno.Connect();
  if (!loop.RunUntil([&] { return zarno.IsConnected(); }, 10000)) return 1;
  zarno.EnterPassword(1111);  // administrator: every entry may be read
  if (!loop.RunUntil(
          [&] { return zarno.PasswordOK() && zarno.Queue().Count() == 0 && !zarno.Comm().Busy(); },
          10000))
    return 1;

  // Dump.
  double bound = 0;
  int reads = 0;
  for (int i = 0; i < zarno.Params().Count(); ++i) {
    bound += ReadLineMs(zarno.Params().Items(i).Size());
    ++reads;
  }
  bound += 3 * ReadLineMs(2);  // the diagnostic objects
  reads += 3;
  uint64_t start = loop.NowMs();
  zarno.ReadAllParameters();
  loop.RunUntil([&] { return zarno.Queue().Count() == 0 && !zarno.Comm().Busy(); }, 60000);
  const double dumpMs = static_cast<double>(loop.NowMs() - start);
  std::printf("dump: %d reads in %.0f ms; line-rate bound %.0f ms; %.1f %% above the bound\n",
              reads, dumpMs, bound, 100.0 * (dumpMs - bound) / bound);

  // Monitor.
  std::vector<uint64_t> tickMs;
  size_t longestQueue = 0;
  uint64_t tickStart = 0;
  int pending = 0;
  zarno.OnObjectChanged = [&](TZarno&, uint16_t id) {
    if (id == idRegulationOutput && pending > 0 && --pending == 0) {
      tickMs.push_back(loop.NowMs() - tickStart);
    }
  };
  const TTimerId timer = loop.StartTimer(100, [&] {
    if (pending == 0) tickStart = loop.NowMs();
    ++pending;
    zarno.ReadStatus();
    zarno.ReadLiveValues();
    longestQueue = std::max(longestQueue, static_cast<size_t>(zarno.Queue().Count()));
  });
  start = loop.NowMs();
  loop.RunUntil(nullptr, static_cast<uint64_t>(seconds) * 1000);
  loop.StopTimer(timer);
  std::sort(tickMs.begin(), tickMs.end());
  const auto at = [&](double p) {
    return tickMs.empty() ? 0 : tickMs[static_cast<size_t>(p * (tickMs.size() - 1))];
  };
  std::printf(
      "monitor: %zu ticks in %d s; four reads per tick took %llu ms (median), %llu ms "
      "(p99), %llu ms (max); longest queue %zu entries\n",
      tickMs.size(), seconds, static_cast<unsigned long long>(at(0.5)),
      static_cast<unsigned long long>(at(0.99)), static_cast<unsigned long long>(at(1.0)),
      longestQueue);
  zarno.Disconnect();
  return 0;
}

}  // namespace
}  // namespace kalvist

int main(int argc, char** argv) {
  int seconds = 60;
  if (argc == 3 && std::string(argv[1]) == "--seconds") seconds = std::atoi(argv[2]);
  return kalvist::Run(seconds);
}
