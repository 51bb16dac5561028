// The logind client: one private connection to the system bus, a signal
// subscription, a watch on logind's bus name and at most one lock fd.
#include "platform/linux/LogindSleepInhibitor.h"

#include <fcntl.h>
#include <gio/gunixfdlist.h>
#include <unistd.h>

namespace {

constexpr const char* kLogindName = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kManagerInterface = "org.freedesktop.login1.Manager";
constexpr const char* kOperationInProgress = "org.freedesktop.login1.OperationInProgress";
constexpr int kCallTimeoutMs = 5000;

std::string describe(const GError* error) {
  return error != nullptr && error->message != nullptr ? error->message : "unknown error";
}

}  // namespace

std::unique_ptr<LogindSleepInhibitor> LogindSleepInhibitor::start(Options options,
                                                                  SleepHandler handler,
                                                                  std::string* error) {
  g_autoptr(GError) gerror = nullptr;
  g_autofree char* address = options.busAddress.empty() ? g_dbus_address_get_for_bus_sync(
                                                              G_BUS_TYPE_SYSTEM, nullptr, &gerror)
                                                        : g_strdup(options.busAddress.c_str());
  if (address == nullptr) {
    if (error) *error = "no system bus: " + describe(gerror);
    return nullptr;
  }
  // A connection of our own rather than the shared singleton: closing it on
  // deregistration cannot disturb other users, and a test can point each
  // instance at a different bus.
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &gerror);
  if (connection == nullptr) {
    if (error) *error = "cannot connect to the system bus: " + describe(gerror);
    return nullptr;
  }
  g_dbus_connection_set_exit_on_close(connection, FALSE);

  std::unique_ptr<LogindSleepInhibitor> self(
      new LogindSleepInhibitor(std::move(options), std::move(handler), connection));
  if (!self->takeLock(error)) return nullptr;
  return self;
}

LogindSleepInhibitor::LogindSleepInhibitor(Options options, SleepHandler handler,
                                           GDBusConnection* connection)
    : options_(std::move(options)), handler_(std::move(handler)), connection_(connection) {
  // Subscribed by well-known name: the bus matches it against whoever owns
  // the name when the signal is sent, so a restarted logind is heard too.
  subscription_ = g_dbus_connection_signal_subscribe(
      connection_, kLogindName, kManagerInterface, "PrepareForSleep", kLogindPath, nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, &LogindSleepInhibitor::onPrepareForSleep, this, nullptr);
  nameWatch_ = g_bus_watch_name_on_connection(
      connection_, kLogindName, G_BUS_NAME_WATCHER_FLAGS_NONE,
      &LogindSleepInhibitor::onNameAppeared, &LogindSleepInhibitor::onNameVanished, this, nullptr);
}

LogindSleepInhibitor::~LogindSleepInhibitor() {
  if (retryTimer_ != 0) g_source_remove(retryTimer_);
  g_bus_unwatch_name(nameWatch_);
  g_dbus_connection_signal_unsubscribe(connection_, subscription_);
  releaseLock();
  g_dbus_connection_close_sync(connection_, nullptr, nullptr);
  g_object_unref(connection_);
}

void LogindSleepInhibitor::releaseLock() {
  if (lockFd_ < 0) return;
  ::close(lockFd_);
  lockFd_ = -1;
}

bool LogindSleepInhibitor::takeLock(std::string* error) {
  if (holdsLock()) return true;
  const int attempts = options_.retakeAttempts < 1 ? 1 : options_.retakeAttempts;
  for (int i = 0; i < attempts; ++i) {
    switch (tryTakeLock(error)) {
      case Attempt::Taken:
        return true;
      case Attempt::Failed:
        return false;
      case Attempt::Busy:
        if (i + 1 < attempts) g_usleep(static_cast<gulong>(options_.retakeIntervalMs) * 1000);
        break;
    }
  }
  return false;
}

void LogindSleepInhibitor::retakeLock() {
  if (takeLock(nullptr) || retryTimer_ != 0) return;
  retryTimer_ = g_timeout_add(static_cast<guint>(options_.backgroundRetryMs),
                              &LogindSleepInhibitor::onRetryTimer, this);
}

gboolean LogindSleepInhibitor::onRetryTimer(gpointer self) {
  auto* me = static_cast<LogindSleepInhibitor*>(self);
  // One attempt per tick, so the main thread is never held up for long.
  if (me->holdsLock() || me->tryTakeLock(nullptr) == Attempt::Taken) {
    me->retryTimer_ = 0;
    return G_SOURCE_REMOVE;
  }
  return G_SOURCE_CONTINUE;
}

