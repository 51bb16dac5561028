// NSUserDefaults: settings looked up through three domains, first hit wins:
// the argument domain ("-Key value" process arguments), the application domain
// (a key file named by the bundle identifier in the user's config folder,
// shared with other processes) and the registration domain (in memory).
#pragma once

#include <glib.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/foundation/NSString.h"

// One stored value: an integer or a boolean (YES/NO).
using NSDefaultsValue = std::variant<long, bool>;
using NSDefaultsDictionary = std::map<std::string, NSDefaultsValue>;

class NSUserDefaults {
 public:
  // The process's defaults for the main bundle's identifier and the process
  // arguments NSApplicationMain was given.
  static NSUserDefaults& standardUserDefaults();
  // Forgets the process-wide instance (a new simulated process starts).
  static void resetStandardUserDefaults();

  NSUserDefaults(std::string bundleIdentifier, std::vector<std::string> arguments);

  void registerDefaults(const NSDefaultsDictionary& defaults);

  // 0 / NO when no domain has the key or its value is not a number or boolean.
  long integerForKey(const std::string& key);
  bool boolForKey(const std::string& key);

  // Changes the application domain; the change is seen at once in this
  // process and written to disk by synchronize.
  void setBool(bool value, const std::string& key);
  void setInteger(long value, const std::string& key);
  void removeObjectForKey(const std::string& key);

  // Writes this process's pending changes to the file, keeping values other
  // processes have written since, and the comments and keys it does not know;
  // a symlinked file is replaced at its target, so the link stays. False (with
  // one warning a run) when the file cannot be written, or when the one there
  // cannot be read: that one is never overwritten.
  bool synchronize();

  // Where the application domain lives: $XDG_CONFIG_HOME (or ~/.config)
  // /<bundle identifier>.defaults.
  std::string applicationDomainPath() const;

 private:
  std::optional<NSDefaultsValue> lookUp(const std::string& key);
  NSDefaultsDictionary readApplicationDomain();
  // The file's keys, comments kept, into `keys`; false when a file is there
  // that must not be written over (unreadable, or corrupt and not moved aside).
  bool loadApplicationDomain(GKeyFile* keys);

  std::string bundleIdentifier_;
  NSDefaultsDictionary argumentDomain_;
  NSDefaultsDictionary registrationDomain_;
  // Changes not yet synchronized: a value, or none for a removal.
  std::map<std::string, std::optional<NSDefaultsValue>> pending_;
  bool readProblemReported_ = false, writeProblemReported_ = false;
};

// Parses a defaults value as written in files, arguments and scripts: a
// decimal integer, or YES/NO (also true/false); none for anything else.
std::optional<NSDefaultsValue> NSDefaultsValueFromString(const std::string& text);
std::string NSDefaultsValueToString(const NSDefaultsValue& value);
