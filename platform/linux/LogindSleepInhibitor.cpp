// The logind client: one private connection to the system bus, a signal
// subscription, a watch on logind's bus name and at most one lock fd.
#include "platform/linux/LogindSleepInhibitor.h"

#include <gio/gunixfdlist.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>

namespace {

constexpr const char* kLogindName = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kManagerInterface = "org.freedesktop.login1.Manager";
constexpr const char* kOperationInProgress = "org.freedesktop.login1.OperationInProgress";
// The answers of a logind (or of the bus) that will not let this caller have
// the lock: polkit said no, could not be asked, or wants a password nobody
// can type here.
constexpr const char* kAccessErrors[] = {
    "org.freedesktop.DBus.Error.AccessDenied",
    "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired",
    "System.Error.EACCES",
    "System.Error.EPERM",
};
constexpr int kCallTimeoutMs = 5000;
// The first lock's answer may wait for polkit, which D-Bus starts on demand:
// at a login on a busy machine that alone took 5 s. D-Bus's own default.
constexpr int kFirstLockTimeoutMs = 25000;

std::string describe(const GError* error) {
  return error != nullptr && error->message != nullptr ? error->message : "unknown error";
}

// A private connection to the system bus (the options' address, else
// DBUS_SYSTEM_BUS_ADDRESS or its default place); nullptr and *error when there
// is none. Blocks while the bus answers the handshake, until `cancellable`.
GDBusConnection* connectToSystemBus(const LogindSleepInhibitor::Options& options,
                                    GCancellable* cancellable, SystemError* error) {
  g_autoptr(GError) gerror = nullptr;
  g_autofree char* address = options.busAddress.empty() ? g_dbus_address_get_for_bus_sync(
                                                              G_BUS_TYPE_SYSTEM, nullptr, &gerror)
                                                        : g_strdup(options.busAddress.c_str());
  if (address == nullptr) {
    if (error) *error = {EIO, "no system bus: " + describe(gerror)};
    return nullptr;
  }
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, cancellable, &gerror);
  if (connection == nullptr) {
    if (error) *error = {EIO, "cannot connect to the system bus: " + describe(gerror)};
    return nullptr;
  }
  g_dbus_connection_set_exit_on_close(connection, FALSE);
  return connection;
}

// logind's InhibitDelayMaxUSec; none when it does not answer in time or the
// value is not a number. Blocks up to `timeoutMs`, or until `cancellable`.
std::optional<uint64_t> readInhibitDelayMaxUSec(GDBusConnection* connection, int timeoutMs,
                                                GCancellable* cancellable) {
  g_autoptr(GVariant) result = g_dbus_connection_call_sync(
      connection, kLogindName, kLogindPath, "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", kManagerInterface, "InhibitDelayMaxUSec"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NONE, timeoutMs, cancellable, nullptr);
  if (result == nullptr) return std::nullopt;
  g_autoptr(GVariant) value = nullptr;
  g_variant_get(result, "(v)", &value);
  if (!g_variant_is_of_type(value, G_VARIANT_TYPE_UINT64)) return std::nullopt;
  return g_variant_get_uint64(value);
}

}  // namespace

std::unique_ptr<LogindSleepInhibitor> LogindSleepInhibitor::start(Options options,
                                                                  SleepHandler handler,
                                                                  SystemError* error) {
  // A connection of our own rather than the shared singleton: closing it on
  // deregistration cannot disturb other users, and a test can point each
  // instance at a different bus.
  GDBusConnection* connection = connectToSystemBus(options, nullptr, error);
  if (connection == nullptr) return nullptr;
  g_autoptr(GError) gerror = nullptr;

  std::unique_ptr<LogindSleepInhibitor> self(
      new LogindSleepInhibitor(std::move(options), std::move(handler), connection));
  // The first lock with a blocking call: registering for power notifications
  // is itself a blocking call whose answer says whether they will come, and a
  // logind that is missing or says no must make it fail.
  g_autoptr(GDBusMessage) call = self->inhibitCall();
  g_autoptr(GDBusMessage) reply = g_dbus_connection_send_message_with_reply_sync(
      connection, call, G_DBUS_SEND_MESSAGE_FLAGS_NONE, kFirstLockTimeoutMs, nullptr, nullptr,
      &gerror);
  switch (self->adopt(reply, gerror, error)) {
    case Answer::Taken:
      return self;
    case Answer::Busy:
      self->retryIn(self->options_.busyRetryMs);
      return self;
    case Answer::Failed:
      return nullptr;
  }
  return nullptr;
}

