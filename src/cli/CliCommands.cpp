#include "CliCommands.h"

#include <algorithm>
#include <iostream>

#include "CliOutput.h"
#include "DeviceVersionCheck.h"
#include "KalvistError.h"
#include "ParamRanges.h"
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
// passes over in silence (for a raw read, every refusal by the controller).
bool Succeeded(TCliSession& session, const std::string& name, std::optional<int> result,
               bool raw = false) {
  if (result == 0) return true;
  const bool linkFailed = result == orNoAnswer || result == orInvalidAnswer;
  if (!result) {
    session.Error(name + ": the controller sent no data");
  } else if (*result == orRefusalIgnored || (raw && !linkFailed)) {
    session.Error(name + ": " + std::string(OperationResultText(*result)) + " (result " +
                  std::to_string(*result) + ")");
  }
  return false;
}

// A typed value from the command line: a whole number, or else text.
TValue ParseValue(const std::string& text) {
  const std::optional<int64_t> number = TextToInteger(text);
  return number ? TValue(*number) : TValue(text);
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

namespace {

// One name of "read": a catalogue entry, or any other object by its ID, read raw.
struct TReadItem {
  std::string Label;
  uint16_t Id = 0;
  TZarnoParam* Entry = nullptr;
  std::unique_ptr<TCommObject> Raw;
};

// The largest object that has a typed value; a raw read takes at most this much.
constexpr int kLargestTypedObject = 64;

std::optional<TReadItem> ReadItem(TZarno& zarno, const std::string& name) {
  if (TZarnoParam* entry = Resolve(zarno, name)) {
    return TReadItem{entry->Name, entry->ObjectID, entry, nullptr};
  }
  const std::optional<int64_t> id = TextToInteger(name);
  if (!id || *id < 0 || *id > 0xFFFF) return std::nullopt;
  const auto objectId = static_cast<uint16_t>(*id);
  return TReadItem{std::to_string(objectId), objectId, nullptr,
                   std::make_unique<TCommObject>(objectId, false, kLargestTypedObject)};
}

bool QueueRead(TZarno& zarno, TReadItem& item) {
  return item.Raw ? zarno.ReadRawObject(*item.Raw) : zarno.ReadValue(item.Id);
}

}  // namespace

int RunRead(TCliSession& session, const std::vector<std::string>& names, bool json) {
  TZarno& zarno = session.Zarno();
  std::vector<TReadItem> items;
  for (const std::string& name : names) {
    std::optional<TReadItem> item = ReadItem(zarno, name);
    if (!item) {
      session.Error("Parameter \"" + name + "\" was not found");
      return exFailed;
    }
    items.push_back(std::move(*item));
  }
  session.ForgetResults();
  int status = exOk;
  std::vector<TReadItem*> queued;
  for (TReadItem& item : items) {
    if (QueueRead(zarno, item)) {
      queued.push_back(&item);
    } else {
      NotPermitted(session, item.Label);
      status = exFailed;
    }
  }
  if (!queued.empty() && !SettleOrReport(session, static_cast<int>(queued.size()))) {
    return exFailed;
  }
  ordered_json values = ordered_json::object();
  for (TReadItem* item : queued) {
    if (!Succeeded(session, item->Label, session.ReadResult(item->Id), item->Raw != nullptr)) {
      status = exFailed;
      continue;
    }
    const TCommObject& object = item->Raw ? *item->Raw : *item->Entry;
    try {
      const TValue value = object.Value();
      if (json) {
        values[item->Label] = ValueJson(value);
      } else {
        std::cout << item->Label << "=" << ValueText(value) << "\n";
      }
    } catch (const TKalvistError& e) {
      session.Error(item->Label + ": " + e.Text + " (" + std::to_string(object.Size()) + " bytes)");
      status = exFailed;
    }
  }
  if (json) PrintJson(values);
  std::cout << std::flush;
  return status;
}

namespace {

// Everything about the session that would keep a write from going out, checked before
// anything is sent.
bool WritesAllowed(TCliSession& session, const std::vector<TZarnoParam*>& entries) {
  TZarno& zarno = session.Zarno();
  bool allowed = true;
  for (const TZarnoParam* entry : entries) {
    if (entry->PasswordProtected && !zarno.PasswordOK()) {
      session.Error(entry->Name + " is password-protected and no password has been accepted");
      allowed = false;
    } else if (!zarno.Queue().ReadPermitted(*entry) || !zarno.Queue().WritePermitted(*entry)) {
      NotPermitted(session, entry->Name);
      allowed = false;
    }
  }
  return allowed;
}

void ReportRefused(TCliSession& session, const TValueFault& fault, bool forceHelps) {
  session.Error(fault.Name + "=" + fault.Value + " refused: " + fault.Reason +
                (forceHelps ? " (--force writes it all the same)" : ""));
}

// Values their objects cannot hold, each reported; checked before anything is read.
bool ValuesFit(TCliSession& session, const std::vector<TZarnoParam*>& entries,
               const std::vector<TAssignment>& assignments) {
  bool fit = true;
  for (size_t i = 0; i < entries.size(); ++i) {
    const TZarnoParam& entry = *entries[i];
    if (const std::optional<std::string> reason = DoesNotFit(entry, assignments[i].second)) {
      ReportRefused(session, {entry.Name, assignments[i].second, *reason, false}, false);
      fit = false;
    }
  }
  return fit;
}

// Values outside the pages' valid range, by the controller's values just read (and the
// stroke of a "Switches" written along).
bool ValuesValid(TCliSession& session, const std::vector<TZarnoParam*>& entries,
                 const std::vector<TAssignment>& assignments) {
  TRangeContext context = RangeContextOf(session.Zarno());
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i]->ObjectID == idSwitches) {
      context.FourStroke = (TextToInteger(assignments[i].second).value_or(0) & 1) != 0;
    }
  }
  bool valid = true;
  for (size_t i = 0; i < entries.size(); ++i) {
    const TZarnoParam& entry = *entries[i];
    if (auto fault = CheckValue(entry, entry.Name, assignments[i].second, context)) {
      ReportRefused(session, *fault, true);
      valid = false;
    }
  }
  return valid;
}

