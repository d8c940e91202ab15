// Micro-benchmarks of the frame codec: the work done per exchange on the main thread.
#include <benchmark/benchmark.h>

#include <numeric>

#include "vltLinkFrame.h"

namespace kalvist {
namespace {

std::array<uint8_t, kMaxReplySize> MakeReply(uint8_t n) {
  std::array<uint8_t, kMaxReplySize> reply{};
  reply[0] = n;
  reply[1] = static_cast<uint8_t>(TReplyCode::ReadData);
  reply[3] = 0x21;
  reply[4] = 0x28;
  std::iota(reply.begin() + 5, reply.begin() + 5 + n, 0);
  const uint16_t crc = Crc16({reply.data(), static_cast<size_t>(n) + 5});
  reply[5 + n] = crc & 0xFF;
  reply[6 + n] = crc >> 8;
  return reply;
}

void BM_Crc16LongestReply(benchmark::State& state) {
  const auto reply = MakeReply(127);
  for (auto _ : state) benchmark::DoNotOptimize(Crc16(reply));
  state.SetBytesProcessed(state.iterations() * kMaxReplySize);
}
BENCHMARK(BM_Crc16LongestReply);

void BM_BuildReadRequest(benchmark::State& state) {
  TLinkRequest request;
  request.ObjectID = 10273;
  TSegmentCounters counters{};
  std::array<uint8_t, kMaxRequestSize> out{};
  for (auto _ : state) {
    UpdateSegmentCounter(counters, request);
    benchmark::DoNotOptimize(BuildRequest(request, out));
  }
}
BENCHMARK(BM_BuildReadRequest);

void BM_BuildLongestWrite(benchmark::State& state) {
  TLinkRequest request;
  request.Op = TLinkOp::Write;
  request.ObjectID = 13464;
  request.DataLength = kMaxFrameData;
  std::array<uint8_t, kMaxRequestSize> out{};
  for (auto _ : state) benchmark::DoNotOptimize(BuildRequest(request, out));
}
BENCHMARK(BM_BuildLongestWrite);

void BM_EvaluateReply(benchmark::State& state) {
  const auto n = static_cast<uint8_t>(state.range(0));
  const auto reply = MakeReply(n);
  TLinkRequest request;
  request.ObjectID = 10273;
  const TSegmentCounters counters{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(EvaluateReply(
        TReception::Complete, {reply.data(), static_cast<size_t>(n) + 7u}, request, counters));
  }
}
BENCHMARK(BM_EvaluateReply)->Arg(2)->Arg(20)->Arg(127);

}  // namespace
}  // namespace kalvist
