#include "SimCommands.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace kalvist::sim {

const char* const kCommandHelp =
    "Control commands on standard input, one per line; each is answered with one line\n"
    "that starts with \"ok\" or \"error:\". Numbers are decimal or 0x-hexadecimal.\n"
    "  set ID VALUE             store a number, little-endian over the object's size\n"
    "  set ID hex BYTES...      store raw bytes given in hexadecimal (\"0a 0b\" or \"0a0b\")\n"
    "  get ID                   the object's bytes in hexadecimal\n"
    "  add ID SIZE [protected]  add a zeroed object of any size (or resize one)\n"
    "  fault NAME [ARGS] [count N] [id ID] [p P]\n"
    "                           fault the next N replies (default 1), only those for object\n"
    "                           ID if given, or every reply with probability P (p 0 ends it).\n"
    "                           NAME: crc, no-reply, partial, stray-ff, wrong-id,\n"
    "                           error E0 E1 E2 E3, wrong-segment, delay MS, hangup\n"
    "  fault clear              drop all faults, stream faults too\n"
    "  stream NAME [CODE]       fault the next sound stream block. NAME: skip (counter skips\n"
    "                           a value), crc, garbage (bytes before the block), silence\n"
    "                           (the stream ends without a word), error CODE (an error\n"
    "                           block with that code byte ends the stream)\n"
    "  step N                   move the live values on by N engine steps\n"
    "  counters                 requests, replies, faults, floods, bad checks, reads and\n"
    "                           writes per object ID, sound blocks and stop acknowledgements\n"
    "  hangup                   close the pseudo-terminal (the client sees the port vanish)\n"
    "  reopen                   open a new pseudo-terminal; answers with its path\n"
    "  quit                     end the simulator (so does the end of standard input)\n";

namespace {

using TWords = std::vector<std::string>;

struct TCommandError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

uint32_t ParseNumber(const std::string& text, uint32_t max) {
  const bool hex = text.starts_with("0x") || text.starts_with("0X");
  const char* begin = text.data() + (hex ? 2 : 0);
  const char* end = text.data() + text.size();
  uint64_t value = 0;
  const auto [ptr, ec] = std::from_chars(begin, end, value, hex ? 16 : 10);
  if (ec != std::errc() || ptr != end || begin == end || value > max) {
    throw TCommandError("bad number '" + text + "'");
  }
  return static_cast<uint32_t>(value);
}

uint16_t ParseId(const std::string& text) {
  return static_cast<uint16_t>(ParseNumber(text, 0xFFFF));
}

uint8_t ParseHexByte(const std::string& text) {
  uint32_t value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (ec != std::errc() || ptr != text.data() + text.size() || text.empty() || value > 0xFF) {
    throw TCommandError("bad hex byte '" + text + "'");
  }
  return static_cast<uint8_t>(value);
}

std::vector<uint8_t> ParseHexBytes(const TWords& words, size_t from) {
  std::vector<uint8_t> bytes;
  for (size_t i = from; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word.size() % 2 != 0) throw TCommandError("bad hex bytes '" + word + "'");
    for (size_t j = 0; j < word.size(); j += 2) bytes.push_back(ParseHexByte(word.substr(j, 2)));
  }
  return bytes;
}

double ParseProbability(const std::string& text) {
  double value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || !(value >= 0 && value <= 1)) {
    throw TCommandError("bad probability '" + text + "'");
  }
  return value;
}

void NeedWords(const TWords& words, size_t count) {
  if (words.size() < count) throw TCommandError("missing arguments to " + words[0]);
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char* const kDigits = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) {
    text += ' ';
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
  }
  return text;
}

std::string PerObject(const std::map<uint16_t, uint64_t>& counts) {
  std::string text;
  for (const auto& [id, count] : counts) {
    text += (text.empty() ? "" : ",") + std::to_string(id) + ":" + std::to_string(count);
  }
  return text;
}

std::vector<uint8_t> ObjectBytes(const TZarnoSimulator& sim, uint16_t id) {
  auto bytes = sim.GetObject(id);
  if (!bytes) throw TCommandError("unknown object " + std::to_string(id));
  return *bytes;
}

std::string Set(TZarnoSimulator& sim, const TWords& w) {
  NeedWords(w, 3);
  const uint16_t id = ParseId(w[1]);
  const size_t size = ObjectBytes(sim, id).size();
  const auto bytes =
      w[2] == "hex" ? ParseHexBytes(w, 3) : LittleEndian(ParseNumber(w[2], 0xFFFFFFFF), size);
  sim.SetObject(id, bytes);
  return "ok";
}

std::string Get(TZarnoSimulator& sim, const TWords& w) {
  NeedWords(w, 2);
  return "ok" + Hex(ObjectBytes(sim, ParseId(w[1])));
}

