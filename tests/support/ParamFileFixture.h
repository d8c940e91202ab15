// The device object on its scripted controller (ZarnoFixture) plus what the parameter
// file commands need: a scratch folder, the sample files, recording hooks, logging in.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "KalvistError.h"
#include "ParamFiles.h"
#include "SafeFile.h"
#include "ZarnoFixture.h"

namespace kalvist::test {

class ParamFileFixture : public ZarnoFixture {
 protected:
  ParamFileFixture() {
    folder = std::filesystem::temp_directory_path() /
             ("kalvist-files-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    hooks.ShowInformation = [this](const std::string& text) { information.push_back(text); };
    hooks.ConvertWindow = [this](const TWindowConversionRequest& request) {
      requests.push_back(request);
      return decision ? decision(request) : std::nullopt;
    };
  }
  ~ParamFileFixture() override { std::filesystem::remove_all(folder); }

  template <class F>
  static std::string ReasonOf(F fails) {
    try {
      fails();
    } catch (const TKalvistError& e) {
      return e.Text.substr(e.Text.rfind(": ") + 2);
    }
    ADD_FAILURE() << "expected a failure";
    return {};
  }

  // The system's own words for why `path` cannot be read or written (they differ from
  // one system to the next), as the file functions pass them on.
  static std::string ReadFailure(const std::string& path) {
    return ReasonOf([&] { ReadFileBytes(path, 1); });
  }
  static std::string SaveFailure(const std::string& path) {
    return ReasonOf([&] { WriteFileAtomically(path, "x"); });
  }

  static std::string Data(const std::string& name) {
    return std::string(KALVIST_TEST_DATA_DIR) + "/" + name;
  }

  std::string WriteFile(const std::string& name, const std::string& text) {
    const std::string path = (folder / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  // The value of a catalogue entry as its file text.
  std::string Value(const std::string& name) {
    const int index = zarno->Params().IndexOfName(name);
    return index < 0 ? "<absent>" : zarno->Params().Items(index).Value().AsString();
  }

  TParamFileResult Load(const std::string& path) {
    const TParamFileResult result = LoadParamFile(*zarno, path, hooks);
    Pump();
    return result;
  }

  // Objects written since `from` (whole writes and last segments), the access number
  // left out.
  std::vector<uint16_t> WrittenIds(size_t from = 0) const {
    std::vector<uint16_t> ids;
    for (size_t i = from; i < link->sent.size(); ++i) {
      const TLinkRequest& r = link->sent[i];
      const bool ends = r.Op == TLinkOp::Write || (r.Op == TLinkOp::WriteSegment && r.LastSegment);
      if (ends && r.ObjectID != kAccessNumberId) ids.push_back(r.ObjectID);
    }
    return ids;
  }

  // Connected with the level the controller reports for the password (3 administrator,
  // 2 operator); the older scheme accepts any password as the administrator's.
  void LogIn(uint8_t kindByte, uint8_t firmware, uint8_t levelNumber = 3) {
    ConnectTo(kindByte, firmware);
    zarno->ResetPassword();
    objects[idThreeLvLPassword] = {levelNumber, 0};
    zarno->EnterPassword(1111);
    Pump();
    ASSERT_TRUE(zarno->PasswordOK());
    sink.messages.clear();
  }

  std::filesystem::path folder;
  TParamFileHooks hooks;
  std::vector<std::string> information;
  std::vector<TWindowConversionRequest> requests;
  TWindowDecision decision;  // unset: the conversion is cancelled
};

}  // namespace kalvist::test
