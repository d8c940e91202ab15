// Loading a file without fear: before a prepared parameter file (ParamFiles.h) is applied
// to a connected controller, what it will change, in the units the configuration pages
// show; and a restore point, the controller's configuration as it was, saved as a
// parameter file in "Parameters/Restore points", of which the ten newest are kept. The
// desktop program and the command-line tool show both the same way.
//
// Main thread only, like the device object.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ParamFiles.h"
#include "vltCommObject.h"

namespace kalvist {

class TZarno;

// The folder of the restore points, inside the "Parameters" folder.
inline constexpr std::string_view kRestorePointsFolder = "Restore points";
inline constexpr size_t kRestorePointsKept = 10;
// The controller's side of a change whose value the access level could not read.
inline constexpr std::string_view kNotRead = "(not read)";

// One parameter a file would change.
struct TParamChange {
  std::string Name;
  std::string ControllerValue;  // as the pages show it, or kNotRead
  std::string FileValue;        // as the pages show it
};

// A raw value as the configuration pages show it, with its unit ("20.0 °", "29.8 %",
// "1.000", "5480 Hz", "CANOpen mode", channels "1-3, 5"); texts as they are. Windows-1252,
// like every text of the device model.
std::string ShownValue(TZarno& zarno, uint16_t objectId, const TValue& raw);

// The catalogue entries whose value the prepared file would change on the device, in
// catalogue order; an entry named in `notRead` counts as changed, its controller side
// kNotRead. Nothing for a ".p16" file, whose values go through the pages' conversions.
std::optional<std::vector<TParamChange>> ParamFileChanges(TZarno& zarno,
                                                          const TPreparedParamFile& prepared,
                                                          const std::vector<std::string>& notRead);

// "No parameter changes", "1 parameter changes:" or "N parameters change:", or for a ".p16"
// import (no list) that its changes are known only once it is applied.
std::string ChangeSummary(const std::optional<std::vector<TParamChange>>& changes);
// "Name: controller value -> file value".
std::string ChangeLine(const TParamChange& change);
// The catalogue entries whose read level the access level does not reach: the device
// never read them, so their values are defaults.
std::vector<std::string> UnreadableParams(TZarno& zarno);

// The local time now, for the name of a restore point.
std::tm LocalNow();
// "<unit name>_yyyy-mm-dd_hh-mm-ss" and the extension of the device's save format.
std::string RestorePointName(TZarno& zarno, const std::tm& when);
// Saves the device's configuration, the entries in `notRead` left out (a restore point
// holds no defaults), as a new file in `folder` (made when missing), then deletes all but
// the kRestorePointsKept newest files of the folder. The path of the new file. Throws
// TKalvistError with the reason when it cannot be written: then nothing must be applied.
std::string WriteRestorePoint(TZarno& zarno, const std::string& folder,
                              const std::vector<std::string>& notRead, const std::tm& when);

}  // namespace kalvist
