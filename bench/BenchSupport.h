// What the end-to-end benchmarks measure of their own process: heap allocations
// (counted by the operator new of BenchAllocations.cpp, on every system), resident
// memory and CPU time (BenchSupport.cpp, Linux).
#pragma once

#include <cstdint>

namespace kalvist::bench {

uint64_t Allocations();
long ResidentKiB();
double CpuSeconds();

}  // namespace kalvist::bench