// The entries to write, and "Switches" too when a firing angle's range depends on it.
std::vector<TZarnoParam*> EntriesToRead(TZarno& zarno, const std::vector<TZarnoParam*>& entries) {
  std::vector<TZarnoParam*> toRead = entries;
  const auto is = [&entries](bool (*predicate)(uint16_t)) {
    return std::any_of(entries.begin(), entries.end(),
                       [predicate](const TZarnoParam* e) { return predicate(e->ObjectID); });
  };
  const bool switches = is([](uint16_t id) { return id == idSwitches; });
  if (is(IsFiringAngle) && !switches && zarno.HasParam(idSwitches)) {
    toRead.push_back(zarno.FindParam(idSwitches));
  }
  return toRead;
}

}  // namespace

int RunWrite(TCliSession& session, const std::vector<TAssignment>& assignments, bool force,
             bool json) {
  TZarno& zarno = session.Zarno();
  std::vector<std::string> names;
  for (const TAssignment& a : assignments) names.push_back(a.first);
  const std::vector<TZarnoParam*> entries = ResolveAll(session, names);
  if (entries.empty()) return exFailed;
  if (!ValuesFit(session, entries, assignments)) return exUsage;
  if (!WritesAllowed(session, entries)) return exFailed;

  // The current values first, so that only changes go out.
  session.ForgetResults();
  const std::vector<TZarnoParam*> toRead = EntriesToRead(zarno, entries);
  for (TZarnoParam* entry : toRead) zarno.ReadValue(entry->ObjectID);
  if (!SettleOrReport(session, static_cast<int>(toRead.size()))) return exFailed;
  for (TZarnoParam* entry : toRead) {
    if (!Succeeded(session, entry->Name, session.ReadResult(entry->ObjectID))) return exFailed;
  }
  if (!force && !ValuesValid(session, entries, assignments)) return exUsage;

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
  const std::optional<std::vector<std::string>> notRead = session.ReadConfiguration();
  if (!notRead) return exFailed;
  ordered_json values = ordered_json::object();
  for (int i = 0; i < zarno.Params().Count(); ++i) {
    const TZarnoParam& entry = zarno.Params().Items(i);
    const bool read = std::find(notRead->begin(), notRead->end(), entry.Name) == notRead->end();
    if (json) {
      if (read) values[entry.Name] = ValueJson(entry.Value());
    } else if (read) {
      std::cout << entry.Name << "=" << ValueText(entry.Value()) << "\n";
    } else {
      std::cout << entry.Name << " (not read)\n";
    }
  }
  if (json) PrintJson({{"values", values}, {"not_read", *notRead}});
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
