// The program's own version resource, compiled in from the build's project settings.
#pragma once

#include "vltVerInfo.h"

namespace kalvist {

const TVersionResource& ProgramVersionResource();

}  // namespace kalvist
