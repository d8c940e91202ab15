#include "CliCommands.h"

#include <iostream>

#include "CliOutput.h"
#include "DeviceVersionCheck.h"
#include "KalvistError.h"
#include "PortScan.h"
#include "vltFirmwareVersion.h"

namespace kalvist::cli {

using ordered_json = nlohmann::ordered_json;

namespace {

std::string FirmwareText(uint8_t firmware) {
  TFirmwareVersion version;
  version.SetFromByte(firmware);
  return version.AsString();
}

const char* YesNo(bool flag) {
  return flag ? "yes" : "no";
}

// The catalogue entry named by its key or by its object ID in decimal.
TZarnoParam* Resolve(TZarno& zarno, const std::string& text) {
  TZarnoParamList& params = zarno.Params();
  int index = params.IndexOfName(text);
  if (index < 0) {
    const std::optional<int64_t> id = TextToInteger(text);
    if (id && *id >= 0 && *id <= 0xFFFF) index = params.IndexOfId(static_cast<uint16_t>(*id));
  }
  return index < 0 ? nullptr : &params.Items(index);
}

// All entries, or none when one of them is unknown (reported).
std::vector<TZarnoParam*> ResolveAll(TCliSession& session, const std::vector<std::string>& names) {
  std::vector<TZarnoParam*> entries;
  for (const std::string& name : names) {
    TZarnoParam* entry = Resolve(session.Zarno(), name);
    if (!entry) {
      session.Error("Parameter \"" + name + "\" was not found");
      return {};
    }
    entries.push_back(entry);
  }
  return entries;
}

void NotPermitted(TCliSession& session, const std::string& what) {
  session.Error(what + ": not permitted at the current access level (" +
                TZarno::AccessLevelName(session.Zarno().AccessLevel()) + ")");
}

// Settles the queue; reports a bound that ran out (a lost connection has its message).
bool SettleOrReport(TCliSession& session, int transfers) {
  if (session.Settle(transfers)) return true;
  if (session.Zarno().IsConnected()) session.Error("The controller did not finish in time");
  return false;
}

// Whether a read or write result counts as done; reports the ones the device model
// passes over in silence.
bool Succeeded(TCliSession& session, const std::string& name, std::optional<int> result) {
  if (result == 0) return true;
  if (!result) {
    session.Error(name + ": the controller sent no data");
  } else if (*result == 105) {
    session.Error(name + ": refused by the controller (result 105)");
  }
  return false;
}

// A typed value from the command line: a whole number, or else text.
TValue ParseValue(const std::string& text) {
  const std::optional<int64_t> number = TextToInteger(text);
  return number ? TValue(*number) : TValue(text);
}

void PrintJson(const ordered_json& json) {
  std::cout << json.dump() << std::endl;
}

}  // namespace

int RunPorts(bool json) {
  const std::vector<TPortInfo> ports = ScanPorts();
  if (json) {
    ordered_json list = ordered_json::array();
    for (const TPortInfo& p : ports) {
      list.push_back({{"path", p.Path}, {"description", p.Description}});
    }
    PrintJson(list);
    return exOk;
  }
  for (const TPortInfo& p : ports) std::cout << p.Path << "\t" << p.Description << "\n";
  return exOk;
}

int RunInfo(TCliSession& session, int openStatus, bool json) {
  if (!session.Identified()) return openStatus;
  const TIdentity& id = session.Identity();
  const std::string levelName = TZarno::AccessLevelName(id.AccessLevel);
  if (json) {
    PrintJson({{"port", session.PortPath()},
               {"hardware_kind", id.Mode},
               {"unit_type", DeviceTypeName(id.Mode)},
               {"unit_name", Cp1252ToUtf8(id.UnitName)},
               {"firmware", FirmwareText(id.Firmware)},
               {"firmware_byte", id.Firmware},
               {"supported", id.Supported},
               {"three_level", id.ThreeLevel},
               {"window_in_degrees", id.WindowInDegrees},
               {"access_level", id.AccessLevel},
               {"access_level_name", levelName},
               {"password_ok", id.PasswordOK},
               {"parameters", id.Parameters}});
    return openStatus;
  }
  std::cout << "Port:              " << session.PortPath() << "\n"
            << "Unit type:         " << DeviceTypeName(id.Mode) << " (hardware kind "
            << int(id.Mode) << ")\n"
            << "Unit name:         " << Cp1252ToUtf8(id.UnitName) << "\n"
            << "Firmware:          " << FirmwareText(id.Firmware) << " (byte " << int(id.Firmware)
            << ")\n"
            << "Supported:         " << YesNo(id.Supported) << "\n"
            << "Three-level:       " << YesNo(id.ThreeLevel) << "\n"
            << "Window in degrees: " << YesNo(id.WindowInDegrees) << "\n"
            << "Access level:      " << int(id.AccessLevel) << " (" << levelName << ")\n"
            << "Password accepted: " << YesNo(id.PasswordOK) << "\n"
            << "Parameters:        " << id.Parameters << std::endl;
  return openStatus;
}

int RunRead(TCliSession& session, const std::vector<std::string>& names, bool json) {
  TZarno& zarno = session.Zarno();
  const std::vector<TZarnoParam*> entries = ResolveAll(session, names);
  if (entries.empty()) return exFailed;
  session.ForgetResults();
  int status = exOk;
  std::vector<TZarnoParam*> queued;
  for (TZarnoParam* entry : entries) {
    if (zarno.ReadValue(entry->ObjectID)) {
      queued.push_back(entry);
    } else {
      NotPermitted(session, entry->Name);
      status = exFailed;
    }
  }
  if (!queued.empty() && !SettleOrReport(session, static_cast<int>(queued.size()))) {
    return exFailed;
  }
  ordered_json values = ordered_json::object();
  for (TZarnoParam* entry : queued) {
    if (!Succeeded(session, entry->Name, session.ReadResult(entry->ObjectID))) {
      status = exFailed;
      continue;
    }
    if (json) {
      values[entry->Name] = ValueJson(entry->Value());
    } else {
      std::cout << entry->Name << "=" << ValueText(entry->Value()) << "\n";
    }
  }
  if (json) PrintJson(values);
  std::cout << std::flush;
  return status;
}

namespace {

// Everything that would keep a write from going out, checked before anything is sent.
bool WritesAllowed(TCliSession& session, const std::vector<TZarnoParam*>& entries,
                   const std::vector<TAssignment>& assignments) {
  TZarno& zarno = session.Zarno();
  bool allowed = true;
  for (size_t i = 0; i < entries.size(); ++i) {
    const TZarnoParam& entry = *entries[i];
    if (entry.PasswordProtected && !zarno.PasswordOK()) {
      session.Error(entry.Name + " is password-protected and no password has been accepted");
      allowed = false;
    } else if (!zarno.Queue().ReadPermitted(entry) || !zarno.Queue().WritePermitted(entry)) {
      NotPermitted(session, entry.Name);
      allowed = false;
    }
    try {
      TCommObject scratch(entry.ObjectID, false, entry.Size());
      scratch.SetValue(ParseValue(assignments[i].second));
    } catch (const TKalvistError& e) {
      session.Error(entry.Name + ": " + e.Text);
      allowed = false;
    }
  }
  return allowed;
}

}  // namespace

int RunWrite(TCliSession& session, const std::vector<TAssignment>& assignments, bool json) {
  TZarno& zarno = session.Zarno();
  std::vector<std::string> names;
  for (const TAssignment& a : assignments) names.push_back(a.first);
  const std::vector<TZarnoParam*> entries = ResolveAll(session, names);
  if (entries.empty() || !WritesAllowed(session, entries, assignments)) return exFailed;

  // The current values first, so that only changes go out.
  session.ForgetResults();
  for (TZarnoParam* entry : entries) zarno.ReadValue(entry->ObjectID);
  if (!SettleOrReport(session, static_cast<int>(entries.size()))) return exFailed;
  for (TZarnoParam* entry : entries) {
    if (!Succeeded(session, entry->Name, session.ReadResult(entry->ObjectID))) return exFailed;
  }

  std::vector<bool> sent;
  for (size_t i = 0; i < entries.size(); ++i) {
    sent.push_back(zarno.SetValue(entries[i]->ObjectID, ParseValue(assignments[i].second)));
  }
  if (!SettleOrReport(session, static_cast<int>(entries.size()))) return exFailed;

  int status = exOk;
  ordered_json report = ordered_json::object();
  for (size_t i = 0; i < entries.size(); ++i) {
    const TZarnoParam& entry = *entries[i];
    std::string outcome = "unchanged";
    if (sent[i]) {
      const bool ok = Succeeded(session, entry.Name, session.WriteResult(entry.ObjectID));
      outcome = ok ? "written" : "failed";
      if (!ok) status = exFailed;
    }
    if (json) {
      report[entry.Name] = {{"value", ValueJson(entry.Value())}, {"outcome", outcome}};
    } else {
      std::cout << entry.Name << "=" << ValueText(entry.Value()) << " " << outcome << "\n";
    }
  }
  if (json) PrintJson(report);
  std::cout << std::flush;
  return status;
}

int RunDump(TCliSession& session, bool json) {
  TZarno& zarno = session.Zarno();
  session.ForgetResults();
  zarno.ReadAllParameters();
  if (!SettleOrReport(session, zarno.Params().Count() + 4)) return exFailed;
  ordered_json values = ordered_json::object();
  ordered_json notRead = ordered_json::array();
  for (int i = 0; i < zarno.Params().Count(); ++i) {
    const TZarnoParam& entry = zarno.Params().Items(i);
    const bool read = session.ReadResult(entry.ObjectID) == 0;
    if (json) {
      values[entry.Name] = ValueJson(entry.Value());
      if (!read) notRead.push_back(entry.Name);
    } else {
      std::cout << entry.Name << "=" << ValueText(entry.Value()) << (read ? "" : "  (not read)")
                << "\n";
    }
  }
  if (json) PrintJson({{"values", values}, {"not_read", notRead}});
  std::cout << std::flush;
  return exOk;
}

int RunPasswordChange(TCliSession& session, uint16_t value, uint8_t level, bool json) {
  TZarno& zarno = session.Zarno();
  if (!zarno.PasswordOK()) {
    session.Error("Changing a password needs the current one (--password)");
    return exFailed;
  }
  if (!zarno.ThreeLevel() && level != alAdministrator) {
    session.Error("This controller has a single password: use --level 0");
    return exFailed;
  }
  session.ForgetResults();
  if (!zarno.ChangePassword(value, level)) {
    NotPermitted(session, "Change of the " + TZarno::AccessLevelName(level) + " password");
    return exFailed;
  }
  if (!SettleOrReport(session, 1)) return exFailed;
  const uint16_t id = level == alOperator ? idWriteOperPassword : idPassword;
  if (!Succeeded(session, "Password change", session.WriteResult(id))) return exFailed;
  if (json) {
    PrintJson({{"changed", true}, {"level", level}});
  } else {
    std::cout << "The " << TZarno::AccessLevelName(level) << " password has been changed."
              << std::endl;
  }
  return exOk;
}

int RunEncryptedPassword(TCliSession& session, bool json) {
  TZarno& zarno = session.Zarno();
  session.ForgetResults();
  zarno.RequestEncryptedPassword();
  if (!SettleOrReport(session, 1)) return exFailed;
  if (!Succeeded(session, "Encrypted password", session.ReadResult(idEncryptedPassword))) {
    return exFailed;
  }
  if (json) {
    PrintJson({{"encrypted_password", zarno.EncryptedPassword()}});
  } else {
    std::cout << zarno.EncryptedPassword() << std::endl;
  }
  return exOk;
}

}  // namespace kalvist::cli
