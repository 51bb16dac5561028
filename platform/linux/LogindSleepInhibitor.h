// systemd-logind's sleep notifications and a "delay" inhibitor lock, over
// D-Bus on the system bus: logind announces a suspend with PrepareForSleep(true)
// and waits (up to its InhibitDelayMaxSec) until every delay lock is closed;
// PrepareForSleep(false) follows the wake, or a sleep that failed.
//
// Only the first lock, in start(), is taken with a blocking call: the caller
// must learn there whether logind is there and grants locks at all. Every later
// lock (after a wake, after logind restarted, after a busy answer) is asked for
// without waiting: the request goes out, the reply stores the fd when it comes,
// and nothing else (the wake's handler above all) waits for it. A newer request
// (a new logind instance brings one), a sleep announcement and the destructor
// cancel a pending request; its fd, should one still come, is closed unseen.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/linux/SystemError.h"

class LogindSleepInhibitor {
 public:
  // Called on the thread whose GLib main context was the thread default when
  // start() ran, from that context: true when a sleep is about to begin, false
  // after the wake, when the lock has only been asked for again.
  using SleepHandler = std::function<void(bool goingToSleep)>;

  struct Options {
    std::string who = "Hushmoor";  // the program, as `systemd-inhibit --list` shows it
    std::string why = "Switching the wireless radio off before the system sleeps";
    // Empty: the system bus, from DBUS_SYSTEM_BUS_ADDRESS or its default place.
    std::string busAddress;
    // logind answers OperationInProgress while it finishes a sleep: asked
    // again this soon. Any other failure (a refusal, no answer) waits longer,
    // so a logind that says no is not pestered. Without a lock no later sleep
    // would wait for us, so the asking only ends once the lock is had.
    int busyRetryMs = 100;
    int failureRetryMs = 5000;
  };

  // What a refusal for lack of rights most likely means, for the log and the
  // panel: logind lets a user other than root have the lock only when polkit
  // says yes, and polkit's rules may treat sessions away from the seat apart.
  static constexpr const char* kAccessRefusedCauses =
      "logind gives a user the sleep lock only when polkit agrees: is the polkit daemon "
      "installed (package polkitd), and is this a local seat session (one over ssh, for "
      "example, gets only what the local polkit rules allow)?";

  // Connects, subscribes to PrepareForSleep, then takes the lock (in that
  // order, so no announcement falls between the two). Blocks the calling
  // thread for up to 25 s while logind answers (polkit may have to start
  // first). Nothing when logind cannot be reached or refuses the lock (*error
  // says why; its code is EACCES for a refusal for lack of rights, EIO
  // otherwise); a busy logind is not a refusal: the lock is then asked for
  // again in the background. Must not be called from a thread
  // other than the one that will run the main context.
  static std::unique_ptr<LogindSleepInhibitor> start(Options options, SleepHandler handler,
                                                     SystemError* error = nullptr);
  // Cancels a pending request, drops the subscription and the lock and closes
  // the connection. Does not block on logind. Not from inside the handler.
  ~LogindSleepInhibitor();
  LogindSleepInhibitor(const LogindSleepInhibitor&) = delete;
  LogindSleepInhibitor& operator=(const LogindSleepInhibitor&) = delete;

  bool holdsLock() const { return lockFd_ >= 0; }
  int lockFdForTesting() const { return lockFd_; }
  // A lock request is on its way to logind or waits for its retry.
  bool lockRequestedForTesting() const { return pending_ != nullptr || retry_ != nullptr; }
  // Lets a pending sleep go on: closing our copy of the lock's fd is how
  // logind learns that we are done. Never blocks; nothing when no lock is held.
  void releaseLock();

  // logind's InhibitDelayMaxUSec: how long it honours a delay lock. Blocks for
  // up to a few seconds; meant for start-up, not for the handler of a wake.
  std::optional<uint64_t> inhibitDelayMaxUSec() const;

  // What logind says now, for a person asking, with no lock and no
  // subscription: whether it lists a sleep delay lock of `options.who` held
  // by process `pid` of this user, and its InhibitDelayMaxUSec. Nothing when
  // the bus or logind cannot be asked (*error says why). Blocks for about a
  // second at most, whatever the bus or logind do. Any thread.
  struct Listing {
    bool lockListed = false;
    std::optional<uint64_t> inhibitDelayMaxUSec;
  };
  static std::optional<Listing> list(const Options& options, int pid, SystemError* error);

 private:
  enum class Answer { Taken, Busy, Failed };
  LogindSleepInhibitor(Options options, SleepHandler handler, GDBusConnection* connection);
  GDBusMessage* inhibitCall() const;
  Answer adopt(GDBusMessage* reply, GError* gerror, SystemError* error);
  // Sends a new request unless a lock is held; never waits for the answer.
  void requestLock();
  void cancelRequest();
  void retryIn(int ms);
  static void onInhibitReply(GObject* connection, GAsyncResult* result, gpointer self);
  static gboolean onRetryTimer(gpointer self);
  static void onPrepareForSleep(GDBusConnection*, const char*, const char*, const char*,
                                const char*, GVariant*, gpointer);
  static void onNameAppeared(GDBusConnection*, const char*, const char*, gpointer);
  static void onNameVanished(GDBusConnection*, const char*, gpointer);

  Options options_;
  SleepHandler handler_;
  GDBusConnection* connection_;
  GMainContext* context_;  // where every callback of ours runs, retries included
  unsigned subscription_ = 0;
  unsigned nameWatch_ = 0;
  GCancellable* pending_ = nullptr;  // the request on its way, if any
  GSource* retry_ = nullptr;         // the timer of the next request, if any
  int lockFd_ = -1;
  std::string logindOwner_;  // unique bus name of the logind instance we deal with
};
