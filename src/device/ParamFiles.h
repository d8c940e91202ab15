// The parameter-file commands the GUI and the command-line tool share: loading a file of
// any kind into the device object (checks, the offline switch of hardware kind and
// firmware, adaptation to the connected controller's firmware), the conversion of old
// layouts in memory, and the file names and filters by format.
//
// What only the caller can do comes in through TParamFileHooks: the GUI shows its
// dialogs and refreshes its pages there, the command-line tool decides without asking.
// Errors go to the device object's ShowError and do not wait; a file on disk is never
// changed by loading. Main thread only, like the device object.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "IniFile.h"
#include "WindowConversion.h"

namespace kalvist {

class TZarno;
class IParamPageTarget;

// Sections and keys of the INI layout.
inline constexpr std::string_view kIdentificationSection = "identification";
inline constexpr std::string_view kParametersSection = "parameters";
inline constexpr std::string_view kParameters2Section = "parameters2";
inline constexpr std::string_view kCylinderSection = "CylinderConfiguration";
inline constexpr std::string_view kFileVersionKey = "FileVersion";
inline constexpr std::string_view kHWTypeKey = "HWType";
inline constexpr std::string_view kSWVersionKey = "SWVersion";
inline constexpr std::string_view kFiringToChannelKey = "FiringToChannelItem";    // + 1..20
inline constexpr std::string_view kFiringToCylinderKey = "FiringToCylinderItem";  // + 1..20

// ".zrp" for format 0, ".zrn" for 1, ".zr2" for 2 (TZarno::GetSaveFileFormat).
std::string SaveFileExtension(uint8_t format);
// The filters of the save and open dialogs. OpenFileFilter throws TKalvistError
// "TmSetUp.actOpenParamFileExecute - undefined mode" while connected to a controller of
// a kind other than 0 and 1.
std::string SaveFileFilter(uint8_t format);
std::string OpenFileFilter(bool connected, uint8_t zarnoMode);
// The extension of `fileName` in lower case, with its dot ("" when there is none).
std::string FileExtension(std::string_view fileName);

// What a window conversion has to know (the conversion dialog shows exactly this).
struct TWindowConversionRequest {
  TWindowDirection Direction = TWindowDirection::DegreesToMicroseconds;
  TWindowPair Source;
  bool FourStroke = true;  // shown only; the conversion does not depend on it
  TWindowLimits Limits;
  int32_t Speed = kDefaultWindowSpeed;
};
// The converted pair, or nothing when the user cancels.
using TWindowDecision = std::function<std::optional<TWindowPair>(const TWindowConversionRequest&)>;
// Converts at `rpm` (limited to the speed range) and sets values above their limits to
// the limits, as the dialog does when its warning is confirmed.
TWindowDecision ConvertAtSpeed(int32_t rpm);

struct TParamFileHooks {
  // Shown in "Parameters file was created by newer version of <title>".
  std::string ProgramTitle = "Kalvist";
  // The main window's selection of the offline firmware version; it must end in the
  // device object's SetOfflineSWversion. Unset: SetOfflineSWversion alone.
  std::function<void(int32_t version)> SelectOfflineVersion;
  // Asked when a file's detonation window is in the other unit. Unset: cancelled.
  TWindowDecision ConvertWindow;
  // An information box that waits for the user. Unset: an information message that
  // does not wait.
  std::function<void(const std::string& text)> ShowInformation;
  // The main window's refresh after an old file or a ".p16" import; may stay unset.
  std::function<void()> RefreshForDevice;
  // Offline, after any load: show the hardware kind, sensors and cylinder count the
  // file brought; may stay unset.
  std::function<void()> ShowOfflineDevice;
  // Where a ".p16" import puts its values: the GUI's pages. Unset: straight into the
  // device object, the way the pages would (TZarnoPageTarget).
  IParamPageTarget* PageTarget = nullptr;
};

enum class TParamFileResult {
  Loaded,     // applied
  Cancelled,  // the window conversion was cancelled: nothing applied, nothing shown
  Failed,     // a message was shown; what was applied before the failure stays
};

// Moves every key of `from` into `to` (in order, replacing keys of the same name), then
// erases `from`. Nothing happens when the names are equal (without regard to case).
void RenameSection(TIniFile& ini, std::string_view from, std::string_view to);
// Gives the contents of an old ".zrn" or ".zr2" file the new layout: "parameters2"
// becomes "parameters", and the identification (replacing any) says kind 1 version 12
// for those, kind 0 version 24 for a file with "Gain1", kind 0 version 19 otherwise.
void ConvertOldFile(TIniFile& ini);
// The refusal text for a file that lacks a section or identification key, comes from a
// newer program, or names a hardware type other than 0, 1 and 2; nothing for a file
// that may be applied.
std::optional<std::string> CheckParamFile(const TIniFile& ini, const std::string& programTitle);
// Only the sections of the new layout, in their order: identification (its three keys as
// integers), parameters, and the cylinder configuration when the file has one.
TIniFile NewLayout(const TIniFile& ini);

// How a file is read: ".zrp" in the new layout, ".zrn" and ".zr2" in the old one, ".p16"
// as an old 16-channel file; any other extension by its content (a complete
// identification section: the new layout, else the old one).
enum class TParamFileKind { NewLayout, OldLayout, P16 };

struct TParamFileText {
  TParamFileKind Kind = TParamFileKind::NewLayout;
  std::string Text;
};
// Whether an INI holds the "identification" section with its three keys.
bool HasIdentification(const TIniFile& ini);
// Reads a parameter file and decides how it is read. Throws TKalvistError with the
// reason when it cannot be read, when a file read as the old layout or as ".p16" is no
// text (a NUL or another control byte than CR, LF and TAB), or when no line of a ".p16"
// file is an integer 0..255.
TParamFileText ReadParamFileText(const std::string& fileName);
// The new layout in memory of a file read as the new or the old layout (converted).
TIniFile ParamFileIni(const TParamFileText& file, const std::string& fileName);

// Checks a file in the new layout and applies it: offline it first switches the device
// object to the file's hardware kind and firmware; connected it refuses another kind or
// too low an access level and adapts values of another firmware version (filter
// frequencies clamped with an information text, the window converted through the
// hooks). A hardware type other than 0, 1 and 2 is refused, and so is a file with any
// value its object cannot hold (all of them named, nothing applied); values outside the
// pages' valid range are applied with a warning that names them.
TParamFileResult ApplyParamFile(TZarno& zarno, TIniFile& ini, const TParamFileHooks& hooks);
// Loads a file of any kind as ReadParamFileText reads it; a file refused for its content
// changes nothing. PrepareParamFile, then ApplyPreparedParamFile.
TParamFileResult LoadParamFile(TZarno& zarno, const std::string& fileName,
                               const TParamFileHooks& hooks);

// A file read and made ready to apply: for the new and the old layout checked against the
// device and adapted to its firmware (offline, the device has taken the file's hardware
// kind and firmware); a ".p16" file only read.
struct TPreparedParamFile {
  std::string FileName;  // empty: the file could not be read
  TParamFileKind Kind = TParamFileKind::NewLayout;
  TIniFile Ini;      // the new layout, for the new and the old layout
  std::string Text;  // a ".p16" file's text
};
// The first half of LoadParamFile, for a caller that shows what will change and keeps a
// restore point before anything is written (ParamFilesSafety.h). Loaded: ready; the
// refusals are shown as LoadParamFile shows them.
TParamFileResult PrepareParamFile(TZarno& zarno, const std::string& fileName,
                                  const TParamFileHooks& hooks, TPreparedParamFile& prepared);
// The second half: applies a prepared file (and writes it, when connected).
TParamFileResult ApplyPreparedParamFile(TZarno& zarno, const TPreparedParamFile& prepared,
                                        const TParamFileHooks& hooks);

}  // namespace kalvist
