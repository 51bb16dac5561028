// NSApplicationMain and termination. SIGTERM, SIGINT and SIGHUP are turned
// into a run-loop source, so the termination they ask for runs on the main
// thread like any other, between two events.
#include "platform/appkit/NSApplication.h"

#include <glib-unix.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/appkit/ApplicationInstanceLock.h"
#include "platform/appkit/ProcessExit.h"
#include "platform/corefoundation/CFRunLoop.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSProcessInfo.h"
#include "platform/foundation/PlatformServices.h"
#include "platform/foundation/TerminationRequest.h"

NSApplication* NSApp = nullptr;

void NSApplication::terminate(const NSObject*) {
  // A termination asked for while the delegate is being told (a signal during
  // shut-down) only ends the process.
  if (!terminating_) {
    terminating_ = true;
    if (delegate_) delegate_->applicationWillTerminate(NSNotification{});
  }
  currentProcessExit().exitProcess(0);
  std::abort();  // exitProcess does not return
}

namespace {

// Termination requests by signal, for the time of one NSApplicationMain.
class TerminationSignals {
 public:
  TerminationSignals() {
    source_ = CFRunLoopSourceCreateWithHandler([] {
      if (NSApp != nullptr) NSApp->terminate(nullptr);
    });
    CFRunLoopAddSource(CFRunLoopGetMain(), source_, kCFRunLoopCommonModes);
    watch_ = g_unix_fd_add(request_.fd(), G_IO_IN, onRequest, this);
  }
  ~TerminationSignals() {
    g_source_remove(watch_);
    CFRunLoopSourceDestroy(source_);
  }
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  static gboolean onRequest(gint, GIOCondition, gpointer self) {
    auto* signals = static_cast<TerminationSignals*>(self);
    signals->request_.acknowledge();
    CFRunLoopSourceSignal(signals->source_);
    return G_SOURCE_CONTINUE;
  }

  TerminationRequest request_;
  CFRunLoopSourceRef source_;
  guint watch_ = 0;
};

// "com.kestrova.Hushmoor" -> "Hushmoor".
std::string applicationName(const std::string& bundleIdentifier) {
  return bundleIdentifier.substr(bundleIdentifier.find_last_of('.') + 1);
}

}  // namespace

int NSApplicationMain(int argc, const char* argv[]) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
  NSProcessInfo::processInfo().setArguments(std::move(arguments));

  const NSMainInterface mainInterface = NSLoadMainInterface();

  // Before anything of the application runs: a second copy touches nothing.
  ApplicationInstanceLock instance(mainInterface.bundleIdentifier);
  if (instance.outcome() == ApplicationInstanceLock::Outcome::AlreadyRunning) {
    NSLog("INFO: %s is already running; this launch leaves it in charge",
          applicationName(mainInterface.bundleIdentifier));
    return 0;
  }
  if (instance.outcome() == ApplicationInstanceLock::Outcome::Unavailable)
    NSLog("WARN (%s:%d): running without the check for another copy: %s", __func__, __LINE__,
          instance.problem());

  NSBundle::setMainBundleIdentifier(mainInterface.bundleIdentifier);
  // The machine's own launch step (the radio a crashed run left off comes
  // back on) belongs to the one copy that runs, before the application.
  if (const auto& step = PlatformServices::current().launchStep) step();

  NSApplication application;
  NSApp = &application;
  int status = 0;
  {
    TerminationSignals signals;
    try {
      application.setDelegate(mainInterface.makeDelegate());
      if (auto delegate = application.delegate()) {
        delegate->applicationDidFinishLaunching(NSNotification{});
        CFRunLoopRun();
      } else {
        status = 1;  // the main interface could not make the delegate
      }
    } catch (const SimulatedProcessExit& exit) {
      status = exit.status;
    }
  }
  NSApp = nullptr;
  return status;
}
