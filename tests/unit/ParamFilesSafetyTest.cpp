#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "IniFile.h"
#include "KalvistError.h"
#include "ParamFileFixture.h"
#include "ParamFilesSafety.h"

namespace kalvist {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

class ParamFilesSafetyTest : public test::ParamFileFixture {
 protected:
  static std::tm At(int hour, int minute, int second) {
    std::tm when{};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 10;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    return when;
  }

  TPreparedParamFile Prepare(const std::string& parameters, const std::string& name = "p.zrp") {
    const std::string path = WriteFile(
        name, "[identification]\r\nFileVersion=0\r\nHWType=0\r\nSWVersion=25\r\n[parameters]\r\n" +
                  parameters);
    TPreparedParamFile prepared;
    EXPECT_EQ(PrepareParamFile(*zarno, path, hooks, prepared), TParamFileResult::Loaded);
    return prepared;
  }
};

TEST_F(ParamFilesSafetyTest, ValuesAreShownInThePagesUnits) {
  struct Case {
    uint16_t id;
    TValue raw;
    const char* microseconds;  // shown with the window in microseconds
    const char* degrees;       // and in degrees
  };
  const Case cases[] = {
      {idWindowDelay, 200, "200 \xB5s", "20.0 \xB0"},
      {idWindowWidth, 1500, "1500 \xB5s", "150.0 \xB0"},
      {idAlfa1 + 3, 1205, "120.5 \xB0", "120.5 \xB0"},
      {idAngleV, 90, "90 \xB0", "90 \xB0"},
      {idAttenuation, 1500, "1.500", "1.500"},
      {idIgnitionReductionLimit, 76, "29.8 %", "29.8 %"},
      {idImmediateStopLimit, 255, "100.0 %", "100.0 %"},
      {idDecreaseRamp, 234, "23.4 %/s", "23.4 %/s"},
      {idTimingReductionGain, 400, "40.0 %", "40.0 %"},
      {idDelayAfterLoadReduction, 10, "1.0 s", "1.0 s"},
      {idKnockFilterFrequency, 5480, "5480 Hz", "5480 Hz"},
      {idBusSpeed, 250, "250 kbit/s", "250 kbit/s"},
      {idCANMode, 1, "Qorvix-controller", "Qorvix-controller"},
      {idCANMode, 7, "7", "7"},
      {idUsedSensors, 0x17, "1-3, 5", "1-3, 5"},
      {idUsedSensors, 0x3, "1, 2", "1, 2"},
      {idUsedSensors, 0, "none", "none"},
      {idSelectSensors, 3, "A, B", "A, B"},
      {idCylinderCount, 6, "6", "6"},
      {idSetpointsIdName, "North 1", "North 1", "North 1"},
  };
  for (const bool degrees : {false, true}) {
    zarno->SetOfflineSWversion(degrees ? 25 : 24);
    ASSERT_EQ(zarno->WindowInDegrees(), degrees);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.id) + (degrees ? " degrees" : " microseconds"));
      EXPECT_EQ(ShownValue(*zarno, c.id, c.raw), degrees ? c.degrees : c.microseconds);
    }
  }
}

