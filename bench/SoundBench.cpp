// End to end: one sound recording from zarno-sim's stream over a pseudo-terminal,
// through the termios port, the stream reader, the hand-over, the operator and the
// device object's file writer. Prints the samples per second sustained (with every
// block in order: a lost or broken block ends the recording with its code), the CPU
// time of this process per second of audio at 41000 samples/s, the heap allocations
// per block once running, and the resident memory over the recording.
//
//   sound-bench [--seconds S] [--size K] [--rate SAMPLES_PER_S] [--file PATH]
//
// --rate 0 (the default) lets the simulator stream as fast as it is read.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Clock.h"
#include "EventLoop.h"
#include "SimProcess.h"
#include "fZarnoSound.h"
#include "vltZarno.h"

namespace kalvist {
namespace {

constexpr double kNominalRate = 41000;
constexpr uint32_t kMemorySampleMs = 1000;

struct TOptions {
  int Seconds = 10;
  int SizeCode = 0;
  uint32_t Rate = 0;
  std::string File = (std::filesystem::temp_directory_path() / "sound-bench.au").string();
};

int Run(const TOptions& o) {
  bench::TSimProcess sim({"--tick", "0", "--sound-size", std::to_string(o.SizeCode), "--sound-rate",
                          std::to_string(o.Rate)});
  TEventLoop loop;
  TZarno zarno(loop);
  zarno.SetPortPath(sim.Path());
  zarno.SetSoundForm(std::make_unique<TfmZarnoSoundHeadless>(loop));
  zarno.Connect();
  if (!loop.RunUntil([&] { return zarno.IsConnected(); }, 10000)) {
    std::fprintf(stderr, "cannot connect to %s\n", sim.Path().c_str());
    return 1;
  }

  // Counted from the first block on: the start's own set-up stays out.
  uint64_t blocks = 0;
  uint64_t startUs = 0;
  double startCpu = 0;
  uint64_t allocationsAtFirst = 0;
  std::vector<long> resident;
  resident.reserve(static_cast<size_t>(o.Seconds) * 2 + 8);  // no allocation while counting
  auto& comm = zarno.Comm();
  auto recorded = comm.OnSoundData;
  comm.OnSoundData = [&](TvltZarnoComm& sender, int result, const uint16_t* samples, int count) {
    if (blocks++ == 0) {
      startUs = SteadyUs();
      startCpu = bench::CpuSeconds();
      allocationsAtFirst = bench::Allocations();
    }
    recorded(sender, result, samples, count);
  };
  const TTimerId memory =
      loop.StartTimer(kMemorySampleMs, [&] { resident.push_back(bench::ResidentKiB()); });

  zarno.RecordSound(o.File, "1", o.Seconds, 1);
  const uint64_t endUs = SteadyUs();
  const double endCpu = bench::CpuSeconds();
  const uint64_t allocations = bench::Allocations() - allocationsAtFirst;
  loop.StopTimer(memory);
  loop.RunUntil([&] { return !zarno.SoundFileOpen(); }, 10000);

  const auto bytes = std::filesystem::file_size(o.File) - 24;
  const double frames = static_cast<double>(bytes) / 4;
  const double seconds = static_cast<double>(endUs - startUs) / 1e6;
  const double audioSeconds = frames / kNominalRate;
  std::printf("block size code %d (%d samples), simulator rate %s\n", o.SizeCode,
              (o.SizeCode + 1) * 256,
              o.Rate == 0 ? "unthrottled" : (std::to_string(o.Rate) + " samples/s").c_str());
  std::printf("recording: %.2f s, %llu blocks, %.0f samples, sound error %d\n", seconds,
              static_cast<unsigned long long>(blocks), frames, zarno.SoundError);
  std::printf("samples per second sustained: %.0f (%.1f x 41000)\n", frames / seconds,
              frames / seconds / kNominalRate);
  std::printf("CPU time per second of audio at 41000 samples/s: %.2f ms (%.2f s CPU in all)\n",
              1000 * (endCpu - startCpu) / audioSeconds, endCpu - startCpu);
  std::printf("heap allocations per block once running: %.3f (%llu in all)\n",
              static_cast<double>(allocations) / static_cast<double>(blocks),
              static_cast<unsigned long long>(allocations));
  if (!resident.empty()) {
    std::printf("resident memory: first %ld KiB, last %ld KiB, highest %ld KiB (%zu samples)\n",
                resident.front(), resident.back(),
                *std::max_element(resident.begin(), resident.end()), resident.size());
  }
  std::filesystem::remove(o.File);
  zarno.Disconnect();
  return zarno.SoundError == 0 ? 0 : 1;
}

}  // namespace
}  // namespace kalvist

int main(int argc, char** argv) {
  kalvist::TOptions o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--seconds")
      o.Seconds = std::atoi(argv[i + 1]);
    else if (a == "--size")
      o.SizeCode = std::atoi(argv[i + 1]);
    else if (a == "--rate")
      o.Rate = static_cast<uint32_t>(std::atol(argv[i + 1]));
    else if (a == "--file")
      o.File = argv[i + 1];
    else
      i = argc;
  }
  if (argc % 2 == 0 || o.Seconds < 1 || o.SizeCode < 0 || o.SizeCode > 15) {
    std::fprintf(stderr, "usage: sound-bench [--seconds S] [--size 0..15] [--rate N] [--file F]\n");
    return 2;
  }
  return kalvist::Run(o);
}
