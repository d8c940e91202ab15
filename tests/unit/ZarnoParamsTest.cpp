#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "KalvistError.h"
#include "vltZarnoParams.h"

namespace kalvist {
namespace {

std::vector<std::string> Names(const TZarnoParamList& list, int from = 0) {
  std::vector<std::string> names;
  for (int i = from; i < list.Count(); ++i) names.push_back(list.Items(i).Name);
  return names;
}

TZarnoParam& Entry(TZarnoParamList& list, const std::string& name) {
  const int index = list.IndexOfName(name);
  if (index < 0) throw std::runtime_error("missing " + name);
  return list.Items(index);
}

void EnsureAllGroups(TZarnoParamList& list, bool present) {
  list.EnsureFiringAngles(present);
  list.EnsureGains(present);
  list.EnsureIndividualDelays(present);
  list.EnsureMeasurementSensors(present);
  list.EnsureSetpointsIdName(present);
  list.EnsureEngineSerialNumber(present);
  list.EnsureSelectSensors(present);
  list.EnsureTdcSynchronizeMethod(present);
  list.EnsureMisfiringLimits(present);
  list.EnsureMisfiringGains(present);
}

TEST(ZarnoParamList, NewListHoldsTheBaseEntries) {
  TZarnoParamList list;
  ASSERT_EQ(list.Count(), 18);
  EXPECT_EQ(list.Items(0).Name, "UsedSensors");
  EXPECT_EQ(list.Items(17).Name, "CANMode");
  EXPECT_EQ(Entry(list, "UsedSensors").Value().AsInt64(), 0xFFFFF);
  EXPECT_EQ(Entry(list, "IgnitionReduction Limit").ObjectID, 10299);
  EXPECT_EQ(Entry(list, "ImmediateStopLimit").Value().AsInt64(), 177);
  const auto& switches = Entry(list, "Switches");
  EXPECT_EQ((std::vector<int>{switches.ReadLevel, switches.WriteLevel, switches.FileWriteLevel}),
            (std::vector<int>{2, 0, 0}));
  for (int i = 0; i < list.Count(); ++i) {
    const auto& entry = list.Items(i);
    const bool can =
        entry.Name == "CANAddress" || entry.Name == "BusSpeed" || entry.Name == "CANMode";
    EXPECT_EQ(entry.PasswordProtected, !can) << entry.Name;
    EXPECT_EQ(entry.DefaultValue.PasswordProtected, !can) << entry.Name;
    EXPECT_EQ(entry.DefaultValue.ObjectID, entry.ObjectID) << entry.Name;
    EXPECT_FALSE(entry.LoadedFromFile) << entry.Name;
  }
}

TEST(ZarnoParamList, FullCatalogueHasUniqueNamesAndIds) {
  TZarnoParamList list;
  EnsureAllGroups(list, true);
  EXPECT_EQ(list.Count(), 18 + 20 + 20 + 20 + 1 + 1 + 1 + 1 + 1 + 4 + 20);
  std::set<std::string> names;
  std::set<uint16_t> ids;
  for (int i = 0; i < list.Count(); ++i) {
    EXPECT_TRUE(names.insert(list.Items(i).Name).second) << list.Items(i).Name;
    EXPECT_TRUE(ids.insert(list.Items(i).ObjectID).second) << list.Items(i).Name;
    EXPECT_TRUE(list.Items(i).PasswordProtected || i < 18) << list.Items(i).Name;
  }
  EXPECT_EQ(ids.count(13899), 0u);
  EnsureAllGroups(list, false);
  EXPECT_EQ(list.Count(), 18);
}

TEST(ZarnoParamList, SeriesFollowTheirNumbering) {
  TZarnoParamList list;
  list.EnsureFiringAngles(true);
  list.EnsureIndividualDelays(true);
  list.EnsureGains(true);
  list.EnsureMisfiringGains(true);
  for (int k = 1; k <= 10; ++k) {
    const auto n = std::to_string(k);
    EXPECT_EQ(Entry(list, "Alfa" + n).ObjectID, 10272 + k);
    EXPECT_EQ(Entry(list, "Beta" + n).ObjectID, 10282 + k);
    EXPECT_EQ(Entry(list, "IndividualDelaysAlfa" + n).ObjectID, 13179 + k);
    EXPECT_EQ(Entry(list, "IndividualDelaysBeta" + n).ObjectID, 13189 + k);
    // Pairs: Alfa k directly before Beta k.
    EXPECT_EQ(list.IndexOfName("Beta" + n), list.IndexOfName("Alfa" + n) + 1);
    EXPECT_EQ(list.IndexOfName("IndividualDelaysBeta" + n),
              list.IndexOfName("IndividualDelaysAlfa" + n) + 1);
  }
  for (int n = 1; n <= 20; ++n) {
    const auto& gain = Entry(list, "Gain" + std::to_string(n));
    EXPECT_EQ(gain.ObjectID, 11042 + n);
    EXPECT_EQ(gain.Value().AsInt64(), 100);
    const auto& misfGain = Entry(list, "MisfGain" + std::to_string(n));
    EXPECT_EQ(misfGain.ObjectID, n < 20 ? 13879 + n : 14268);
    EXPECT_EQ(misfGain.Value().AsInt64(), 100);
  }
  EXPECT_EQ(list.IndexOfId(14268), list.IndexOfName("MisfGain20"));
  EXPECT_EQ(list.IndexOfId(13899), -1);
}

TEST(ZarnoParamList, SingleEntriesAndLimits) {
  TZarnoParamList list;
  EnsureAllGroups(list, true);
  const struct {
    const char* name;
    uint16_t id;
    int size;
    const char* value;
    int read, write, fileWrite;
  } cases[] = {
      {"MeasurementSensors", 13462, 20, "", 1, 0, 1},   {"SetpointsIDName", 24377, 16, "", 2, 1, 1},
      {"EngineSerialNumber", 13464, 32, "", 2, 1, 1},   {"SelectSensors", 10915, 4, "0", 2, 0, 1},
      {"TDCSynchronizeMethod", 13776, 1, "0", 2, 0, 1}, {"FiringLimit", 14269, 2, "26", 2, 0, 1},
      {"MisfiringLimit", 13876, 2, "80", 2, 0, 1},      {"MisfInt", 14058, 2, "10", 2, 0, 1},
      {"WrnMisfiring", 13879, 2, "60", 2, 0, 1},
  };
  for (const auto& c : cases) {
    const auto& entry = Entry(list, c.name);
    EXPECT_EQ(entry.ObjectID, c.id) << c.name;
    EXPECT_EQ(entry.Size(), c.size) << c.name;
    EXPECT_EQ(entry.Value().AsString(), c.value) << c.name;
    EXPECT_EQ((std::vector<int>{entry.ReadLevel, entry.WriteLevel, entry.FileWriteLevel}),
              (std::vector<int>{c.read, c.write, c.fileWrite}))
        << c.name;
  }
  const int limits = list.IndexOfName("FiringLimit");
  EXPECT_EQ((std::vector<std::string>{list.Items(limits + 1).Name, list.Items(limits + 2).Name,
                                      list.Items(limits + 3).Name}),
            (std::vector<std::string>{"MisfiringLimit", "MisfInt", "WrnMisfiring"}));
}

TEST(ZarnoParamList, GroupsAppendInTableOrder) {
  TZarnoParamList list;
  list.EnsureFiringAngles(true);
  const auto added = Names(list, 18);
  ASSERT_EQ(added.size(), 20u);
  EXPECT_EQ((std::vector<std::string>(added.begin(), added.begin() + 4)),
            (std::vector<std::string>{"Alfa1", "Beta1", "Alfa2", "Beta2"}));
  EXPECT_EQ(added.back(), "Beta10");
}

TEST(ZarnoParamList, EnsureLeavesPresentEntriesAlone) {
  TZarnoParamList list;
  list.EnsureSelectSensors(true);
  auto& entry = Entry(list, "SelectSensors");
  entry.SetValue(5);
  const auto before = Names(list);

  list.Ensure("SelectSensors", 999, 2, 7, true, 0, 0, 0);  // differs in everything
  list.EnsureSelectSensors(true);
  list.Ensure("NotThere", 998, 2, 0, false, 0, 0, 0);

  EXPECT_EQ(Names(list), before);
  const auto& same = Entry(list, "SelectSensors");
  EXPECT_EQ(&same, &entry);
  EXPECT_EQ(same.ObjectID, 10915);
  EXPECT_EQ(same.Size(), 4);
  EXPECT_EQ(same.Value().AsInt64(), 5);
  EXPECT_EQ(same.ReadLevel, 2);
}

TEST(ZarnoParamList, ReaddedEntryGoesLastWithItsDefault) {
  TZarnoParamList list;
  list.EnsureSetpointsIdName(true);
  list.EnsureEngineSerialNumber(true);
  Entry(list, "SetpointsIDName").SetValue("Site A");

  list.EnsureSetpointsIdName(false);
  EXPECT_EQ(list.IndexOfName("SetpointsIDName"), -1);
  EXPECT_EQ(list.IndexOfId(24377), -1);
  list.EnsureSetpointsIdName(true);

  EXPECT_EQ(list.IndexOfName("SetpointsIDName"), list.Count() - 1);
  EXPECT_EQ(list.IndexOfName("EngineSerialNumber"), list.Count() - 2);
  EXPECT_EQ(Entry(list, "SetpointsIDName").Value().AsString(), "");
}

TEST(ZarnoParamList, EnsureAddsPasswordProtectedEntries) {
  TZarnoParamList list;
  list.Ensure("Extra", 4242, 2, 9, true, 1, 1, 2);
  const auto& extra = list.Items(list.Count() - 1);
  EXPECT_EQ(extra.Name, "Extra");
  EXPECT_TRUE(extra.PasswordProtected);
  EXPECT_TRUE(extra.DefaultValue.PasswordProtected);
  EXPECT_EQ(extra.Value().AsInt64(), 9);
  EXPECT_EQ(extra.FileWriteLevel, 2);
}

TEST(ZarnoParamList, LookupsAreExactAndFindTheFirstMatch) {
  TZarnoParamList list;
  for (const char* name :
       {"ignitionreduction limit", "IgnitionReductionLimit", "IgnitionReduction Limit ", ""}) {
    EXPECT_EQ(list.IndexOfName(name), -1) << name;
  }
  list.Add("Shadow", idWindowDelay, 2, 1, true, 0, 0, 0);
  EXPECT_EQ(list.IndexOfId(idWindowDelay), 1);
  EXPECT_EQ(list.IndexOfId(1), -1);
}

TEST(ZarnoParamList, ItemsOutsideTheListThrow) {
  TZarnoParamList list;
  EXPECT_THROW(list.Items(18), TKalvistError);
  EXPECT_THROW(list.Items(-1), TKalvistError);
}

TEST(ZarnoParam, ResetRestoresEveryDefaultByte) {
  TZarnoParamList list;
  list.EnsureMeasurementSensors(true);
  list.EnsureSetpointsIdName(true);
  auto& sensors = Entry(list, "MeasurementSensors");
  EXPECT_EQ(sensors.DefaultValue.Size(), 20);
  for (int i = 0; i < 20; ++i) sensors.Bytes(i) = static_cast<uint8_t>(i + 1);
  auto& name = Entry(list, "SetpointsIDName");
  name.SetValue("ABCDEFGHIJKLMNOP");

  list.ResetToDefaults();

  for (const auto* entry : {&sensors, &name}) {
    EXPECT_EQ(std::vector<uint8_t>(entry->Data(), entry->Data() + entry->Size()),
              std::vector<uint8_t>(static_cast<size_t>(entry->Size()), 0))
        << entry->Name;
  }
}

TEST(ZarnoParam, ByteDefaultsAreStoredOneByOne) {
  const TZarnoParam shortDefault("Raw", 1, 4, std::vector<uint8_t>{1, 2}, false, 0, 0, 0);
  EXPECT_EQ(shortDefault.AsCardinal(), 0x0201u);
  const TZarnoParam longDefault("Raw", 1, 2, std::vector<uint8_t>{1, 2, 3}, false, 0, 0, 0);
  EXPECT_EQ(longDefault.Size(), 2);
  EXPECT_EQ(longDefault.AsWord(), 0x0201);
}

TEST(ZarnoParam, DefaultThatDoesNotFitThrows) {
  EXPECT_THROW(TZarnoParam("Odd", 1, 3, 0, false, 0, 0, 0), TKalvistError);
  EXPECT_THROW(TZarnoParam("Word", 1, 2, "text", false, 0, 0, 0), TKalvistError);
}

TEST(ZarnoParamList, ResetHandlerSeesDefaultsInListOrderAndMayReplaceThem) {
  TZarnoParamList list;
  Entry(list, "WindowDelay").SetValue(55);
  Entry(list, "WindowWidth").SetValue(66);
  std::vector<std::string> seen;
  list.OnParamReset = [&](TZarnoParamList& sender, TZarnoParam& entry) {
    EXPECT_EQ(&sender, &list);
    seen.push_back(entry.Name);
    if (entry.ObjectID == idWindowDelay) {
      EXPECT_EQ(entry.Value().AsInt64(), 1000);
      entry.SetValue(200);
    }
    if (entry.ObjectID == idWindowWidth) {
      EXPECT_EQ(entry.Value().AsInt64(), 1500);
      entry.SetValue(300);
    }
  };

  list.ResetToDefaults();

  EXPECT_EQ(seen, Names(list));
  EXPECT_EQ(Entry(list, "WindowDelay").Value().AsInt64(), 200);
  EXPECT_EQ(Entry(list, "WindowWidth").Value().AsInt64(), 300);
}

TEST(ZarnoParamList, ResetWithoutHandlerRestoresValues) {
  TZarnoParamList list;
  list.Items(0).SetValue(3);
  list.ResetToDefaults();
  EXPECT_EQ(list.Items(0).Value().AsInt64(), 0xFFFFF);
}

}  // namespace
}  // namespace kalvist
