// Fault soak: a long run of reads and writes against the simulator while it injects a
// mix of faults into about 5 % of its replies, changing the values under test as it
// goes. Every value the link accepts is checked against what the simulator holds.
//
//   soak [--exchanges N] [--fault-rate P] [--timeout MS]
//
// Reports exchanges, faults injected, operations that met a fault and still
// succeeded, wrong values accepted (the goal is 0), operations failed after all
// repeats, and resident memory at start and end.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Clock.h"
#include "EventLoop.h"
#include "ZarnoSimulator.h"
#include "vltZarnoComm.h"

namespace kalvist {
namespace {

using sim::TFault;
using sim::TFaultKind;

constexpr uint16_t kShortObject = 10293;  // 2 bytes: one whole reply
constexpr uint16_t kLongObject = 30000;   // 60 bytes: three segments
constexpr int kLongSize = 60;

struct TStats {
  long operations = 0;
  long failed = 0;
  long wrongValues = 0;
  long recovered = 0;
  std::map<int, long> failures;  // by result code
};

int Run(long exchanges, double faultRate, uint32_t timeoutMs) {
  sim::TSimOptions options;
  options.SegmentSize = 20;
  options.LiveTickMs = 0;
  sim::TZarnoSimulator simulator(options);
  const std::string path = simulator.Start();
  simulator.AddObject(kLongObject, kLongSize);

  const TFaultKind kinds[] = {TFaultKind::NoReply,       TFaultKind::CorruptCrc,
                              TFaultKind::PartialReply,  TFaultKind::StrayFF,
                              TFaultKind::WrongObjectId, TFaultKind::WrongSegment,
                              TFaultKind::ErrorReply};
  for (TFaultKind kind : kinds) {
    TFault fault;
    fault.Kind = kind;
    fault.ErrorBytes = {0, 0, 0, 5};
    simulator.SetFaultProbability(fault, faultRate / std::size(kinds));
  }

  TEventLoop loop;
  TvltZarnoComm oper(loop);
  oper.PortPath = path;
  oper.SetCommTimeout(timeoutMs);
  int opened = -1;
  oper.OnOpenConnection = [&](TvltCustomConnection&, int r) { opened = r; };
  oper.OpenConnection();
  loop.RunUntil([&] { return opened >= 0; }, 5000);
  if (opened != 0) return 2;

  std::mt19937 random(7);
  std::vector<uint8_t> expected(kLongSize);
  std::vector<uint8_t> buffer(kLongSize);
  TStats stats;
  const long rssStart = bench::ResidentKiB();
  const uint64_t start = SteadyMs();

  while (static_cast<long>(simulator.Counters().Requests) < exchanges) {
    // The controller's value changes under the program's feet now and then.
    const bool longObject = random() % 2 == 0;
    const uint16_t id = longObject ? kLongObject : kShortObject;
    const size_t size = longObject ? kLongSize : 2;
    // The short object is password-protected: only the long one is written.
    const bool write = longObject && random() % 2 == 0;
    for (size_t i = 0; i < size; ++i) expected[i] = static_cast<uint8_t>(random());
    if (!write) simulator.SetObject(id, {expected.data(), size});

    const auto faultsBefore = simulator.Counters().FaultsInjected;
    std::optional<int> result;
    oper.OnReadCommObjResult = [&](TvltControllerOper&, int r) { result = r; };
    oper.OnWriteCommObjResult = [&](TvltControllerOper&, int r) { result = r; };
    int32_t got = static_cast<int32_t>(size);
    std::fill(buffer.begin(), buffer.end(), 0);
    const bool started = write
                             ? oper.WriteWithAccess(id, expected.data(), static_cast<int32_t>(size))
                             : oper.ReadWithAccess(id, buffer.data(), got);
    if (!started || !loop.RunUntil([&] { return result.has_value(); }, 60000)) {
      std::fprintf(stderr, "operation did not end\n");
      return 2;
    }
    ++stats.operations;
    const bool faulted = simulator.Counters().FaultsInjected != faultsBefore;
    if (*result != 0) {
      ++stats.failed;
      ++stats.failures[*result];
      continue;
    }
    if (faulted) ++stats.recovered;
    const auto held = simulator.GetObject(id);
    const bool right =
        write ? (held && std::equal(expected.begin(), expected.begin() + size, held->begin()))
              : (got == static_cast<int32_t>(size) &&
                 std::equal(expected.begin(), expected.begin() + size, buffer.begin()));
    if (!right) ++stats.wrongValues;
  }

  const auto counters = simulator.Counters();
  const double seconds = (SteadyMs() - start) / 1000.0;
  std::printf("exchanges (request frames): %llu in %.0f s\n",
              static_cast<unsigned long long>(counters.Requests), seconds);
  std::printf("operations: %ld, faults injected: %llu, floods received: %llu\n", stats.operations,
              static_cast<unsigned long long>(counters.FaultsInjected),
              static_cast<unsigned long long>(counters.FloodsReceived));
  std::printf("operations that met a fault and succeeded: %ld\n", stats.recovered);
  std::printf("wrong values accepted: %ld\n", stats.wrongValues);
  std::printf("operations failed after all repeats (or refused): %ld;", stats.failed);
  for (const auto& [code, count] : stats.failures) std::printf(" result %d: %ld", code, count);
  std::printf("\n");
  std::printf("resident memory: %ld KiB at start, %ld KiB at end\n", rssStart,
              bench::ResidentKiB());
  oper.CloseConnection();
  return stats.wrongValues == 0 ? 0 : 1;
}

}  // namespace
}  // namespace kalvist

int main(int argc, char** argv) {
  long exchanges = 100000;
  double rate = 0.05;
  uint32_t timeout = 100;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--exchanges")
      exchanges = std::atol(argv[i + 1]);
    else if (a == "--fault-rate")
      rate = std::atof(argv[i + 1]);
    else if (a == "--timeout")
      timeout = static_cast<uint32_t>(std::atoi(argv[i + 1]));
    else {
      std::fprintf(stderr, "usage: soak [--exchanges N] [--fault-rate P] [--timeout MS]\n");
      return 2;
    }
  }
  return kalvist::Run(exchanges, rate, timeout);
}
