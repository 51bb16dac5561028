// Parsing hushmoor-sim's command lines.
#include "sim/SimScript.h"

#include <charconv>
#include <sstream>

#include "platform/foundation/NSUserDefaults.h"
#include "platform/iokit/IOMessage.h"

namespace {

std::vector<std::string> tokens(const std::string& line) {
  std::istringstream words(line);
  std::vector<std::string> result;
  for (std::string word; words >> word;) result.push_back(word);
  return result;
}

uint32_t parseCode(const std::string& text, int line) {
  const bool prefixed = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  uint32_t value = 0;
  if (prefixed && text.size() <= 10) {
    const auto [end, ec] = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
    if (ec == std::errc() && end == text.data() + text.size()) return value;
  }
  throw SimScriptError(line, "'notify' takes a 32-bit code written 0xHEX, not '" + text + "'");
}

}  // namespace

SimCommand parseSimCommand(const std::string& text, int line) {
  const std::vector<std::string> w = tokens(text);
  const std::string& verb = w.at(0);
  const auto expect = [&](bool ok, const char* usage) {
    if (!ok) throw SimScriptError(line, std::string("malformed '") + verb + "': usage: " + usage);
  };
  using K = SimCommand::Kind;
  if (verb == "wifi") {
    expect(w.size() == 2, "wifi on|off|absent|fail-off|fail-on|ok");
    static const std::pair<const char*, K> states[] = {
        {"on", K::WifiOn},           {"off", K::WifiOff},         {"absent", K::WifiAbsent},
        {"fail-off", K::WifiFailOff}, {"fail-on", K::WifiFailOn}, {"ok", K::WifiOk}};
    for (const auto& [word, kind] : states)
      if (w[1] == word) return SimCommand{kind, line, {}, 0};
    expect(false, "wifi on|off|absent|fail-off|fail-on|ok");
  }
  if (verb == "power-registration") {
    expect(w.size() == 2 && (w[1] == "fail" || w[1] == "ok"), "power-registration fail|ok");
    return SimCommand{w[1] == "fail" ? K::RegistrationFail : K::RegistrationOk, line, {}, 0};
  }
  if (verb == "defaults") {
    if (w.size() == 4 && w[1] == "write") {
      expect(NSDefaultsValueFromString(w[3]).has_value(),
             "defaults write KEY VALUE (VALUE an integer or YES/NO)");
      return SimCommand{K::DefaultsWrite, line, {w[2], w[3]}, 0};
    }
    expect(w.size() == 3 && w[1] == "delete", "defaults write KEY VALUE | defaults delete KEY");
    return SimCommand{K::DefaultsDelete, line, {w[2]}, 0};
  }
  if (verb == "launch") return SimCommand{K::Launch, line, {w.begin() + 1, w.end()}, 0};
  if (verb == "sleep" || verb == "can-sleep" || verb == "wake") {
    expect(w.size() == 1, "sleep | can-sleep | wake (no arguments)");
    const uint32_t code = verb == "sleep"       ? kIOMessageSystemWillSleep
                          : verb == "can-sleep" ? kIOMessageCanSystemSleep
                                                : kIOMessageSystemHasPoweredOn;
    return SimCommand{K::Notify, line, {}, code};
  }
  if (verb == "notify") {
    expect(w.size() == 2, "notify 0xHEX");
    return SimCommand{K::Notify, line, {}, parseCode(w[1], line)};
  }
  if (verb == "quit") {
    expect(w.size() == 1, "quit (no arguments)");
    return SimCommand{K::Quit, line, {}, 0};
  }
  throw SimScriptError(line, "unknown command '" + verb + "'");
}

std::vector<SimCommand> parseSimScript(std::istream& in) {
  std::vector<SimCommand> script;
  int lineNumber = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    script.push_back(parseSimCommand(line, lineNumber));
  }
  return script;
}