LogindSleepInhibitor::LogindSleepInhibitor(Options options, SleepHandler handler,
                                           GDBusConnection* connection)
    : options_(std::move(options)),
      handler_(std::move(handler)),
      connection_(connection),
      context_(g_main_context_ref_thread_default()) {
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
  cancelRequest();
  g_bus_unwatch_name(nameWatch_);
  g_dbus_connection_signal_unsubscribe(connection_, subscription_);
  releaseLock();
  g_dbus_connection_close_sync(connection_, nullptr, nullptr);
  g_object_unref(connection_);
  g_main_context_unref(context_);
}

void LogindSleepInhibitor::releaseLock() {
  if (lockFd_ < 0) return;
  ::close(lockFd_);
  lockFd_ = -1;
}

GDBusMessage* LogindSleepInhibitor::inhibitCall() const {
  GDBusMessage* call =
      g_dbus_message_new_method_call(kLogindName, kLogindPath, kManagerInterface, "Inhibit");
  g_dbus_message_set_body(
      call, g_variant_new("(ssss)", "sleep", options_.who.c_str(), options_.why.c_str(), "delay"));
  return call;
}

void LogindSleepInhibitor::requestLock() {
  cancelRequest();
  if (holdsLock()) return;
  pending_ = g_cancellable_new();
  g_autoptr(GDBusMessage) call = inhibitCall();
  // The whole reply message, not just its body: its sender tells which logind
  // instance granted the lock, so a restart can be told from a name-watch echo.
  g_dbus_connection_send_message_with_reply(connection_, call, G_DBUS_SEND_MESSAGE_FLAGS_NONE, -1,
                                            nullptr, pending_,
                                            &LogindSleepInhibitor::onInhibitReply, this);
}

void LogindSleepInhibitor::cancelRequest() {
  if (pending_ != nullptr) {
    g_cancellable_cancel(pending_);
    g_clear_object(&pending_);
  }
  if (retry_ != nullptr) {
    g_source_destroy(retry_);
    g_clear_pointer(&retry_, g_source_unref);
  }
}

void LogindSleepInhibitor::retryIn(int ms) {
  retry_ = g_timeout_source_new(static_cast<guint>(ms));
  g_source_set_callback(retry_, &LogindSleepInhibitor::onRetryTimer, this, nullptr);
  g_source_attach(retry_, context_);
}

gboolean LogindSleepInhibitor::onRetryTimer(gpointer self) {
  auto* me = static_cast<LogindSleepInhibitor*>(self);
  g_clear_pointer(&me->retry_, g_source_unref);
  me->requestLock();
  return G_SOURCE_REMOVE;
}