LogindSleepInhibitor::Attempt LogindSleepInhibitor::tryTakeLock(std::string* error) {
  g_autoptr(GDBusMessage) call =
      g_dbus_message_new_method_call(kLogindName, kLogindPath, kManagerInterface, "Inhibit");
  g_dbus_message_set_body(
      call, g_variant_new("(ssss)", "sleep", "Hushmoor", options_.why.c_str(), "delay"));
  g_autoptr(GError) gerror = nullptr;
  // The whole reply message, not just its body: its sender tells which logind
  // instance granted the lock, so a restart can be told from a name-watch echo.
  g_autoptr(GDBusMessage) reply = g_dbus_connection_send_message_with_reply_sync(
      connection_, call, G_DBUS_SEND_MESSAGE_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr, &gerror);
  if (reply != nullptr) g_dbus_message_to_gerror(reply, &gerror);
  if (gerror != nullptr) {
    g_autofree char* remote = g_dbus_error_get_remote_error(gerror);
    g_dbus_error_strip_remote_error(gerror);
    if (error) *error = "no sleep lock from logind: " + describe(gerror);
    return remote != nullptr && g_strcmp0(remote, kOperationInProgress) == 0 ? Attempt::Busy
                                                                             : Attempt::Failed;
  }

  GVariant* body = g_dbus_message_get_body(reply);
  GUnixFDList* fds = g_dbus_message_get_unix_fd_list(reply);
  if (body == nullptr || !g_variant_is_of_type(body, G_VARIANT_TYPE("(h)")) || fds == nullptr) {
    if (error) *error = "logind answered the lock request without a file descriptor";
    return Attempt::Failed;
  }
  gint32 handle = 0;
  g_variant_get(body, "(h)", &handle);
  // g_unix_fd_list_get hands out a duplicate with close-on-exec set, so a
  // program we might start never keeps the machine from sleeping; the list
  // closes its own copy when the reply goes.
  const int fd = g_unix_fd_list_get(fds, handle, &gerror);
  if (fd < 0) {
    if (error) *error = "cannot take logind's lock fd: " + describe(gerror);
    return Attempt::Failed;
  }
  ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
  lockFd_ = fd;
  const char* sender = g_dbus_message_get_sender(reply);
  logindOwner_ = sender != nullptr ? sender : "";
  return Attempt::Taken;
}

std::optional<uint64_t> LogindSleepInhibitor::inhibitDelayMaxUSec() const {
  g_autoptr(GError) gerror = nullptr;
  g_autoptr(GVariant) result = g_dbus_connection_call_sync(
      connection_, kLogindName, kLogindPath, "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", kManagerInterface, "InhibitDelayMaxUSec"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &gerror);
  if (result == nullptr) return std::nullopt;
  g_autoptr(GVariant) value = nullptr;
  g_variant_get(result, "(v)", &value);
  if (!g_variant_is_of_type(value, G_VARIANT_TYPE_UINT64)) return std::nullopt;
  return g_variant_get_uint64(value);
}

void LogindSleepInhibitor::onPrepareForSleep(GDBusConnection*, const char*, const char*,
                                             const char*, const char*, GVariant* parameters,
                                             gpointer self) {
  auto* me = static_cast<LogindSleepInhibitor*>(self);
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
  gboolean start = FALSE;
  g_variant_get(parameters, "(b)", &start);
  if (!start) {
    // A false also ends a sleep that failed; either way the next sleep needs
    // a lock again. When it cannot be had yet, the wake is still reported:
    // the radio must come back on regardless.
    me->retakeLock();
  }
  if (me->handler_) me->handler_(start != FALSE);
}

void LogindSleepInhibitor::onNameAppeared(GDBusConnection*, const char*, const char* owner,
                                          gpointer self) {
  auto* me = static_cast<LogindSleepInhibitor*>(self);
  // The watch first reports the instance that granted our lock; that must not
  // take a lock we may have just released for a sleep. Only a new instance
  // (logind restarted) needs a new lock.
  if (me->logindOwner_ == owner) return;
  me->logindOwner_ = owner;
  me->releaseLock();
  me->retakeLock();
}

void LogindSleepInhibitor::onNameVanished(GDBusConnection*, const char*, gpointer self) {
  // The lock died with its logind; keep no stale fd around.
  auto* me = static_cast<LogindSleepInhibitor*>(self);
  me->logindOwner_.clear();
  me->releaseLock();
}
