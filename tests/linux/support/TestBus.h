// A private D-Bus daemon that stands in for the system bus, and
// python-dbusmock's logind on it. Nothing of the machine's own buses is used.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

// Iterates the thread-default main context until the condition holds;
// false when it still does not after the limit (a hang guard, not a timing check).
bool runUntil(const std::function<bool()>& condition, int limitMs = 10000);

class PrivateSystemBus {
 public:
  PrivateSystemBus();
  ~PrivateSystemBus();
  PrivateSystemBus(const PrivateSystemBus&) = delete;
  PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;

  bool ok() const { return connection_ != nullptr; }
  const std::string& error() const { return error_; }
  const std::string& address() const { return address_; }
  // The test's own client connection to the bus.
  GDBusConnection* connection() const { return connection_; }
  // The unique name owning `name`, or "" when nobody does.
  std::string nameOwner(const char* name) const;

 private:
  GTestDBus* bus_;
  std::string address_, error_;
  GDBusConnection* connection_ = nullptr;
};

using Inhibitor =
    std::tuple<std::string, std::string, std::string, std::string>;  // what who why mode

class MockLogind {
 public:
  // Starts dbusmock with our logind template; waits until it owns the name
  // (taking it over from a logind still running, if any).
  explicit MockLogind(PrivateSystemBus& bus, uint64_t inhibitDelayMaxUSec = 5000000);
  ~MockLogind() { stop(); }
  MockLogind(const MockLogind&) = delete;
  MockLogind& operator=(const MockLogind&) = delete;

  bool ok() const { return running_; }
  const std::string& error() const { return error_; }
  void stop();

  void emitPrepareForSleep(bool start);
  std::vector<Inhibitor> inhibitors();
  void failInhibit(const std::string& errorName, unsigned times);
  // While held, Inhibit calls get no answer; releasing answers them. Returns
  // how many calls are held (when holding) or were answered (when releasing).
  unsigned holdInhibit(bool hold);

 private:
  GVariant* call(const char* interface, const char* method, GVariant* args, const char* replyType);
  PrivateSystemBus& bus_;
  std::string owner_;  // our unique name on the bus
  GSubprocess* process_ = nullptr;
  bool running_ = false;
  std::string error_;
};
