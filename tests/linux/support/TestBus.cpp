// Test buses: GLib's private dbus-daemon, where any client of this user may
// own any name and call anything, as root may on a real system bus.
#include "tests/linux/support/TestBus.h"

#include <signal.h>

#include <chrono>

bool runUntil(const std::function<bool()>& condition, int limitMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (!g_main_context_iteration(g_main_context_get_thread_default(), FALSE)) g_usleep(2000);
  }
  return true;
}

namespace {

// Starts a child on the given system bus, its output silenced; nullptr, and
// the reason, when it cannot start.
GSubprocess* spawn(const std::vector<const char*>& argv, const std::string& bus,
                   std::string* error) {
  g_autoptr(GSubprocessLauncher) launcher =
      g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDOUT_SILENCE);
  g_subprocess_launcher_setenv(launcher, "DBUS_SYSTEM_BUS_ADDRESS", bus.c_str(), TRUE);
  std::vector<const char*> args = argv;
  args.push_back(nullptr);
  g_autoptr(GError) gerror = nullptr;
  GSubprocess* child = g_subprocess_launcher_spawnv(launcher, args.data(), &gerror);
  if (child == nullptr) *error = gerror->message;
  return child;
}

// SIGTERM, then waits for it to end.
void stop(GSubprocess*& child) {
  if (child == nullptr) return;
  g_subprocess_send_signal(child, SIGTERM);
  g_subprocess_wait(child, nullptr, nullptr);
  g_clear_object(&child);
}

}  // namespace

PrivateSystemBus::PrivateSystemBus() : bus_(g_test_dbus_new(G_TEST_DBUS_NONE)) {
  g_test_dbus_up(bus_);
  address_ = g_test_dbus_get_bus_address(bus_);
  g_autoptr(GError) gerror = nullptr;
  connection_ = g_dbus_connection_new_for_address_sync(
      address_.c_str(),
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &gerror);
  if (connection_ == nullptr)
    error_ = std::string("cannot connect to the test bus: ") + gerror->message;
}

PrivateSystemBus::~PrivateSystemBus() {
  if (connection_ != nullptr) {
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
  }
  g_test_dbus_down(bus_);
  g_object_unref(bus_);
}

std::string PrivateSystemBus::nameOwner(const char* name) const {
  g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
      connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "GetNameOwner", g_variant_new("(s)", name), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, -1,
      nullptr, nullptr);
  const char* owner = "";
  if (reply != nullptr) g_variant_get(reply, "(&s)", &owner);
  return owner;
}

MockLogind::MockLogind(PrivateSystemBus& bus, uint64_t inhibitDelayMaxUSec) : bus_(bus) {
  const std::string before = bus_.nameOwner("org.freedesktop.login1");
  const std::string parameters =
      "{\"InhibitDelayMaxUSec\": " + std::to_string(inhibitDelayMaxUSec) + "}";
  process_ = spawn({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template",
                    HUSHMOOR_MOCK_LOGIND_TEMPLATE, "-p", parameters.c_str()},
                   bus.address(), &error_);
  if (process_ == nullptr) return;
  running_ = runUntil(
      [&] {
        return (owner_ = bus_.nameOwner("org.freedesktop.login1")) != before && !owner_.empty();
      },
      20000);
  if (!running_) error_ = "the mock logind did not take its bus name";
}

void MockLogind::stop() {
  ::stop(process_);
  running_ = false;
  // Wait until the bus has seen it go, so a successor is a new owner.
  runUntil([&] { return bus_.nameOwner("org.freedesktop.login1") != owner_; });
}

GVariant* MockLogind::call(const char* interface, const char* method, GVariant* args,
                           const char* replyType) {
  // To this instance, even when a newer one has taken the name over.
  return g_dbus_connection_call_sync(bus_.connection(), owner_.c_str(), "/org/freedesktop/login1",
                                     interface, method, args,
                                     replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                                     G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
}

void MockLogind::emitPrepareForSleep(bool start) {
  g_autoptr(GVariant) reply =
      call("org.freedesktop.DBus.Mock", "EmitSignal",
           g_variant_new_parsed(
               "('org.freedesktop.login1.Manager', 'PrepareForSleep', 'b', [<%b>])", start),
           nullptr);
}

std::vector<Inhibitor> MockLogind::inhibitors() {
  std::vector<Inhibitor> result;
  g_autoptr(GVariant) reply =
      call("org.freedesktop.login1.Manager", "ListInhibitors", nullptr, "(a(ssssuu))");
  g_autoptr(GVariantIter) iter = nullptr;
  if (reply != nullptr) g_variant_get(reply, "(a(ssssuu))", &iter);
  const char *what, *who, *why, *mode;
  while (iter &&
         g_variant_iter_next(iter, "(&s&s&s&suu)", &what, &who, &why, &mode, nullptr, nullptr))
    result.emplace_back(what, who, why, mode);
  return result;
}

void MockLogind::failInhibit(const std::string& errorName, unsigned times) {
  g_autoptr(GVariant) reply = call("org.freedesktop.DBus.Mock", "FailInhibit",
                                   g_variant_new("(su)", errorName.c_str(), times), nullptr);
}

unsigned MockLogind::holdInhibit(bool hold) {
  g_autoptr(GVariant) reply =
      call("org.freedesktop.DBus.Mock", "HoldInhibit", g_variant_new("(b)", hold), "(u)");
  guint32 count = 0;
  if (reply != nullptr) g_variant_get(reply, "(u)", &count);
  return count;
}
