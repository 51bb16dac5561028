// systemd-logind's sleep notifications and a "delay" inhibitor lock, over
// D-Bus on the system bus: logind announces a suspend with PrepareForSleep(true)
// and waits (up to its InhibitDelayMaxSec) until every delay lock is closed;
// PrepareForSleep(false) follows the wake, or a sleep that failed.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class LogindSleepInhibitor {
 public:
  // Called on the thread whose GLib main context was the thread default when
  // start() ran: true when a sleep is about to begin, false after the wake.
  // When called with false, the lock has been taken again, or, should logind
  // still be busy after the retries, is being asked for in the background.
  using SleepHandler = std::function<void(bool goingToSleep)>;

  struct Options {
    std::string why = "Switching the wireless radio off before the system sleeps";
    // Empty: the system bus, from DBUS_SYSTEM_BUS_ADDRESS or its default place.
    std::string busAddress;
    // Re-taking the lock right after a wake can meet logind still finishing
    // the sleep operation; these bound the retries.
    int retakeAttempts = 20;
    int retakeIntervalMs = 50;
    // Should the lock still not be had after a wake or a restart of logind,
    // it is asked for again at this interval, in the background, until it is:
    // without it no later sleep would wait for us.
    int backgroundRetryMs = 1000;
  };

  // Connects, subscribes to PrepareForSleep, then takes the lock (in that
  // order, so no announcement falls between the two). Nothing when logind
  // cannot be reached or refuses the lock; *error says why.
  static std::unique_ptr<LogindSleepInhibitor> start(Options options, SleepHandler handler,
                                                     std::string* error = nullptr);
  // Drops the subscription and the lock and closes the connection.
  ~LogindSleepInhibitor();
  LogindSleepInhibitor(const LogindSleepInhibitor&) = delete;
  LogindSleepInhibitor& operator=(const LogindSleepInhibitor&) = delete;

  bool holdsLock() const { return lockFd_ >= 0; }
  int lockFd() const { return lockFd_; }
  // Lets a pending sleep go on: closing our copy of the lock's fd is how
  // logind learns that we are done. Does nothing when no lock is held.
  void releaseLock();
  // Takes the lock when none is held, retrying while logind reports the
  // operation still running. False when it could not be taken.
  bool takeLock(std::string* error = nullptr);

  // logind's InhibitDelayMaxUSec: how long it honours a delay lock.
  std::optional<uint64_t> inhibitDelayMaxUSec() const;

 private:
  LogindSleepInhibitor(Options options, SleepHandler handler, GDBusConnection* connection);
  enum class Attempt { Taken, Busy, Failed };
  Attempt tryTakeLock(std::string* error);
  // Takes the lock now, or keeps trying in the background.
  void retakeLock();
  static gboolean onRetryTimer(gpointer self);
  static void onPrepareForSleep(GDBusConnection*, const char*, const char*, const char*,
                                const char*, GVariant*, gpointer);
  static void onNameAppeared(GDBusConnection*, const char*, const char*, gpointer);
  static void onNameVanished(GDBusConnection*, const char*, gpointer);

  Options options_;
  SleepHandler handler_;
  GDBusConnection* connection_;
  unsigned subscription_ = 0;
  unsigned nameWatch_ = 0;
  unsigned retryTimer_ = 0;
  int lockFd_ = -1;
  std::string logindOwner_;  // unique bus name of the logind instance we deal with
};
