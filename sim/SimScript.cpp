// Parsing hushmoor-sim's command lines.
#include "sim/SimScript.h"

#include <glib.h>

#include <charconv>
#include <climits>

#include "platform/foundation/NSUserDefaults.h"
#include "platform/iokit/IOMessage.h"

namespace {

// The line's words, split by GLib's shell rules; empty for a blank line or a
// comment.
std::vector<std::string> words(std::string line, int lineNumber) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.find_first_not_of(" \t") == std::string::npos) return {};
  gint count = 0;
  gchar** argv = nullptr;
  GError* error = nullptr;
  if (!g_shell_parse_argv(line.c_str(), &count, &argv, &error)) {
    const bool empty = g_error_matches(error, G_SHELL_ERROR, G_SHELL_ERROR_EMPTY_STRING);
    const std::string reason = error->message;
    g_error_free(error);
    if (empty) return {};
    throw SimScriptError(lineNumber, "cannot split the line into words: " + reason);
  }
  std::vector<std::string> result(argv, argv + count);
  g_strfreev(argv);
  return result;
}

// A path for the simulated machine: absolute, or in the run's home ("~/...").
std::string checkedPath(const std::string& path, int line, const char* usage) {
  if (path.starts_with("/") || (path.starts_with("~/") && path.size() > 2)) return path;
  throw SimScriptError(line, std::string("'") + usage +
                                 "': PATH must be absolute or start with ~/, not '" + path + "'");
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

SimCommand parseSimCommand(const std::vector<std::string>& w, int line) {
  const std::string& verb = w.at(0);
  const auto expect = [&](bool ok, const char* usage) {
    if (!ok) throw SimScriptError(line, std::string("malformed '") + verb + "': usage: " + usage);
  };
  using K = SimCommand::Kind;
  if (verb == "wifi") {
    constexpr const char* usage = "wifi on|off|absent|fail-off|fail-on|ok|other-change";
    expect(w.size() == 2, usage);
    static const std::pair<const char*, K> states[] = {
        {"on", K::WifiOn},          {"off", K::WifiOff},
        {"absent", K::WifiAbsent},  {"fail-off", K::WifiFailOff},
        {"fail-on", K::WifiFailOn}, {"ok", K::WifiOk},
        {"other-change", K::WifiOtherChange}};
    for (const auto& [word, kind] : states)
      if (w[1] == word) return SimCommand{kind, line, {}, 0};
    expect(false, usage);
  }
  if (verb == "power-registration") {
    expect(w.size() == 2 && (w[1] == "fail" || w[1] == "ok"), "power-registration fail|ok");
    return SimCommand{w[1] == "fail" ? K::RegistrationFail : K::RegistrationOk, line, {}, 0};
  }
  if (verb == "power-delay-limit") {
    constexpr const char* usage = "power-delay-limit SECONDS|none";
    expect(w.size() == 2, usage);
    SimCommand command{K::PowerDelayLimit, line, {}, 0};
    command.index = -1;
    if (w[1] != "none") {
      const auto [end, ec] = std::from_chars(w[1].data(), w[1].data() + w[1].size(), command.index);
      expect(ec == std::errc() && end == w[1].data() + w[1].size() && command.index >= 0 &&
                 command.index <= INT32_MAX,
             usage);
    }
    return command;
  }
  if (verb == "record") {
    expect(w.size() == 1, "record (no arguments)");
    return SimCommand{K::Record, line, {}, 0};
  }
  if (verb == "pass") {
    SimCommand command{K::Pass, line, {}, 0};
    const auto [end, ec] = w.size() == 2 ? std::from_chars(w[1].data(), w[1].data() + w[1].size(),
                                                           command.index)
                                         : std::from_chars_result{nullptr, std::errc::invalid_argument};
    expect(ec == std::errc() && end == w[1].data() + w[1].size() && command.index >= 0 &&
               command.index <= INT32_MAX,
           "pass SECONDS (time passes on the machine's clock)");
    return command;
  }
  if (verb == "status") {
    expect(w.size() == 1, "status (no arguments)");
    return SimCommand{K::Status, line, {}, 0};
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
  if (verb == "crash") {
    expect(w.size() == 1, "crash (no arguments)");
    return SimCommand{K::Crash, line, {}, 0};
  }
  if (verb == "bundle") {
    expect(w.size() == 2, "bundle PATH (quote a path with spaces)");
    return SimCommand{K::Bundle, line, {checkedPath(w[1], line, "bundle")}, 0};
  }
  if (verb == "login-items") {
    constexpr const char* usage =
        "login-items | login-items add PATH [hidden] | login-items remove INDEX";
    if (w.size() == 1) return SimCommand{K::LoginItemsList, line, {}, 0};
    if (w[1] == "add") {
      expect(w.size() == 3 || (w.size() == 4 && w[3] == "hidden"), usage);
      SimCommand command{K::LoginItemsAdd, line, {checkedPath(w[2], line, "login-items add")}, 0};
      command.hidden = w.size() == 4;
      return command;
    }
    expect(w.size() == 3 && w[1] == "remove", usage);
    SimCommand command{K::LoginItemsRemove, line, {}, 0};
    const auto [end, ec] = std::from_chars(w[2].data(), w[2].data() + w[2].size(), command.index);
    expect(ec == std::errc() && end == w[2].data() + w[2].size() && command.index >= 0 &&
               command.index <= INT32_MAX,
           "login-items remove INDEX (INDEX a number from 0)");
    return command;
  }
  if (verb == "system-events") {
    expect(w.size() == 2 && (w[1] == "fail" || w[1] == "ok" || w[1] == "stop"),
           "system-events fail|ok|stop");
    const K kind = w[1] == "fail" ? K::SystemEventsFail
                   : w[1] == "ok" ? K::SystemEventsOk
                                  : K::SystemEventsStop;
    return SimCommand{kind, line, {}, 0};
  }
  throw SimScriptError(line, "unknown command '" + verb + "'");
}

namespace {
std::string echoText(const std::vector<std::string>& words) {
  static const char kPlain[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-+=.,:/~@%";
  std::string text;
  for (const std::string& word : words) {
    if (!text.empty()) text += ' ';
    if (!word.empty() && word.find_first_not_of(kPlain) == std::string::npos) {
      text += word;
    } else {
      gchar* quoted = g_shell_quote(word.c_str());
      text += quoted;
      g_free(quoted);
    }
  }
  return text;
}
}  // namespace

std::vector<SimCommand> parseSimScript(std::istream& in) {
  std::vector<SimCommand> script;
  int lineNumber = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    const std::vector<std::string> w = words(line, lineNumber);
    if (w.empty()) continue;
    script.push_back(parseSimCommand(w, lineNumber));
    script.back().text = echoText(w);
  }
  return script;
}