void LogindSleepInhibitor::onInhibitReply(GObject* connection, GAsyncResult* result,
                                          gpointer self) {
  g_autoptr(GError) gerror = nullptr;
  // Owning the reply closes the fds it carries unless adopt() took a copy.
  g_autoptr(GDBusMessage) reply = g_dbus_connection_send_message_with_reply_finish(
      G_DBUS_CONNECTION(connection), result, &gerror);
  // Cancelled: the request was replaced or its client is gone (`self` may be
  // freed memory), and the lock it may carry is nobody's.
  if (g_error_matches(gerror, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return;
  auto* me = static_cast<LogindSleepInhibitor*>(self);
  g_clear_object(&me->pending_);
  switch (me->adopt(reply, gerror, nullptr)) {
    case Answer::Taken:
      break;
    case Answer::Busy:
      me->retryIn(me->options_.busyRetryMs);
      break;
    case Answer::Failed:
      me->retryIn(me->options_.failureRetryMs);
      break;
  }
}

LogindSleepInhibitor::Answer LogindSleepInhibitor::adopt(GDBusMessage* reply, GError* gerror,
                                                         SystemError* error) {
  g_autoptr(GError) remoteError = nullptr;
  if (gerror == nullptr && reply != nullptr && g_dbus_message_to_gerror(reply, &remoteError))
    gerror = remoteError;
  if (gerror != nullptr) {
    g_autofree char* remote = g_dbus_error_get_remote_error(gerror);
    g_dbus_error_strip_remote_error(gerror);
    if (error) *error = {EIO, "no sleep lock from logind: " + describe(gerror)};
    for (const char* name : kAccessErrors) {
      if (g_strcmp0(remote, name) != 0 || error == nullptr) continue;
      error->code = EACCES;
      error->description += std::string(" (") + kAccessRefusedCauses + ")";
    }
    return g_strcmp0(remote, kOperationInProgress) == 0 ? Answer::Busy : Answer::Failed;
  }
  GVariant* body = g_dbus_message_get_body(reply);
  GUnixFDList* fds = g_dbus_message_get_unix_fd_list(reply);
  if (body == nullptr || !g_variant_is_of_type(body, G_VARIANT_TYPE("(h)")) || fds == nullptr) {
    if (error) *error = {EIO, "logind answered the lock request without a file descriptor"};
    return Answer::Failed;
  }
  gint32 handle = 0;
  g_variant_get(body, "(h)", &handle);
  // g_unix_fd_list_get hands out a duplicate with close-on-exec set, so a
  // program we might start never keeps the machine from sleeping; the list
  // closes its own copy when the reply goes.
  g_autoptr(GError) fdError = nullptr;
  const int fd = g_unix_fd_list_get(fds, handle, &fdError);
  if (fd < 0) {
    if (error) *error = {EIO, "cannot take logind's lock fd: " + describe(fdError)};
    return Answer::Failed;
  }
  lockFd_ = fd;
  const char* sender = g_dbus_message_get_sender(reply);
  logindOwner_ = sender != nullptr ? sender : "";
  return Answer::Taken;
}

std::optional<uint64_t> LogindSleepInhibitor::inhibitDelayMaxUSec() const {
  return readInhibitDelayMaxUSec(connection_, kCallTimeoutMs, nullptr);
}

std::optional<LogindSleepInhibitor::Listing> LogindSleepInhibitor::list(const Options& options,
                                                                        int pid,
                                                                        SystemError* error) {
  // One second for the handshake and both calls together: a bus or a logind
  // that does not answer (stopped, hung) is cancelled then.
  using namespace std::chrono_literals;
  const auto deadline = std::chrono::steady_clock::now() + 1s;
  g_autoptr(GCancellable) cancellable = g_cancellable_new();
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::thread timer([&] {
    std::unique_lock<std::mutex> lock(mutex);
    if (!finished.wait_until(lock, deadline, [&] { return done; }))
      g_cancellable_cancel(cancellable);
  });
  const auto remainingMs = [&] {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return std::max<int>(1, static_cast<int>(left.count()));
  };
  std::optional<Listing> listing;
  g_autoptr(GError) gerror = nullptr;
  g_autoptr(GDBusConnection) connection = connectToSystemBus(options, cancellable, error);
  g_autoptr(GVariant) locks =
      connection == nullptr
          ? nullptr
          : g_dbus_connection_call_sync(connection, kLogindName, kLogindPath, kManagerInterface,
                                        "ListInhibitors", nullptr, G_VARIANT_TYPE("(a(ssssuu))"),
                                        G_DBUS_CALL_FLAGS_NONE, remainingMs(), cancellable,
                                        &gerror);
  if (locks != nullptr) {
    listing.emplace();
    g_autoptr(GVariantIter) iter = nullptr;
    g_variant_get(locks, "(a(ssssuu))", &iter);
    const char *what, *who, *why, *mode;
    guint32 uid, holder;
    while (g_variant_iter_next(iter, "(&s&s&s&suu)", &what, &who, &why, &mode, &uid, &holder))
      listing->lockListed |= std::string_view(what).find("sleep") != std::string_view::npos &&
                             who == options.who && g_strcmp0(mode, "delay") == 0 &&
                             uid == ::getuid() && static_cast<int>(holder) == pid;
    listing->inhibitDelayMaxUSec = readInhibitDelayMaxUSec(connection, remainingMs(), cancellable);
  } else if (connection != nullptr && error != nullptr) {
    g_dbus_error_strip_remote_error(gerror);
    *error = {EIO, "systemd-logind does not answer: " + describe(gerror)};
  }
  if (!listing && error != nullptr && g_cancellable_is_cancelled(cancellable))
    *error = {ETIMEDOUT, std::string(connection ? "systemd-logind" : "the system bus") +
                             " did not answer within a second"};
  {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  finished.notify_one();
  timer.join();
  return listing;
}

void LogindSleepInhibitor::onPrepareForSleep(GDBusConnection*, const char*, const char*,
                                             const char*, const char*, GVariant* parameters,
                                             gpointer self) {
  auto* me = static_cast<LogindSleepInhibitor*>(self);
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
  gboolean start = FALSE;
  g_variant_get(parameters, "(b)", &start);
  if (start) {
    // A lock granted now would only hold this sleep back; logind refuses new
    // ones until the sleep is over anyway.
    me->cancelRequest();
  } else {
    // A false also ends a sleep that failed; either way the next sleep needs a
    // lock again. Only asked for here: the wake is reported at once, since the
    // radio must come back on whether logind answers soon, late or never.
    me->requestLock();
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
  me->requestLock();
}

void LogindSleepInhibitor::onNameVanished(GDBusConnection*, const char*, gpointer self) {
  // The lock died with its logind; keep no stale fd around.
  auto* me = static_cast<LogindSleepInhibitor*>(self);
  me->logindOwner_.clear();
  me->releaseLock();
}
