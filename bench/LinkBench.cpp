// End to end: back-to-back reads of one object against the simulator, through the
// system's port (or the loopback line), the I/O thread, the hand-over and the operator.
// Prints exchanges per second, the program-side turnaround (last reply byte received
// to first byte of the next request, from the line trace), and heap allocations per
// exchange once running.
//
// The simulator: zarno-sim as its own process on a pseudo-terminal (the default where
// there are pseudo-terminals); --in-process, one in this process on the system's
// default line (the loopback on Windows); --port, one already answering at the far end
// of that port (e.g. COM5 under Wine, led to a pseudo-terminal).
//
//   link-bench [--reads N] [--pace] [--object ID] [--in-process | --port PATH]
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Clock.h"
#include "EventLoop.h"
#include "SimLauncher.h"
#include "ZarnoSimulator.h"
#include "vltZarnoComm.h"

namespace kalvist {
namespace {

struct TTraceRecord {
  TTraceDirection direction;
  uint64_t atUs;
};

double Percentile(std::vector<uint64_t> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return static_cast<double>(values[static_cast<size_t>(p * (values.size() - 1))]);
}

enum class TSimPlace { Process, InProcess, Port };

struct TOptions {
  int Reads = 2000;
  bool Pace = false;
  uint16_t Object = 10293;
  TSimPlace Place = DefaultDeviceLineKind() == TDeviceLineKind::PseudoTerminal
                        ? TSimPlace::Process
                        : TSimPlace::InProcess;
  std::string Port;
};

// The simulator the options ask for, and the path to open.
struct TSim {
  std::unique_ptr<bench::ISimHandle> Process;
  std::unique_ptr<sim::TZarnoSimulator> InProcess;
  std::string Path;
};

TSim StartSim(const TOptions& o) {
  TSim s;
  if (o.Place == TSimPlace::Port) {
    s.Path = o.Port;
  } else if (o.Place == TSimPlace::InProcess) {
    sim::TSimOptions options;
    options.LiveTickMs = 0;
    options.Pace = o.Pace;
    s.InProcess = std::make_unique<sim::TZarnoSimulator>(options);
    s.Path = s.InProcess->Start();
  } else {
    std::vector<std::string> args{"--tick", "0"};
    if (o.Pace) args.push_back("--pace");
    s.Process = bench::LaunchSimProcess(args);
    s.Path = s.Process->Path();
  }
  return s;
}

int Run(const TOptions& o) {
  const int reads = o.Reads;
  const bool pace = o.Pace;
  const uint16_t objectId = o.Object;
  const TSim sim = StartSim(o);

  TEventLoop loop;
  TvltZarnoComm oper(loop);
  oper.PortPath = sim.Path;

  // Preallocated: the trace runs on the I/O thread and must not allocate.
  std::vector<TTraceRecord> trace(static_cast<size_t>(reads) * 4 + 64);
  std::atomic<size_t> traced{0};
  bool recording = false;
  oper.Connection()->OnTrace = [&](TTraceDirection d, std::span<const uint8_t>, uint64_t atUs) {
    const size_t i = traced.fetch_add(1);
    if (i < trace.size()) trace[i] = {d, atUs};
  };

  int opened = -1;
  oper.OnOpenConnection = [&](TvltCustomConnection&, int r) { opened = r; };
  oper.OpenConnection();
  loop.RunUntil([&] { return opened >= 0; }, 5000);
  if (opened != 0) {
    std::fprintf(stderr, "cannot open %s: %d %s\n", sim.Path.c_str(), opened,
                 oper.Connection()->LastOpenError().c_str());
    return 1;
  }

  std::vector<uint8_t> buffer(128);
  int32_t size = 0;
  int done = 0;
  int failed = 0;
  auto next = [&] {
    size = static_cast<int32_t>(buffer.size());
    oper.ReadWithAccess(objectId, buffer.data(), size);
  };
  oper.OnReadCommObjResult = [&](TvltControllerOper&, int r) {
    if (r != 0) ++failed;
    if (recording) ++done;
    if (!recording || done < reads) next();
  };

  // Warm up: the access number and the first reads.
  for (int i = 0; i < 20; ++i) {
    bool got = false;
    oper.OnReadCommObjResult = [&](TvltControllerOper&, int) { got = true; };
    size = static_cast<int32_t>(buffer.size());
    oper.ReadWithAccess(objectId, buffer.data(), size);
    loop.RunUntil([&] { return got; }, 5000);
  }
  oper.OnReadCommObjResult = [&](TvltControllerOper&, int r) {
    if (r != 0) ++failed;
    if (++done < reads) next();
  };

  traced = 0;
  const uint64_t allocationsBefore = bench::Allocations();
  const uint64_t start = SteadyUs();
  next();
  loop.RunUntil([&] { return done >= reads; }, 600000);
  const uint64_t elapsedUs = SteadyUs() - start;
  const uint64_t allocations = bench::Allocations() - allocationsBefore;
  recording = false;

  std::vector<uint64_t> turnaround;
  const size_t count = std::min(traced.load(), trace.size());
  for (size_t i = 1; i < count; ++i) {
    if (trace[i - 1].direction == TTraceDirection::Received &&
        trace[i].direction == TTraceDirection::Sent) {
      turnaround.push_back(trace[i].atUs - trace[i - 1].atUs);
    }
  }

  const double perSecond = done * 1e6 / static_cast<double>(elapsedUs);
  std::printf("port: %s\n", sim.Path.c_str());
  std::printf("reads: %d (failed %d), object %u, %s\n", done, failed, objectId,
              pace ? "paced at 19200 baud" : "unpaced");
  std::printf("exchanges per second: %.1f\n", perSecond);
  std::printf("turnaround p50: %.0f us, p99: %.0f us (%zu samples)\n", Percentile(turnaround, 0.5),
              Percentile(turnaround, 0.99), turnaround.size());
  std::printf("heap allocations per exchange: %.3f (%llu in all)\n",
              static_cast<double>(allocations) / done,
              static_cast<unsigned long long>(allocations));
  if (pace) {
    // A read request is 9 bytes, the reply 7 + N; 10 bits a byte at 19200 baud.
    const double bytes = 9 + 7 + size;
    const double bound = 1920.0 / bytes;
    std::printf("line-rate bound: %.1f exchanges per second; reached %.1f %%\n", bound,
                100.0 * perSecond / bound);
  }
  oper.CloseConnection();
  return failed == 0 ? 0 : 1;
}

}  // namespace
}  // namespace kalvist

int main(int argc, char** argv) {
  kalvist::TOptions o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--reads" && i + 1 < argc) {
      o.Reads = std::atoi(argv[++i]);
    } else if (a == "--pace") {
      o.Pace = true;
    } else if (a == "--object" && i + 1 < argc) {
      o.Object = static_cast<uint16_t>(std::atoi(argv[++i]));
    } else if (a == "--in-process") {
      o.Place = kalvist::TSimPlace::InProcess;
    } else if (a == "--port" && i + 1 < argc) {
      o.Place = kalvist::TSimPlace::Port;
      o.Port = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: link-bench [--reads N] [--pace] [--object ID] "
                   "[--in-process | --port PATH]\n");
      return 2;
    }
  }
  try {
    return kalvist::Run(o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "link-bench: %s\n", e.what());
    return 1;
  }
}
