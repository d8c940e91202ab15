// The objects a fresh controller holds: every catalogue entry of every group with its
// default, and the live, identification, password and diagnostic objects.
#pragma once

#include "SimObjectStore.h"
#include "SimOptions.h"

namespace kalvist::sim {

TSimObjectStore SeededStore(const TSimOptions& options);

}  // namespace kalvist::sim
