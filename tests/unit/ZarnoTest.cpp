#include <gtest/gtest.h>

#include "KalvistError.h"
#include "ZarnoFixture.h"

namespace kalvist {
namespace {

using test::ZarnoFixture;

class ZarnoTest : public ZarnoFixture {};

TEST_F(ZarnoTest, ConnectReadsTypeThenFirmwareBehindTheAccessNumber) {
  ConnectTo(0x13, 25);
  ASSERT_GE(link->sent.size(), 3u);
  EXPECT_EQ(link->sent[0].ObjectID, kAccessNumberId);
  EXPECT_EQ(SentIds(), (std::vector<uint16_t>{idHardwareType, idSwVersion}));
  EXPECT_TRUE(zarno->IsConnected());
  EXPECT_EQ(connects, 1);
  EXPECT_EQ(zarno->SwVersion(), 25);
  EXPECT_TRUE(sink.messages.empty());
}

// Each row of the firmware table, on a device object that has seen no controller yet.
TEST_F(ZarnoTest, IdentificationShapesFlagsAndCatalogueByKindAndFirmware) {
  struct Case {
    uint8_t kindByte, firmware, mode, rangeKind;
    bool newVersion, threeLevel, setpointName, serialNumber, measurementSensors;
  };
  const Case cases[] = {
      {0x13, 19, 0, 0, false, false, false, false, false},
      {0x13, 20, 0, 0, true, false, false, false, false},
      {0x13, 23, 0, 0, true, false, false, false, false},
      {0x13, 24, 0, 1, true, false, false, false, false},
      {0x13, 25, 0, 2, true, true, true, false, false},
      {0x13, 26, 0, 2, true, true, true, true, true},
      {0x13, 40, 0, 2, true, true, true, true, true},
      {0x21, 11, 1, 0, false, false, false, false, false},
      {0x21, 12, 1, 1, false, false, false, false, false},
      {0x21, 13, 1, 2, true, true, true, false, false},
      {0x21, 14, 1, 2, true, true, true, true, false},
      {0x6C, 0, 2, 2, true, true, true, false, false},
      {0x6C, 7, 2, 2, true, true, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << int(c.kindByte) << " fw " << int(c.firmware));
    Recreate();
    ConnectTo(c.kindByte, c.firmware);
    ASSERT_EQ(connects, 1);
    EXPECT_EQ(zarno->ZarnoMode(), c.mode);
    EXPECT_EQ(zarno->FrequencyRangeKind(), c.rangeKind);
    EXPECT_EQ(zarno->NewVersionSW(), c.newVersion);
    EXPECT_EQ(zarno->ThreeLevel(), c.threeLevel);
    EXPECT_EQ(zarno->WindowInDegrees(), c.threeLevel);
    EXPECT_EQ(zarno->QueueAccessCheck(), c.threeLevel);
    EXPECT_EQ(zarno->Queue().AccessCheck, c.threeLevel);
    EXPECT_EQ(zarno->HasParam(idSetpointsIdName), c.setpointName);
    EXPECT_EQ(zarno->HasParam(idEngineSerialNumber), c.serialNumber);
    EXPECT_EQ(zarno->HasParam(idMeasurementSensors), c.measurementSensors);
    EXPECT_EQ(zarno->HasParam(idAlfa1), c.newVersion);
    EXPECT_EQ(zarno->HasParam(idGain1 + 19), c.newVersion);
    // Individual delays come only when the newer set is switched on, not at construction.
    EXPECT_FALSE(zarno->HasParam(idIndividualDelaysAlfa1));
    EXPECT_EQ(zarno->HasParam(idSelectSensors), c.mode == 1);
    EXPECT_EQ(zarno->HasParam(idTDCSynchronizeMethod), c.mode == 2);
    EXPECT_EQ(zarno->HasParam(idMisfGain20), c.mode == 2);
    EXPECT_FALSE(zarno->HasParam(13899));
  }
}

TEST_F(ZarnoTest, UnknownHardwareTypeDisconnectsSilentlyInModeZero) {
  zarno->SetZarnoMode(1);
  ConnectTo(0x55, 25);
  EXPECT_FALSE(zarno->IsConnected());
  EXPECT_EQ(zarno->ZarnoMode(), 0);
  EXPECT_EQ(connects, 0);
  EXPECT_EQ(disconnects, 1);
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ZarnoTest, IndividualDelaysFollowTheSwitchToTheNewerSet) {
  zarno->SetOfflineSWversion(19);
  EXPECT_FALSE(zarno->NewVersionSW());
  EXPECT_FALSE(zarno->HasParam(idAlfa1));
  zarno->SetOfflineSWversion(26);
  EXPECT_TRUE(zarno->HasParam(idIndividualDelaysAlfa1));
  EXPECT_TRUE(zarno->HasParam(idIndividualDelaysBeta1 + 9));
  zarno->SetOfflineSWversion(19);
  EXPECT_FALSE(zarno->HasParam(idIndividualDelaysAlfa1));
  // Already set: a later version with delays changes nothing.
  zarno->SetOfflineSWversion(20);
  zarno->SetOfflineSWversion(26);
  EXPECT_FALSE(zarno->HasParam(idIndividualDelaysAlfa1));
}

TEST_F(ZarnoTest, OfflineVersionWhileConnectedTakesEffectOnlyAtDisconnect) {
  ConnectTo(0x13, 25);
  zarno->SetOfflineSWversion(19);
  EXPECT_TRUE(zarno->HasParam(idSetpointsIdName));
  EXPECT_TRUE(zarno->ThreeLevel());
  zarno->Disconnect();
  EXPECT_FALSE(zarno->ThreeLevel());
  EXPECT_FALSE(zarno->HasParam(idSetpointsIdName));
  // The firing angles and gains stay as the connected controller had them.
  EXPECT_TRUE(zarno->NewVersionSW());
  EXPECT_TRUE(zarno->HasParam(idAlfa1));
  EXPECT_EQ(zarno->OfflineSWversion(), 19);
}

TEST_F(ZarnoTest, FailedTransfersDisconnectWithTheirMessage) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::function<void()> act;
    std::string message;
  };
  const std::vector<uint8_t> refusal100 = {0xFF, 0, 0, 8};
  const Case cases[] = {
      {"firmware unreadable", [&] { silent.insert(idSwVersion); }, [] {},
       "Error: Z20 was not found. (Error reading SW version)"},
      {"firmware refused", [&] { refusals[idSwVersion] = refusal100; }, [] {},
       "Error: Z20 was not found. (Error reading SW version)"},
      {"type unreadable", [&] { silent.insert(idHardwareType); }, [] {},
       "Error: Z20 is disconnected.\r\nTimeout error reading."},
      {"nothing answers",
       [&] {
         silent.insert(kAccessNumberId);
         silent.insert(idHardwareType);
       },
       [] {},
       "Error: Z20 is disconnected.\r\nTimeout error reading.\r\nNo controller answered on "
       "COM1: check the cable, the port and the controller's power."},
      {"read timeout", [&] { silent.insert(idStatus); }, [&] { zarno->ReadStatus(); },
       "Error: Z20 is disconnected.\r\nTimeout error reading."},
      {"read refused", [&] { refusals[idBadSensors] = refusal100; }, [&] { zarno->ReadStatus(); },
       "Error: Z20 is disconnected.\r\nError reading object. Object ID: 10330, error # 100"},
      {"write refused", [&] { refusals[idCANAddress] = refusal100; },
       [&] { zarno->SetValue(idCANAddress, TValue(9)); },
       "Error: Z20 is disconnected.\r\nError writing object. Object ID: 10306, error # 100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Recreate();
    sink.messages.clear();
    silent.clear();
    refusals.clear();
    c.arrange();
    ConnectTo(0x13, 24);
    c.act();
    Pump();
    EXPECT_FALSE(zarno->IsConnected());
    EXPECT_EQ(disconnects, 1);
    EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
    EXPECT_EQ(zarno->Queue().Count(), 0);
  }
}

// A raw read by ID reports its result and nothing else: the firmware object does not
// identify the controller again, a refusal keeps the connection, no answer ends it.
TEST_F(ZarnoTest, RawReadsLeaveTheDeviceObjectAsItIs) {
  ConnectTo(0x13, 24);
  std::vector<std::pair<uint16_t, int>> results;
  zarno->OnTransferResult = [&](TZarno&, uint16_t id, bool, int result) {
    results.emplace_back(id, result);
  };
  changed.clear();
  objects[idSwVersion] = {24, 0};
  objects[4242] = {1, 2, 3};
  refusals[9999] = {0xFF, 0, 0, 8};
  TCommObject version(idSwVersion, false, 64);
  TCommObject odd(4242, false, 64);
  TCommObject none(9999, false, 64);
  for (TCommObject* object : {&version, &odd, &none}) ASSERT_TRUE(zarno->ReadRawObject(*object));
  Pump();
  EXPECT_EQ(results,
            (std::vector<std::pair<uint16_t, int>>{{idSwVersion, 0}, {4242, 0}, {9999, 100}}));
  EXPECT_EQ(version.Size(), 2);
  EXPECT_EQ(odd.Size(), 3);
  EXPECT_TRUE(changed.empty());
  EXPECT_EQ(connects, 1);
  EXPECT_TRUE(zarno->IsConnected());
  EXPECT_TRUE(sink.messages.empty());

  silent.insert(4242);
  ASSERT_TRUE(zarno->ReadRawObject(odd));
  Pump();
  EXPECT_FALSE(zarno->IsConnected());
  EXPECT_EQ(Messages(), std::vector<std::string>{"Error: Z20 is disconnected.\r\nTimeout error "
                                                 "reading."});
}

TEST_F(ZarnoTest, IgnoredRefusalLeavesObjectAndConnectionAlone) {
  ConnectTo(0x13, 24);
  objects[idStatus] = {0x05};
  zarno->ReadStatus();
  Pump();
  ASSERT_TRUE(zarno->StatusBit(0));
  refusals[idStatus] = {0xFA, 0, 0, 8};  // orRefusalIgnored
  refusals[idCANAddress] = {0xFA, 0, 0, 8};
  changed.clear();
  zarno->ReadStatus();
  zarno->SetValue(idCANAddress, TValue(7));
  Pump();
  EXPECT_TRUE(zarno->IsConnected());
  EXPECT_TRUE(zarno->StatusBit(0));
  EXPECT_EQ(changed, std::vector<uint16_t>{idBadSensors});
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ZarnoTest, SetValueStoresAndWritesOnlyWhatMayGoOut) {
  ConnectTo(0x13, 24);  // older scheme: the queue checks nothing
  size_t before = link->sent.size();
  EXPECT_FALSE(zarno->SetValue(idWindowDelay, TValue(1000))) << "equal to the current value";
  EXPECT_FALSE(zarno->SetValue(idWindowDelay, TValue("1200"))) << "protected, no password";
  EXPECT_EQ(zarno->GetValue(idWindowDelay)->AsInt64(), 1200);
  EXPECT_TRUE(zarno->SetValue(idCANAddress, TValue(5)));
  Pump();
  EXPECT_EQ(SentIds(before), std::vector<uint16_t>{idCANAddress});
  EXPECT_EQ(written[idCANAddress], std::vector<uint8_t>{5});

  before = link->sent.size();
  zarno->Loading = true;
  EXPECT_TRUE(zarno->SetValue(idCANAddress, TValue(5))) << "a file's value goes out anyway";
  zarno->Loading = false;
  Pump();
  EXPECT_EQ(SentIds(before), std::vector<uint16_t>{idCANAddress});

  zarno->EnterPassword(1111);
  Pump();
  ASSERT_TRUE(zarno->PasswordOK());
  EXPECT_TRUE(zarno->SetValue(idWindowDelay, TValue(1300)));
  Pump();
  EXPECT_EQ(written[idWindowDelay], (std::vector<uint8_t>{0x57, 0x04, 0x14, 0x05}))
      << "password word 1111 in front of 1300";
}

TEST_F(ZarnoTest, SetValueOfflineOnlyStores) {
  EXPECT_FALSE(zarno->SetValue(idCANAddress, TValue(9)));
  EXPECT_EQ(zarno->GetValue(idCANAddress)->AsInt64(), 9);
  EXPECT_TRUE(link->sent.empty());
}

TEST_F(ZarnoTest, UnknownIdIsReportedAndChangesNothing) {
  EXPECT_FALSE(zarno->SetValue(4711, TValue(1)));
  EXPECT_FALSE(zarno->GetValue(4711).has_value());
  EXPECT_FALSE(zarno->ReadValue(4711));
  EXPECT_EQ(Messages(),
            std::vector<std::string>(3, "Error: Parameter with ID: 4711 was not found"));
}

TEST_F(ZarnoTest, ArrayValuesGoByteByByteAndAllOrNothing) {
  zarno->SetOfflineSWversion(26);
  ASSERT_TRUE(zarno->HasParam(idMeasurementSensors));
  std::vector<TValue> values;
  for (int i = 0; i < 20; ++i) values.emplace_back(i + 1);
  zarno->SetValue(idMeasurementSensors, values);
  TZarnoParam* entry = zarno->FindParam(idMeasurementSensors);
  EXPECT_EQ(entry->Bytes(0), 1);
  EXPECT_EQ(entry->Bytes(19), 20);

  values[5] = TValue("no number");
  EXPECT_THROW(zarno->SetValue(idMeasurementSensors, values), TKalvistError);
  values.resize(19, TValue(0));
  EXPECT_THROW(zarno->SetValue(idMeasurementSensors, values), TKalvistError);
  EXPECT_EQ(entry->Bytes(0), 1);
  EXPECT_EQ(entry->Bytes(5), 6);
}

TEST_F(ZarnoTest, EngineTypeSitsInBothPlacesAndIsReadByBit11) {
  zarno->SetValue(idSwitches, TValue(0));
  zarno->SetEngineType(1);
  EXPECT_EQ(zarno->GetValue(idSwitches)->AsInt64(), 0x0280);
  EXPECT_EQ(zarno->EngineType(), 1);
  zarno->SetSwitchBit(11, true);
  EXPECT_EQ(zarno->GetValue(idSwitches)->AsInt64(), 0x0A80);
  EXPECT_EQ(zarno->EngineType(), 1);
  zarno->SetValue(idSwitches, TValue(0x0900));  // old place 2, new place 0, bit 11 set
  EXPECT_EQ(zarno->EngineType(), 0);
  EXPECT_TRUE(zarno->SwitchBit(8));
  EXPECT_FALSE(zarno->SwitchBit(7));
}

TEST_F(ZarnoTest, WindowDefaultsAreDegreesAfterConnectWhenTheFirmwareUsesThem) {
  ConnectTo(0x13, 25);
  zarno->Disconnect();
  zarno->SetOfflineSWversion(25);
  zarno->Connect();  // the controller's answers are not in yet
  EXPECT_EQ(zarno->GetValue(idWindowDelay)->AsInt64(), 200);
  EXPECT_EQ(zarno->GetValue(idWindowWidth)->AsInt64(), 300);
  EXPECT_EQ(zarno->GetValue(idKnockFilterFrequency)->AsInt64(), 5480);
}

TEST_F(ZarnoTest, InternalErrorsForModesAndIndexesOutOfRange) {
  struct Case {
    std::function<void()> call;
    std::string text;
  };
  const Case cases[] = {
      {[&] { SwVersionFlags(3, 25); }, "Unsuported hardware."},
      {[&] {
         int32_t lo, hi;
         TZarno::FrequencyRange(3, lo, hi);
       },
       "Unsuported frequency range"},
      {[&] { zarno->GetZarnoNames(3); }, "TZarno.GetZarnoNames - value Index out of range."},
      {[&] { zarno->SetZarnoNames(-1, "x"); }, "TZarno.SetZarnoNames - value Index out of range."},
      {[&] {
         zarno->SetZarnoMode(3);
         zarno->GetZarnoName();
       },
       "TZarno.GetZarnoName: Unspecified ZarnoMode."},
      {[&] {
         zarno->SetZarnoMode(3);
         zarno->SetNewVersionSW(false);
         zarno->SetNewVersionSW(true);
       },
       "TZarno.SetNewVersionSW: Unspecified ZarnoMode."},
  };
  for (const Case& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no error: " << c.text;
    } catch (const TKalvistError& e) {
      EXPECT_EQ(e.Text, c.text);
    }
  }
}