// Only what differs from the device's values, plus what could not be read there.
TEST_F(ParamFilesSafetyTest, ChangesListWhatTheFileWouldChange) {
  LogIn(0x13, 25);
  const TPreparedParamFile prepared = Prepare(
      "CANAddress=1\r\nWindowDelay=108\r\nUsedSensors=$FFFFF\r\nAttenuation=900\r\n"
      "DecreaseRamp=300\r\nSetpointsIDName=North\r\n");
  const size_t sent = link->sent.size();
  const auto changes = ParamFileChanges(*zarno, prepared, {"DecreaseRamp"});
  ASSERT_TRUE(changes);
  ASSERT_EQ(changes->size(), 4u);
  const auto text = [](const TParamChange& c) {
    return c.Name + ": " + c.ControllerValue + " -> " + c.FileValue;
  };
  EXPECT_EQ(text((*changes)[0]), "WindowDelay: 100.0 \xB0 -> 10.8 \xB0");
  EXPECT_EQ(text((*changes)[1]), "Attenuation: 1.000 -> 0.900");
  EXPECT_EQ(text((*changes)[2]), "DecreaseRamp: (not read) -> 30.0 %/s");
  EXPECT_EQ(text((*changes)[3]), "SetpointsIDName:  -> North");
  EXPECT_EQ(link->sent.size(), sent);  // looking writes nothing
  EXPECT_EQ(Value("WindowDelay"), "1000");

  ASSERT_EQ(ApplyPreparedParamFile(*zarno, prepared, hooks), TParamFileResult::Loaded);
  Pump();
  EXPECT_EQ(Value("WindowDelay"), "108");
  EXPECT_EQ(ParamFileChanges(*zarno, prepared, {})->size(), 0u);

  TPreparedParamFile p16;
  ASSERT_EQ(PrepareParamFile(*zarno, Data("old16.p16"), hooks, p16), TParamFileResult::Loaded);
  EXPECT_FALSE(ParamFileChanges(*zarno, p16, {}).has_value());
}

// A restore point holds what was read, no default; the ten newest stay.
TEST_F(ParamFilesSafetyTest, RestorePointsKeepTheTenNewest) {
  LogIn(0x13, 25);
  zarno->SetValue(idCANAddress, 9);
  const std::string restore = (folder / "Parameters" / kRestorePointsFolder).string();
  const std::string first = WriteRestorePoint(*zarno, restore, {"WindowDelay"}, At(9, 5, 7));
  EXPECT_EQ(first, (fs::path(restore) / "Z20_2026-12-10_09-05-07.zrp").string());
  const TIniFile saved = TIniFile::LoadFromFile(first);
  EXPECT_EQ(saved.ReadString("parameters", "CANAddress", ""), "9");
  EXPECT_FALSE(saved.ValueExists("parameters", "WindowDelay"));
  EXPECT_EQ(saved.ReadInteger("identification", "SWVersion", 0), 25);
  // Within the same second, a second one beside it.
  const std::string second = WriteRestorePoint(*zarno, restore, {}, At(9, 5, 7));
  EXPECT_EQ(second, (fs::path(restore) / "Z20_2026-12-10_09-05-07_2.zrp").string());

  std::ofstream(restore + "/notes.txt") << "not a restore point";
  const auto start = fs::file_time_type::clock::now() - std::chrono::hours(1);
  fs::last_write_time(first, start);
  fs::last_write_time(second, start + std::chrono::seconds(30));
  for (int i = 0; i < 10; ++i) {
    const std::string path = WriteRestorePoint(*zarno, restore, {}, At(10, i, 0));
    fs::last_write_time(path, start + std::chrono::minutes(i + 1));
  }
  Strings kept;
  for (const auto& entry : fs::directory_iterator(restore)) {
    kept.push_back(entry.path().filename().string());
  }
  std::sort(kept.begin(), kept.end());
  ASSERT_EQ(kept.size(), 11u);
  EXPECT_EQ(kept.front(), "Z20_2026-12-10_10-00-00.zrp");  // the two oldest went, by time
  EXPECT_EQ(kept[9], "Z20_2026-12-10_10-09-00.zrp");
  EXPECT_EQ(kept.back(), "notes.txt");

  // A folder that cannot be made: the reason, and no file.
  const std::string blocked = WriteFile("blocked", "a file, not a folder");
  try {
    WriteRestorePoint(*zarno, blocked + "/Restore points", {}, At(11, 0, 0));
    ADD_FAILURE() << "no error";
  } catch (const TKalvistError& e) {
    EXPECT_EQ(e.Text.rfind("Cannot create directory \"" + blocked + "/Restore points\": ", 0), 0u)
        << e.Text;
  }
}

}  // namespace
}  // namespace kalvist
