#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "IniFile.h"
#include "KalvistError.h"

namespace kalvist {
namespace {

using Strings = std::vector<std::string>;

TEST(IniFileTest, ReadsLikeTheProfileFunctions) {
  const TIniFile ini = TIniFile::FromText(
      "; comment\r\n"
      "orphan=1\r\n"
      "[ Parameters ]\r\n"
      "  Alpha  =  some text  \r\n"
      "beta=\"quoted \"\n"
      "gamma='single'\r"
      "delta=\"unmatched'\n"
      "ALPHA=second\r\n"
      "empty=\r\n"
      "no equals sign\r\n"
      "[other]\r\n"
      "x=1\r\n"
      "[PARAMETERS]\r\n"
      "late=2\r\n");
  EXPECT_EQ(ini.Sections(), (Strings{"Parameters", "other"}));
  EXPECT_TRUE(ini.SectionExists("parameters"));
  EXPECT_FALSE(ini.ValueExists("parameters", "orphan"));
  EXPECT_EQ(ini.Keys("parameters"), (Strings{"Alpha", "beta", "gamma", "delta", "empty", "late"}));
  EXPECT_EQ(ini.ReadString("PARAMETERS", "alpha", "-"), "some text");  // the first of duplicates
  EXPECT_EQ(ini.ReadString("parameters", "beta", "-"), "quoted ");
  EXPECT_EQ(ini.ReadString("parameters", "gamma", "-"), "single");
  EXPECT_EQ(ini.ReadString("parameters", "delta", "-"), "\"unmatched'");
  EXPECT_EQ(ini.ReadString("parameters", "empty", "-"), "");
  EXPECT_EQ(ini.ReadString("parameters", "missing", "-"), "-");
  EXPECT_EQ(ini.ReadString("nowhere", "x", "-"), "-");
}

TEST(IniFileTest, IntegersAreDecimalOrHexElseTheDefault) {
  const TIniFile ini = TIniFile::FromText(
      "[s]\na=42\nb=$1F\nc=0x10\nd=-7\ne=12abc\nf=\ng=2147483648\nh=\"5\"\ni=1.5\n");
  const std::pair<const char*, int32_t> cases[] = {{"a", 42}, {"b", 31}, {"c", 16}, {"d", -7},
                                                   {"e", -1}, {"f", -1}, {"g", -1}, {"h", 5},
                                                   {"i", -1}, {"zz", -1}};
  for (auto [key, expected] : cases) {
    EXPECT_EQ(ini.ReadInteger("s", key, -1), expected) << key;
  }
}

TEST(IniFileTest, WritesCrlfInFileOrderAndReadsBackWhatWasWritten) {
  TIniFile ini = TIniFile::FromText("[b]\nk1=1\nk2=2\n[a]\nz=0\n");
  ini.WriteString("B", "K1", "one");  // replaced where it stands
  ini.WriteInteger("b", "k3", 3);
  ini.WriteString("new", "text", "  padded\r\nline ");
  ini.WriteString("new", "quotes", "'x'");
  ini.WriteString("new", "bytes", "\xB5s \xB0");
  EXPECT_EQ(ini.ToText(),
            "[b]\r\nk1=one\r\nk2=2\r\nk3=3\r\n[a]\r\nz=0\r\n"
            "[new]\r\ntext=\"  padded  line \"\r\nquotes=\"'x'\"\r\nbytes=\xB5s \xB0\r\n");
  const TIniFile again = TIniFile::FromText(ini.ToText());
  EXPECT_EQ(again.ReadString("new", "text", ""), "  padded  line ");
  EXPECT_EQ(again.ReadString("new", "quotes", ""), "'x'");
  EXPECT_EQ(again.ReadString("new", "bytes", ""), "\xB5s \xB0");

  ini.DeleteKey("b", "k2");
  ini.EraseSection("A");
  EXPECT_EQ(ini.Sections(), (Strings{"b", "new"}));
  EXPECT_EQ(ini.Keys("b"), (Strings{"k1", "k3"}));
}

TEST(IniFileTest, HostileTextParsesWithoutHarm) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
  EXPECT_NO_THROW(TIniFile::FromText(garbage));

