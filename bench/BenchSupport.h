// What the end-to-end benchmarks measure of their own process: heap allocations
// (counted by the operator new of BenchSupport.cpp), resident memory and CPU time.
#pragma once

#include <cstdint>

namespace kalvist::bench {

uint64_t Allocations();
long ResidentKiB();
double CpuSeconds();

}  // namespace kalvist::bench
