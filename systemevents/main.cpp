// System Events: the per-user service that owns the login items. It serves
// the login-item events under the creator 'sevs' and quits after a period of
// idleness; the next event starts it again.
#include <glib-unix.h>
#include <glib.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/applevents/AEEventServer.h"
#include "platform/foundation/LogSinkJournal.h"
#include "platform/foundation/PlatformServices.h"
#include "platform/foundation/UserFolders.h"
#include "systemevents/Diagnostics.h"
#include "systemevents/LoginItemStore.h"
#include "systemevents/SystemEventsControl.h"
#include "systemevents/SystemEventsHandler.h"

namespace {

int idleQuitSeconds() {
  const char* value = std::getenv(kSystemEventsIdleQuitVariable);
  if (value == nullptr || *value == '\0') return kSystemEventsDefaultIdleQuitSeconds;
  char* end = nullptr;
  long seconds = std::strtol(value, &end, 10);
  if (*end != '\0' || seconds < 0 || seconds > 86400) {
    systemevents::reportProblem("ignoring %s=%s", kSystemEventsIdleQuitVariable, value);
    return kSystemEventsDefaultIdleQuitSeconds;
  }
  return static_cast<int>(seconds);
}

#ifdef HUSHMOOR_SYSTEM_EVENTS_TEST_HOOKS
// The failure hooks of the build tree's System Events, which the tests and the
// simulator use; the installed program is built without them, so no process
// of the user can make it refuse the login-item events.

// The status every event is refused with from the start, or noErr.
OSStatus initialFailure() {
  const char* value = std::getenv(kSystemEventsFailureVariable);
  if (value == nullptr || *value == '\0') return noErr;
  char* end = nullptr;
  long status = std::strtol(value, &end, 10);
  if (*end != '\0' || status < INT32_MIN || status > INT32_MAX) {
    systemevents::reportProblem("ignoring %s=%s", kSystemEventsFailureVariable, value);
    return noErr;
  }
  return static_cast<OSStatus>(status);
}

// The control event sets *failure; while it is nonzero, every other event but
// 'quit' is answered with it. True when the event has been answered here.
bool answerTestHook(const AppleEvent& event, AppleEvent* reply, OSStatus* failure) {
  AEEventClass eventClass = 0;
  AEEventID eventID = 0;
  AEGetAttributePtr(&event, keyEventClassAttr, typeType, nullptr, &eventClass, 4, nullptr);
  AEGetAttributePtr(&event, keyEventIDAttr, typeType, nullptr, &eventID, 4, nullptr);
  if (eventClass == kSystemEventsControlClass && eventID == kSystemEventsFailEvent) {
    SInt32 value = 0;
    OSStatus status =
        AEGetParamPtr(&event, keyDirectObject, typeSInt32, nullptr, &value, sizeof value, nullptr);
    if (status == noErr)
      *failure = value;
    else
      systemevents::putErrorNumber(reply, status);
    return true;
  }
  if (*failure == noErr || (eventClass == kCoreEventClass && eventID == kAEQuitApplication))
    return false;
  systemevents::putErrorNumber(reply, *failure);
  return true;
}
#endif

struct Service {
  GMainLoop* loop = nullptr;
  std::unique_ptr<AEEventServer> server;
  int idleQuit = 0;
};

gboolean quitLoop(gpointer data) {
  g_main_loop_quit(static_cast<Service*>(data)->loop);
  return G_SOURCE_REMOVE;
}

// One timer for the idle time, set again for what is left of it when there
// was activity meanwhile: an idle System Events wakes up only to quit.
gboolean checkIdle(gpointer data) {
  auto* service = static_cast<Service*>(data);
  const gint64 idle = g_get_monotonic_time() - service->server->lastActivity();
  const gint64 left = gint64(service->idleQuit) * G_USEC_PER_SEC - idle;
  if (left <= 0)
    g_main_loop_quit(service->loop);
  else
    g_timeout_add(static_cast<guint>((left + 999) / 1000), &checkIdle, service);
  return G_SOURCE_REMOVE;
}

}  // namespace

int main() {
  std::signal(SIGPIPE, SIG_IGN);
  PlatformServices::exchange({.logSink = makeJournalLogSink({.identifier = "System Events"})});
  systemevents::LoginItemStore store(UserFolders::config() + "/autostart");
  systemevents::SystemEventsHandler handler(store);
#ifdef HUSHMOOR_SYSTEM_EVENTS_TEST_HOOKS
  OSStatus failure = initialFailure();
#endif

  Service service;
  service.idleQuit = idleQuitSeconds();
  service.loop = g_main_loop_new(nullptr, FALSE);
  OSStatus err =
      AEEventServer::create(kSystemEventsCreator,
                            [&](const AppleEvent& event, AppleEvent* reply) {
#ifdef HUSHMOOR_SYSTEM_EVENTS_TEST_HOOKS
                              if (answerTestHook(event, reply, &failure)) return;
#endif
                              handler.handle(event, reply);
                              // Quit after this reply has gone out.
                              if (handler.quitRequested()) g_idle_add(&quitLoop, &service);
                            },
                            nullptr, &service.server, {.maxMessage = systemevents::kMaxEventSize});
  if (err != noErr) {
    systemevents::reportProblem(
        "cannot serve events (status %d)%s", static_cast<int>(err),
        err == kAECreatorAlreadyServedErr ? ": another one is running" : "");
    g_main_loop_unref(service.loop);
    return err == kAECreatorAlreadyServedErr ? 0 : 1;
  }
  // Only now, with the single-instance lock held, is no other System Events
  // writing: a temporary file left in the folder is a crash's leftover.
  store.removeLeftovers();
  g_unix_signal_add(SIGTERM, &quitLoop, &service);
  g_unix_signal_add(SIGINT, &quitLoop, &service);
  if (service.idleQuit > 0) g_timeout_add_seconds(service.idleQuit, &checkIdle, &service);

  g_main_loop_run(service.loop);
  service.server.reset();
  g_main_loop_unref(service.loop);
  return 0;
}
