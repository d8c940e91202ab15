// kalvist-cli monitor --csv: the live-value log of the command line, against the built-in
// simulator.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "LiveLog.h"
#include "RunProcess.h"

namespace kalvist {
namespace {

namespace fs = std::filesystem;
using test::RunProcess;
using test::TProcessResult;

std::vector<std::string> FileLines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(CliMonitorCsvTest, OneRowPerTickAfterTheHeader) {
  const fs::path file =
      fs::temp_directory_path() / ("kalvist-cli-" + std::to_string(::getpid()) + ".csv");
  const TProcessResult r = RunProcess(
      KALVIST_CLI_PATH, {"monitor", "--count", "4", "--interval", "20", "--csv", file.string()});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::vector<std::string> lines = FileLines(file);
  fs::remove(file);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], LiveLogHeader());
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), ','), 28) << lines[i];
  }
}

TEST(CliMonitorCsvTest, AFileThatCannotBeWrittenSaysWhy) {
  const TProcessResult r = RunProcess(
      KALVIST_CLI_PATH, {"monitor", "--count", "1", "--csv", "/nonexistent-folder/x.csv"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err,
            "using the built-in controller simulator\n"
            "Error: The live values cannot be logged: /nonexistent-folder/x.csv: No such file or "
            "directory\n");
}

}  // namespace
}  // namespace kalvist
