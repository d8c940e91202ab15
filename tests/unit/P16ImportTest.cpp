#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "KalvistError.h"
#include "P16Import.h"
#include "ParamFileFixture.h"

namespace kalvist {
namespace {

using Strings = std::vector<std::string>;

// Pages that only note what they are told, as "what value" lines.
class TRecordingPages : public IParamPageTarget {
 public:
  bool WindowInDegrees() const override { return degrees; }
  int32_t MaxWindowDelayDegrees() const override { return 180; }
  void SetEditValue(uint16_t objectId, double shownValue) override {
    char value[32];
    std::snprintf(value, sizeof value, "%g", shownValue);
    Note("edit " + std::to_string(objectId), value);
  }
  void SelectFrequency(uint16_t objectId, int32_t hz) override {
    Note("list " + std::to_string(objectId), std::to_string(hz));
  }
  void SetSwitchBit(int bit, bool on) override {
    Note("bit " + std::to_string(bit), on ? "1" : "0");
  }
  void SetEngineType(int type) override { Note("type", std::to_string(type)); }

  void Note(const std::string& what, const std::string& value) {
    calls.push_back(what + " " + value);
    last[what] = value;
  }

  bool degrees = false;
  Strings calls;
  std::map<std::string, std::string> last;
};

std::string Lines(const Strings& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Nineteen lines of which none holds a value.
Strings Unset() {
  return Strings(19, "x");
}

TEST(P16ImportTest, EveryUsedLineReachesItsFieldInTableOrder) {
  TRecordingPages pages;
  ImportP16Text(Lines({"16", "0", "70", "0", "2", "0", "8", "136", "0", "48", "0", "130", "127",
                       "127", "97", "25", "177", "254", "13"}),
                pages, nullptr);
  EXPECT_EQ(pages.calls, (Strings{"bit 0 1",          // 4-stroke before anything else
                                  "list 10295 6120",  // entry 70
                                  "edit 10293 1000",  // 500 + 250 x 2 microseconds
                                  "edit 10294 2000",  // 250 x 8
                                  "edit 10340 8",     // 136: 8 cylinders, in-line
                                  "type 0",
                                  "list 10296 2460",
                                  "bit 1 0",  // 130: the reference channel, factor 2
                                  "edit 10297 0.923",
                                  "edit 10301 50",  // percent: d x 100 / 254
                                  "edit 10300 15",  // percent per second: d x 30 / 254
                                  "edit 10299 38.189",
                                  "edit 10303 2.5",  // seconds: d x 0.1
                                  "edit 10304 69.685",
                                  "edit 10302 100",
                                  "bit 2 1",  // 13: reverse output
                                  "bit 3 0",
                                  "bit 5 1",  // bad sensor detect
                                  "bit 4 0",  // trip contact closed
                                  "bit 6 0"}));
}

TEST(P16ImportTest, LineValuesAndTheirFallbacks) {
  struct Case {
    size_t line;
    const char* text;
    std::map<std::string, std::string> expected;  // "absent": the field is not touched
  };
  const Case cases[] = {
      {7, "136", {{"edit 10340", "8"}, {"type", "0"}}},
      {7, "8", {{"edit 10340", "8"}, {"type", "1"}}},
      {7, "abc", {{"edit 10340", "absent"}, {"type", "1"}}},  // the current count, V-type
      {7, "256", {{"edit 10340", "absent"}, {"type", "1"}}},
      {11, "130", {{"bit 1", "0"}, {"edit 10297", "0.923"}}},
      {11, "2", {{"bit 1", "1"}, {"edit 10297", "0.923"}}},
      {11, "191", {{"bit 1", "0"}, {"edit 10297", "0.133"}}},   // the last factor
      {11, "192", {{"bit 1", "0"}, {"edit 10297", "absent"}}},  // no factor 64
      {11, "x", {{"bit 1", "1"}, {"edit 10297", "1"}}},         // counts as 0
      {2, "90", {{"list 10295", "15070"}}},
      {2, "91", {{"list 10295", "absent"}}},  // beyond the table
      {2, "-1", {{"list 10295", "absent"}}},
      {2, " $10 ", {{"list 10295", "610"}}},
      {4, "0", {{"edit 10293", "500"}, {"edit 10294", "absent"}}},
      {18, "x", {{"bit 2", "0"}, {"bit 3", "0"}, {"bit 5", "0"}, {"bit 4", "1"}, {"bit 6", "0"}}},
      {18, "16", {{"bit 6", "1"}, {"bit 4", "1"}}},
      {17, "255", {{"edit 10302", "100.394"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "line " << c.line << " \"" << c.text << "\"");
    Strings lines = Unset();
    lines[c.line] = c.text;
    TRecordingPages pages;
    ImportP16Text(Lines(lines), pages, nullptr);
    for (const auto& [field, value] : c.expected) {
      const auto found = pages.last.find(field);
      EXPECT_EQ(found == pages.last.end() ? "absent" : found->second, value) << field;
    }
  }
}

TEST(P16ImportTest, AMissingLineEndsTheImportAfterTheFieldsBeforeIt) {
  struct Case {
    size_t lineCount;
    const char* error;
    Strings calls;
  };
  const Case cases[] = {
      {7,
       "List index out of bounds (7)",
       {"bit 0 1", "list 10295 6120", "edit 10293 1000", "edit 10294 2000"}},
      {5, "List index out of bounds (6)", {"bit 0 1", "list 10295 6120", "edit 10293 1000"}},
      {0, "List index out of bounds (2)", {"bit 0 1"}},
  };
  const Strings full = {"16", "0", "70", "0", "2", "0", "8"};
  for (const Case& c : cases) {
    TRecordingPages pages;
    try {
      ImportP16Text(Lines(Strings(full.begin(), full.begin() + c.lineCount)), pages, nullptr);
      ADD_FAILURE() << c.lineCount << " lines imported";
    } catch (const TKalvistError& e) {
      EXPECT_EQ(e.Text, c.error);
    }
    EXPECT_EQ(pages.calls, c.calls);
  }
}

TEST(P16ImportTest, WindowEditsInDegreesGetTheMicrosecondsConverted) {
  Strings lines = Unset();
  lines[4] = "2";  // 1000 microseconds
  lines[6] = "8";  // 2000
  std::vector<TWindowConversionRequest> requests;
  const TWindowDecision atSpeed = ConvertAtSpeed(1500);
  TRecordingPages pages;
  pages.degrees = true;
  ImportP16Text(Lines(lines), pages, [&](const TWindowConversionRequest& request) {
    requests.push_back(request);
    return atSpeed(request);
  });
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Direction, TWindowDirection::MicrosecondsToDegrees);
  EXPECT_EQ(requests[0].Source, (TWindowPair{1000, 2000}));
  EXPECT_EQ(requests[0].Limits.MaxDelayDegrees, 180);
  EXPECT_EQ(pages.last["edit 10293"], "9");  // degrees
  EXPECT_EQ(pages.last["edit 10294"], "18");

  TRecordingPages cancelled;
  cancelled.degrees = true;
  ImportP16Text(Lines(lines), cancelled, nullptr);
  EXPECT_EQ(cancelled.last.count("edit 10293") + cancelled.last.count("edit 10294"), 0u);
}

class P16DeviceTest : public test::ParamFileFixture {};

// Without a GUI the device object stands in for the pages and takes their limits.
TEST_F(P16DeviceTest, OfflineImportFillsTheDeviceObjectAsThePagesWould) {
  int refreshes = 0;
  hooks.RefreshForDevice = [&] { ++refreshes; };
  zarno->SetZarnoMode(1);
  EXPECT_EQ(Load(Data("old16.p16")), TParamFileResult::Loaded);
  EXPECT_EQ(zarno->ZarnoMode(), 0);
  EXPECT_EQ(zarno->NumMaxChannels, 16);
  EXPECT_EQ(refreshes, 1);
  const std::pair<const char*, const char*> values[] = {
      {"KnockFilterFrequency", "6120"},
      {"WindowDelay", "1000"},
      {"WindowWidth", "2000"},
      {"CylinderCount", "8"},
      {"RefFilterFrequency", "2460"},
      {"Attenuation", "923"},
      {"TimingReductionGain", "500"},
      {"DecreaseRamp", "150"},
      {"IgnitionReduction Limit", "97"},
      {"DelayAfterLoadReduction", "25"},
      {"ImmediateStopLimit", "178"},
      {"MaximumOutputValue", "1000"},
      {"Switches", "37"},  // 4-stroke, reference channel, reverse output, bad sensor detect
  };
  for (const auto& [name, value] : values) EXPECT_EQ(Value(name), value) << name;
  EXPECT_EQ(Messages(), Strings{});

  EXPECT_EQ(Load(Data("short.p16")), TParamFileResult::Failed);
  EXPECT_EQ(Messages(),
            Strings{"Error: Error reading old parameters file: List index out of bounds (7)"});
}

TEST_F(P16DeviceTest, DeviceTargetLimitsEachEditToItsRange) {
  TZarnoPageTarget target(*zarno);
  struct Case {
    uint16_t id;
    double shown;
    const char* raw;
  };
  const Case microseconds[] = {
      {idCylinderCount, 0, "2"},       {idCylinderCount, 127, "20"},
      {idWindowDelay, 70000, "65535"}, {idAttenuation, 0.9234, "923"},
      {idAttenuation, 80, "65535"},    {idImmediateStopLimit, 100.394, "255"},
      {idDecreaseRamp, 0.3937, "4"},   {idMaximumOutputValue, 100.394, "1004"},
  };
  for (const Case& c : microseconds) {
    target.SetEditValue(c.id, c.shown);
    EXPECT_EQ(zarno->GetValue(c.id)->AsString(), c.raw) << c.id << " " << c.shown;
  }
  zarno->SetOfflineSWversion(25);  // degrees
  const Case degrees[] = {{idWindowDelay, 61, "600"}, {idWindowWidth, 2.3, "23"}};
  for (const Case& c : degrees) {
    target.SetEditValue(c.id, c.shown);
    EXPECT_EQ(zarno->GetValue(c.id)->AsString(), c.raw) << c.id << " " << c.shown;
  }
  EXPECT_THROW(target.SetEditValue(idCANAddress, 5), TKalvistError);

  zarno->SetOfflineSWversion(23);  // 1220..10120 Hz
  target.SelectFrequency(idKnockFilterFrequency, 305);
  EXPECT_EQ(Value("KnockFilterFrequency"), "5480");
  target.SelectFrequency(idKnockFilterFrequency, 1220);
  EXPECT_EQ(Value("KnockFilterFrequency"), "1220");
}

}  // namespace
}  // namespace kalvist