TEST_F(ZarnoTest, FrequencyRangesAndWindowLimitByKind) {
  struct Case {
    uint8_t kind;
    int32_t min, max;
  };
  for (const Case& c : {Case{0, 1220, 10120}, Case{1, 1220, 15070}, Case{2, 305, 15070}}) {
    int32_t lo = 0, hi = 0;
    TZarno::FrequencyRange(c.kind, lo, hi);
    EXPECT_EQ(lo, c.min);
    EXPECT_EQ(hi, c.max);
  }
  EXPECT_EQ(zarno->MaxWindowDelayDegrees(), 60);
  zarno->SetZarnoMode(2);
  EXPECT_EQ(zarno->MaxWindowDelayDegrees(), 180);
}

TEST_F(ZarnoTest, PortNameIsThePathWhenSetElseTheNumber) {
  zarno->SetCommPort(7);
  EXPECT_EQ(zarno->PortName(), "COM7");
  link->OpenResult = 1;
  zarno->Connect();
  zarno->SetPortPath("/dev/ttyUSB0");
  EXPECT_EQ(zarno->PortName(), "/dev/ttyUSB0");
  zarno->Connect();
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Error: Error connecting to Com7",
                                                  "Error: Error connecting to /dev/ttyUSB0"}));
  EXPECT_EQ(disconnects, 2);
}

}  // namespace
}  // namespace kalvist
