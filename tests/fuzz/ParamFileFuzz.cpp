// Parameter files: arbitrary text read as an INI file and applied to an offline device
// model. A file the checks refuse changes nothing; a file that loads holds, for every
// catalogue entry it names, exactly the value the entry took; the INI model writes
// text that reads back as the same sections and keys.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "EventLoop.h"
#include "FuzzCheck.h"
#include "IniFile.h"
#include "KalvistError.h"
#include "ParamFiles.h"
#include "ParamRanges.h"
#include "vltZarno.h"

using namespace kalvist;

namespace {

std::vector<std::vector<uint8_t>> Snapshot(const TZarnoParamList& params) {
  std::vector<std::vector<uint8_t>> bytes;
  for (int i = 0; i < params.Count(); ++i) {
    const auto& entry = params.Items(i);
    bytes.emplace_back(entry.Data(), entry.Data() + entry.Size());
  }
  return bytes;
}

void CheckIniRoundTrip(const TIniFile& ini) {
  const TIniFile again = TIniFile::FromText(ini.ToText());
  FUZZ_CHECK(again.Sections().size() == ini.Sections().size());
  for (const std::string& section : ini.Sections()) {
    FUZZ_CHECK(again.Keys(section) == ini.Keys(section));
    for (const std::string& key : ini.Keys(section)) {
      FUZZ_CHECK(again.ReadString(section, key, "") == ini.ReadString(section, key, ""));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TIniFile ini = TIniFile::FromText(text, "fuzz.zrp");
  CheckIniRoundTrip(ini);

  TEventLoop loop(TEventLoop::TClock::Fake);
  TZarno zarno(loop);
  const bool refused = CheckParamFile(ini, "Kalvist").has_value();
  const auto before = Snapshot(zarno.Params());
  TParamFileResult result;
  try {
    result = ApplyParamFile(zarno, ini, TParamFileHooks{});
  } catch (const TKalvistError&) {
    FUZZ_CHECK(!refused);  // only a file that passed the checks gets far enough to throw
    return 0;
  }
  if (refused) {
    FUZZ_CHECK(result == TParamFileResult::Failed);
    FUZZ_CHECK(Snapshot(zarno.Params()) == before);
    return 0;
  }
  if (result != TParamFileResult::Loaded) return 0;
  const auto& params = zarno.Params();
  for (int i = 0; i < params.Count(); ++i) {
    const TZarnoParam& entry = params.Items(i);
    if (!ini.ValueExists("parameters", entry.Name)) continue;
    // A loaded file holds only values their objects hold as they are: none wrapped.
    const std::string value = ini.ReadString("parameters", entry.Name, "");
    FUZZ_CHECK(!DoesNotFit(entry, value));
    // The value the file gives, converted by the same rules into a fresh object.
    TCommObject expected(entry.ObjectID, false, entry.Size());
    expected.AssignData(entry.DefaultValue);
    try {
      expected.SetValue(TValue(value));
    } catch (const TKalvistError&) {
      FUZZ_CHECK(false);  // a value that does not convert ends the load as Failed
    }
    FUZZ_CHECK(ValuesEqual(expected.Value(), entry.Value()));
  }
  return 0;
}
