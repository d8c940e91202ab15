#include "LiveLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TimeZone.h"
#include "ZarnoFixture.h"

namespace kalvist {
namespace {

using test::ZarnoFixture;
namespace fs = std::filesystem;

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  if (!line.empty() && line.back() == ',') fields.emplace_back();
  return fields;
}

class LiveLogTest : public ZarnoFixture {
 protected:
  LiveLogTest()
      : file(fs::temp_directory_path() /
             ("kalvist-live-log-" + std::to_string(::getpid()) + ".csv")) {}
  ~LiveLogTest() override { fs::remove(file); }

  // Connected, with channels 1 and 3 of 4 analysed and the given live objects.
  void Live(std::vector<uint8_t> knock, uint8_t output, uint8_t status, uint32_t bad) {
    ConnectTo(0x13, 24);
    zarno->SetValue(idUsedSensors, TValue(5));
    zarno->SetValue(idCylinderCount, TValue(4));
    knock.resize(20, 0);
    objects[idKnockIntensity] = knock;
    objects[idRegulationOutput] = {output};
    objects[idStatus] = {status};
    objects[idBadSensors] = {static_cast<uint8_t>(bad), static_cast<uint8_t>(bad >> 8), 0, 0};
    zarno->ReadStatus();
    zarno->ReadLiveValues();
    Pump();
    zarno->ComputeStatistics();
  }

  std::string ReadFile() const {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path file;
};

TEST_F(LiveLogTest, HeaderNamesEveryColumnOfARow) {
  const std::vector<std::string> header = Fields(LiveLogHeader());
  ASSERT_EQ(header.size(), 29u);
  EXPECT_EQ(header[0], "time");
  EXPECT_EQ(header[1], "ch01");
  EXPECT_EQ(header[20], "ch20");
  EXPECT_EQ(std::vector<std::string>(header.begin() + 21, header.end()),
            (std::vector<std::string>{"regulation_output", "max", "max_channel", "min", "average",
                                      "peak", "status", "bad_sensors"}));
}

TEST_F(LiveLogTest, RowHoldsTheAnalysedChannelsAndTheStatistics) {
  Live({255, 128, 51, 0}, 128, 0x85, 0x0102);
  const auto when = TLogClock::now();
  const std::vector<std::string> row = Fields(LiveLogRow(*zarno, when));
  ASSERT_EQ(row.size(), 29u);
  EXPECT_EQ(row[0], IsoLocalTime(when));
  // Channel 2 is not analysed, 5 and on lie beyond the cylinder count: empty.
  EXPECT_EQ(std::vector<std::string>(row.begin() + 1, row.begin() + 6),
            (std::vector<std::string>{"100.0", "", "20.0", "", ""}));
  EXPECT_EQ(
      std::vector<std::string>(row.begin() + 21, row.end()),
      (std::vector<std::string>{"50.2", "100.0", "1", "20.0", "60.0", "100.0", "133", "258"}));
}

// Zones east and west of Greenwich, one with a half-hour offset, set through TZ
// so the test does not depend on where the machine stands.
TEST_F(LiveLogTest, TimeIsLocalIsoWithMillisecondsAndOffset) {
  test::TTimeZoneScope zone;
  const struct {
    const char* zone;
    const char* expected;
  } cases[] = {
      {"UTC0", "2024-12-10T14:20:35.123+00:00"},
      {"IST-5:30", "2024-12-10T19:50:35.123+05:30"},
      {"BRT3", "2024-12-10T11:20:35.123-03:00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.zone);
    zone.Set(c.zone);
    EXPECT_EQ(IsoLocalTime(TLogClock::time_point(std::chrono::milliseconds(1733840435123))),
              c.expected);
  }
}

TEST_F(LiveLogTest, EveryRowIsOnDiskAtOnce) {
  Live({51}, 0, 0, 0);
  TLiveLog log;
  ASSERT_TRUE(log.Open(file.string())) << log.Error();
  ASSERT_TRUE(log.WriteRow(*zarno, TLogClock::now()));
  ASSERT_TRUE(log.WriteRow(*zarno, TLogClock::now()));
  // Read while the log is still open: nothing waits in a buffer.
  std::istringstream text(ReadFile());
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], LiveLogHeader());
  EXPECT_EQ(log.Rows(), 2);
  EXPECT_TRUE(log.Close());
  EXPECT_FALSE(log.WriteRow(*zarno, TLogClock::now()));  // closed
}

TEST_F(LiveLogTest, FailuresSayWhy) {
  TLiveLog log;
  EXPECT_FALSE(log.Open("/nonexistent-folder/run.csv"));
  EXPECT_FALSE(log.IsOpen());
  EXPECT_EQ(log.Error(), "/nonexistent-folder/run.csv: No such file or directory");
  // A device that takes no more bytes: already the header fails, and the log closes.
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_FALSE(log.Open("/dev/full"));
  EXPECT_FALSE(log.IsOpen());
  EXPECT_EQ(log.Error(), "/dev/full: No space left on device");
}

}  // namespace
}  // namespace kalvist