std::string Add(TZarnoSimulator& sim, const TWords& w) {
  NeedWords(w, 3);
  const bool isProtected = w.size() > 3 && w[3] == "protected";
  sim.AddObject(ParseId(w[1]), static_cast<int>(ParseNumber(w[2], 0xFFFF)), isProtected);
  return "ok";
}

// NAME, its own arguments, then keyword pairs.
std::string Fault(TZarnoSimulator& sim, const TWords& w) {
  NeedWords(w, 2);
  if (w[1] == "clear") {
    sim.ClearFaults();
    return "ok";
  }
  const auto kind = FaultKindByName(w[1]);
  if (!kind) throw TCommandError("unknown fault '" + w[1] + "'");
  TFault fault;
  fault.Kind = *kind;
  size_t next = 2;
  if (*kind == TFaultKind::ErrorReply) {
    NeedWords(w, 6);
    const auto bytes = ParseHexBytes(TWords(w.begin() + 2, w.begin() + 6), 0);
    if (bytes.size() != 4) throw TCommandError("error needs four bytes");
    std::copy(bytes.begin(), bytes.end(), fault.ErrorBytes.begin());
    next = 6;
  } else if (*kind == TFaultKind::Delay) {
    NeedWords(w, 3);
    fault.DelayMs = ParseNumber(w[2], 600000);
    next = 3;
  }
  int count = 1;
  std::optional<double> probability;
  for (; next + 1 < w.size(); next += 2) {
    if (w[next] == "count")
      count = static_cast<int>(ParseNumber(w[next + 1], 1000000));
    else if (w[next] == "id")
      fault.ObjectID = ParseId(w[next + 1]);
    else if (w[next] == "p")
      probability = ParseProbability(w[next + 1]);
    else
      throw TCommandError("unknown fault option '" + w[next] + "'");
  }
  if (next != w.size()) throw TCommandError("fault option '" + w[next] + "' needs a value");
  if (probability)
    sim.SetFaultProbability(fault, *probability);
  else
    sim.InjectFault(fault, count);
  return "ok";
}

std::string Stream(TZarnoSimulator& sim, const TWords& w) {
  NeedWords(w, 2);
  const auto kind = StreamFaultKindByName(w[1]);
  if (!kind) throw TCommandError("unknown stream fault '" + w[1] + "'");
  TStreamFault fault;
  fault.Kind = *kind;
  const size_t words = *kind == TStreamFaultKind::ErrorBlock ? 3 : 2;
  NeedWords(w, words);
  if (w.size() > words) throw TCommandError("too many arguments to stream");
  if (words == 3) fault.Code = static_cast<uint8_t>(ParseNumber(w[2], 0xFF));
  sim.InjectStreamFault(fault);
  return "ok";
}

std::string Step(TZarnoSimulator& sim, const TWords& w) {
  NeedWords(w, 2);
  sim.StepEngine(static_cast<int>(ParseNumber(w[1], 1000000)));
  return "ok";
}

std::string Counters(TZarnoSimulator& sim, const TWords&) {
  const TSimCounters c = sim.Counters();
  std::ostringstream out;
  out << "ok requests=" << c.Requests << " replies=" << c.Replies << " faults=" << c.FaultsInjected
      << " floods=" << c.FloodsReceived << " bad-checks=" << c.BadChecks
      << " reads=" << PerObject(c.Reads) << " writes=" << PerObject(c.Writes)
      << " sound-blocks=" << c.SoundBlocks << " stop-acks=" << c.StopAcks;
  return out.str();
}

std::string HangUp(TZarnoSimulator& sim, const TWords&) {
  sim.HangUp();
  return "ok";
}

std::string Reopen(TZarnoSimulator& sim, const TWords&) {
  return "ok " + sim.Start();
}

using THandler = std::function<std::string(TZarnoSimulator&, const TWords&)>;

const std::map<std::string, THandler>& Handlers() {
  static const std::map<std::string, THandler> handlers = {
      {"set", Set},       {"get", Get},       {"add", Add},
      {"fault", Fault},   {"step", Step},     {"counters", Counters},
      {"hangup", HangUp}, {"reopen", Reopen}, {"stream", Stream},
  };
  return handlers;
}

}  // namespace

std::string TSimCommandShell::Execute(const std::string& line) {
  std::istringstream in(line);
  TWords words{std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
  if (words.empty()) return "error: empty command";
  if (words[0] == "quit") {
    quit_ = true;
    return "ok";
  }
  const auto it = Handlers().find(words[0]);
  if (it == Handlers().end()) return "error: unknown command '" + words[0] + "'";
  try {
    return it->second(simulator_, words);
  } catch (const std::exception& e) {
    return std::string("error: ") + e.what();
  }
}

}  // namespace kalvist::sim
