#include <cstdio>
#include <iostream>

#include "CliCommands.h"
#include "CliOutput.h"
#include "LiveLog.h"

namespace kalvist::cli {

using ordered_json = nlohmann::ordered_json;

namespace {

// Reads per tick: status, bad sensors, intensities, regulation output, and the third
// kind's four extra objects.
constexpr int kReadsPerTick = 8;

std::string Percent(double value) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::vector<std::string> LitLamps(const TZarno& zarno) {
  std::vector<std::string> lamps;
  for (size_t bit = 0; bit < kStatusBitNames.size(); ++bit) {
    if (zarno.StatusBit(static_cast<int>(bit))) lamps.emplace_back(kStatusBitNames[bit]);
  }
  if (zarno.AnySensorFault()) lamps.emplace_back(kBadSensorLamp);
  return lamps;
}

std::vector<int> BadSensors(const TZarno& zarno) {
  std::vector<int> channels;
  for (int c = 1; c <= kChannelCount; ++c) {
    if (zarno.SensorFault(c)) channels.push_back(c);
  }
  return channels;
}

ordered_json TickJson(const TZarno& zarno, int tick) {
  ordered_json intensities = ordered_json::object();
  for (int c = 1; c <= zarno.CylinderCount(); ++c) {
    if (zarno.ChannelUsed(c)) intensities[std::to_string(c)] = zarno.KnockIntensity(c);
  }
  return {{"tick", tick},
          {"intensities", intensities},
          {"max", zarno.MaxIntensity},
          {"max_channel", zarno.MaxChannel},
          {"min", zarno.MinIntensity},
          {"average", zarno.AverageIntensity},
          {"peak", zarno.PeakIntensity},
          {"regulation_output", zarno.RegulationOutput()},
          {"lamps", LitLamps(zarno)},
          {"bad_sensors", BadSensors(zarno)}};
}

std::string TickLine(const TZarno& zarno, int tick) {
  std::string line = "#" + std::to_string(tick) + " knock";
  for (int c = 1; c <= zarno.CylinderCount(); ++c) {
    if (zarno.ChannelUsed(c))
      line += " " + std::to_string(c) + ":" + Percent(zarno.KnockIntensity(c));
  }
  line += " | max " + Percent(zarno.MaxIntensity) + " @" + std::to_string(zarno.MaxChannel) +
          " | min " + Percent(zarno.MinIntensity) + " | avg " + Percent(zarno.AverageIntensity) +
          " | peak " + Percent(zarno.PeakIntensity) + " | output " +
          Percent(zarno.RegulationOutput()) + " | lamps:";
  const std::vector<std::string> lamps = LitLamps(zarno);
  if (lamps.empty()) line += " none";
  for (size_t i = 0; i < lamps.size(); ++i) line += (i ? ", " : " ") + lamps[i];
  line += " | bad sensors:";
  const std::vector<int> bad = BadSensors(zarno);
  if (bad.empty()) line += " none";
  for (const int c : bad) line += " " + std::to_string(c);
  return line;
}

}  // namespace

// Which channels count, as the controller has them; the defaults where not permitted.
static bool ReadChannelSetup(TCliSession& session) {
  session.Zarno().ReadValue(idUsedSensors);
  session.Zarno().ReadValue(idCylinderCount);
  return session.Settle(2);
}

int RunMonitor(TCliSession& session, int count, uint32_t intervalMs, bool json,
               const std::string& csvFile) {
  TZarno& zarno = session.Zarno();
  TLiveLog log;
  if (!csvFile.empty() && !log.Open(csvFile)) {
    session.Error("The live values cannot be logged: " + log.Error());
    return exFailed;
  }
  if (!ReadChannelSetup(session)) return exFailed;
  for (int tick = 1; tick <= count; ++tick) {
    const uint64_t start = session.Loop().NowMs();
    zarno.ReadStatus();
    zarno.ReadLiveValues();
    if (!session.Settle(kReadsPerTick)) {
      if (zarno.IsConnected()) session.Error("The controller did not finish in time");
      if (session.AwaitReconnect() && ReadChannelSetup(session)) continue;
      return exFailed;
    }
    zarno.ComputeStatistics();
    // A log that fails ends with its reason; the watching goes on.
    if (log.IsOpen() && !log.WriteRow(zarno, TLogClock::now())) {
      session.Error("The live values are no longer logged: " + log.Error());
    }
    if (json) {
      PrintJson(TickJson(zarno, tick));
    } else {
      std::cout << TickLine(zarno, tick) << std::endl;
    }
    const uint64_t spent = session.Loop().NowMs() - start;
    if (tick < count && spent < intervalMs) session.Idle(static_cast<uint32_t>(intervalMs - spent));
  }
  if (!log.Close()) {
    session.Error("The live-value log is incomplete: " + log.Error());
    return exFailed;
  }
  return exOk;
}

}  // namespace kalvist::cli