  const std::string longValue(2 * 1024 * 1024, 'v');
  const TIniFile ini = TIniFile::FromText("[s]\nk=" + longValue + "\n [t\nafter=1\n");
  EXPECT_EQ(ini.ReadString("s", "k", "").size(), longValue.size());
  EXPECT_EQ(ini.ReadInteger("s", "k", 9), 9);
  // A header without its bracket is no header: the key after it stays in "s".
  EXPECT_EQ(ini.Sections(), (Strings{"s"}));
  EXPECT_EQ(ini.ReadInteger("s", "after", 0), 1);

  // A zero byte ends the text.
  EXPECT_FALSE(TIniFile::FromText(std::string("[s]\nk=1\0\n[t]\n", 13)).SectionExists("t"));
}

class IniFileDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("kalvist-ini-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
  }
  void TearDown() override {
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(folder);
  }
  std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::filesystem::path folder;
};

TEST_F(IniFileDiskTest, SaveReplacesTheFileAndKeepsItsPermissions) {
  const auto path = folder / "p.zrp";
  std::ofstream(path) << "old contents that are longer than the new ones\n";
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_read);
  TIniFile ini;
  ini.WriteInteger("s", "k", 1);
  ini.SaveToFile(path.string());
  EXPECT_EQ(Slurp(path), "[s]\r\nk=1\r\n");
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read);
  // Nothing but the file itself is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
  EXPECT_EQ(TIniFile::LoadFromFile(path.string()).ReadInteger("S", "K", 0), 1);
}

TEST_F(IniFileDiskTest, FailedSaveSaysWhyAndLeavesTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  const auto path = folder / "p.zrp";
  std::ofstream(path) << "[old]\n";
  std::filesystem::permissions(
      folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  TIniFile ini;
  ini.WriteInteger("s", "k", 1);
  try {
    ini.SaveToFile(path.string());
    FAIL() << "saved into a read-only folder";
  } catch (const TKalvistError& e) {
    EXPECT_EQ(e.Text, "Cannot save file \"" + path.string() + "\": Permission denied");
  }
  EXPECT_EQ(Slurp(path), "[old]\n");
}

// A write that breaks off half-way (here at the file-size limit) must not reach the target.
TEST_F(IniFileDiskTest, SaveBrokenOffMidwayLeavesTheOldFileAndNoTemporary) {
  const auto path = folder / "p.zrp";
  std::ofstream(path) << "[old]\n";
  TIniFile ini;
  ini.WriteString("s", "k", std::string(64 * 1024, 'x'));
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  try {
    ini.SaveToFile(path.string());
  } catch (const TKalvistError& e) {
    error = e.Text;
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(error, "Cannot save file \"" + path.string() + "\": File too large");
  EXPECT_EQ(Slurp(path), "[old]\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST_F(IniFileDiskTest, UnreadableFilesSayWhy) {
  const auto missing = (folder / "missing.zrp").string();
  const auto big = folder / "big.zrp";
  std::ofstream(big).put('x');
  std::filesystem::resize_file(big, TIniFile::kMaxFileSize + 1);
  const std::pair<std::string, std::string> cases[] = {
      {missing, "No such file or directory"},
      {folder.string(), "Is a directory"},
      {big.string(), "file is larger than " + std::to_string(TIniFile::kMaxFileSize) + " bytes"},
  };
  for (const auto& [name, reason] : cases) {
    try {
      TIniFile::LoadFromFile(name);
      ADD_FAILURE() << name;
    } catch (const TKalvistError& e) {
      EXPECT_EQ(e.Text, "Cannot read file \"" + name + "\": " + reason);
    }
  }
}

}  // namespace
}  // namespace kalvist
