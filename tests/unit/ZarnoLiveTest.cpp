#include <gtest/gtest.h>

#include <numeric>

#include "ZarnoFixture.h"

namespace kalvist {
namespace {

using test::ZarnoFixture;

class ZarnoLiveTest : public ZarnoFixture {
 protected:
  // Connected (older scheme, no password: configuration values stay local) with the
  // given analysed channels, cylinder count and intensity bytes.
  void Live(uint32_t used, int cylinders, std::vector<uint8_t> intensities) {
    if (!zarno->IsConnected()) ConnectTo(0x13, 24);
    zarno->SetValue(idUsedSensors, TValue(used));
    zarno->SetValue(idCylinderCount, TValue(cylinders));
    intensities.resize(20, 0);
    objects[idKnockIntensity] = intensities;
    zarno->ReadLiveValues();
    Pump();
  }
};

TEST_F(ZarnoLiveTest, StatisticsOverTheAnalysedChannelsUpToTheCylinderCount) {
  struct Case {
    const char* name;
    uint32_t used;
    int cylinders;
    std::vector<uint8_t> bytes;
    double max, min, average;
    int maxChannel;
  };
  const Case cases[] = {
      {"channels 1 and 3", 5, 4, {255, 128, 0, 0}, 100, 0, 50, 1},
      {"first of equal highest", 0xF, 4, {51, 204, 204, 0}, 80, 0, 45, 2},
      {"beyond the cylinder count", 0xFFFFF, 2, {51, 102, 255}, 40, 20, 30, 2},
      {"no channel analysed", 0, 4, {255}, 0, 100, 12.5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    zarno->AverageIntensity = 12.5;
    Live(c.used, c.cylinders, c.bytes);
    zarno->ComputeStatistics();
    EXPECT_DOUBLE_EQ(zarno->MaxIntensity, c.max);
    EXPECT_DOUBLE_EQ(zarno->MinIntensity, c.min);
    EXPECT_DOUBLE_EQ(zarno->AverageIntensity, c.average);
    EXPECT_EQ(zarno->MaxChannel, c.maxChannel);
  }
}

TEST_F(ZarnoLiveTest, PeakHoldsTheHighestSinceResetOrConnect) {
  Live(0xFFFFF, 4, {102});
  zarno->ComputeStatistics();
  Live(0xFFFFF, 4, {51});
  zarno->ComputeStatistics();
  EXPECT_DOUBLE_EQ(zarno->PeakIntensity, 40);
  zarno->ResetPeak();
  zarno->ComputeStatistics();
  EXPECT_DOUBLE_EQ(zarno->PeakIntensity, 20);
  zarno->Disconnect();
  zarno->Connect();
  EXPECT_DOUBLE_EQ(zarno->PeakIntensity, 0);
}

TEST_F(ZarnoLiveTest, TypedAccessorsAndTheirOutOfRangeAnswers) {
  Live(0xFFFFF & ~2u, 20, {255, 255, 1});
  objects[idStatus] = {0x06};
  objects[idBadSensors] = {0x04, 0, 0, 0};
  objects[idRegulationOutput] = {177};
  zarno->ReadStatus();
  zarno->ReadLiveValues();
  Pump();
  EXPECT_DOUBLE_EQ(zarno->KnockIntensity(1), 100);
  EXPECT_DOUBLE_EQ(zarno->KnockIntensity(2), 0) << "not analysed";
  EXPECT_EQ(zarno->KnockIntensityInt(3), 0);
  EXPECT_EQ(zarno->KnockIntensity(0), -1);
  EXPECT_EQ(zarno->KnockIntensity(21), -1);
  EXPECT_NEAR(zarno->RegulationOutput(), 69.41, 0.01);
  EXPECT_FALSE(zarno->StatusBit(0));
  EXPECT_TRUE(zarno->StatusBit(1));
  EXPECT_TRUE(zarno->StatusBit(2));
  EXPECT_TRUE(zarno->SensorFault(3));
  EXPECT_FALSE(zarno->SensorFault(2));
  EXPECT_TRUE(zarno->SensorFault(0));
  EXPECT_TRUE(zarno->SensorFault(21));
  EXPECT_TRUE(zarno->AnySensorFault());
  EXPECT_FALSE(zarno->ChannelUsed(2));
  EXPECT_FALSE(zarno->ChannelUsed(21));
  for (auto [stored, count] : {std::pair{0, 1}, {25, 20}, {7, 7}}) {
    zarno->SetValue(idCylinderCount, TValue(stored));
    EXPECT_EQ(zarno->CylinderCount(), count);
  }
}

TEST_F(ZarnoLiveTest, EndOfConnectionClearsLiveValuesInOrder) {
  Live(5, 25, {255, 255});
  objects[idBadSensors] = {1, 0, 0, 0};
  zarno->ReadStatus();
  Pump();
  changed.clear();
  zarno->Disconnect();
  const std::vector<uint16_t> cleared{
      idKnockIntensity, idRegulationOutput, idStatus,     idBadSensors, idCylinderCount,
      idUsedSensors,    idMode2Live1,       idMode2Live3, idMode2Live2, idMode2Live4};
  ASSERT_GE(changed.size(), cleared.size());
  EXPECT_EQ(std::vector<uint16_t>(changed.begin(), changed.begin() + cleared.size()), cleared);
  EXPECT_EQ(zarno->GetValue(idCylinderCount)->AsInt64(), 20) << "kept, within 1..20";
  EXPECT_EQ(zarno->GetValue(idUsedSensors)->AsInt64(), 0xFFFFF);
  EXPECT_EQ(zarno->KnockIntensity(1), 0);
  EXPECT_FALSE(zarno->AnySensorFault());
}

TEST_F(ZarnoLiveTest, CyclicReadsInOrderWithTheThirdKindsExtras) {
  for (auto [kindByte, extras] : {std::pair<uint8_t, bool>{0x13, false}, {0x6C, true}}) {
    Recreate();
    ConnectTo(kindByte, 0);
    const size_t before = link->sent.size();
    zarno->ReadStatus();
    zarno->ReadLiveValues();
    Pump();
    std::vector<uint16_t> expected{idStatus, idBadSensors, idKnockIntensity, idRegulationOutput};
    if (extras) {
      expected.insert(expected.end(), {idMode2Live1, idMode2Live2, idMode2Live3, idMode2Live4});
    }
    EXPECT_EQ(SentIds(before), expected);
  }
}

TEST_F(ZarnoLiveTest, ReadAllParametersEndsWithDiagnosticsAndTheCylinderConfiguration) {
  ConnectTo(0x6C, 0);
  zarno->EnterPassword(1);
  objects[idThreeLvLPassword] = {3, 0};
  Pump();
  const size_t before = link->sent.size();
  zarno->ReadAllParameters();
  Pump();
  const std::vector<uint16_t> sent = SentIds(before);
  ASSERT_EQ(sent.size(), static_cast<size_t>(zarno->Params().Count()) + 4);
  EXPECT_EQ(sent.front(), idUsedSensors);
  EXPECT_EQ(std::vector<uint16_t>(sent.end() - 4, sent.end()),
            (std::vector<uint16_t>{idDiagnosticMode, idDiagnosticOutput, idDiagnosticLeds,
                                   idCylinderConfiguration}));
}

TEST_F(ZarnoLiveTest, FiringTablesMapPositionsToTheirBytes) {
  TZarno::TFiringTable none;
  none.fill(255);
  EXPECT_EQ(zarno->GetFiringToChannel(), none);
  EXPECT_EQ(zarno->GetFiringToCylinder(), none);

  TZarno::TFiringTable table;
  std::iota(table.begin(), table.end(), uint8_t{0});
  zarno->SetFiringToChannel(table);
  TZarno::TFiringTable cylinders;
  std::iota(cylinders.begin(), cylinders.end(), uint8_t{100});
  zarno->SetFiringToCylinder(cylinders);
  EXPECT_EQ(zarno->GetFiringToChannel(), table);
  EXPECT_EQ(zarno->GetFiringToCylinder(), cylinders);

  ConnectTo(0x13, 24);
  zarno->WriteCylinderConfiguration();
  EXPECT_EQ(written.count(idCylinderConfiguration), 0u) << "third kind only";
  zarno->Disconnect();
  ConnectTo(0x6C, 0);
  zarno->SetFiringToChannel(table);
  zarno->SetFiringToCylinder(cylinders);
  zarno->WriteCylinderConfiguration();
  Pump();
  const std::vector<uint8_t>& bytes = written[idCylinderConfiguration];
  ASSERT_EQ(bytes.size(), 42u) << "password word and 40 bytes";
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(bytes[2 + i], 2 * i) << "odd positions";
    EXPECT_EQ(bytes[12 + i], 2 * i + 1) << "even positions";
  }
  EXPECT_EQ(bytes[22], 100);
  EXPECT_EQ(bytes[41], 119);
}

TEST_F(ZarnoLiveTest, DiagnosticSettersWriteOnlyChangesWhileConnected) {
  zarno->SetDiagnosticLeds(3);  // offline: stored only
  ConnectTo(0x13, 24);
  const size_t before = link->sent.size();
  zarno->SetDiagnosticLeds(3);
  zarno->SetDiagnosticMode(false);
  zarno->SetDiagnosticOutput(0);
  zarno->SetDiagnosticMode(true);
  zarno->SetDiagnosticOutput(500);
  zarno->SaveDirectDiagOutput(500);
  Pump();
  EXPECT_EQ(SentIds(before),
            (std::vector<uint16_t>{idDiagnosticMode, idDiagnosticOutput, idDiagnosticOutput}));
  EXPECT_EQ(zarno->DiagnosticLeds(), 3);
  EXPECT_EQ(zarno->DiagnosticOutput(), 500);
  EXPECT_EQ(written[idDiagnosticOutput], (std::vector<uint8_t>{0xF4, 0x01}));
}

}  // namespace
}  // namespace kalvist
