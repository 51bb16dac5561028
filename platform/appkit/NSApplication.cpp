// NSApplicationMain and termination. SIGTERM and SIGINT are turned into a
// run-loop source, so the termination they ask for runs on the main thread
// like any other, between two events.
#include "platform/appkit/NSApplication.h"

#include <glib-unix.h>
#include <signal.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/appkit/ProcessExit.h"
#include "platform/corefoundation/CFRunLoop.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSProcessInfo.h"

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

gboolean onTerminationSignal(gpointer source) {
  CFRunLoopSourceSignal(static_cast<CFRunLoopSourceRef>(source));
  return G_SOURCE_CONTINUE;
}

// Termination requests by signal, for the time of one NSApplicationMain.
class TerminationSignals {
 public:
  TerminationSignals() {
    source_ = CFRunLoopSourceCreateWithHandler([] {
      if (NSApp != nullptr) NSApp->terminate(nullptr);
    });
    CFRunLoopAddSource(CFRunLoopGetMain(), source_, kCFRunLoopCommonModes);
    sigterm_ = g_unix_signal_add(SIGTERM, onTerminationSignal, source_);
    sigint_ = g_unix_signal_add(SIGINT, onTerminationSignal, source_);
  }
  ~TerminationSignals() {
    g_source_remove(sigterm_);
    g_source_remove(sigint_);
    CFRunLoopSourceDestroy(source_);
  }
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  CFRunLoopSourceRef source_;
  guint sigterm_ = 0;
  guint sigint_ = 0;
};

}  // namespace

int NSApplicationMain(int argc, const char* argv[]) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
  NSProcessInfo::processInfo().setArguments(std::move(arguments));

  const NSMainInterface mainInterface = NSLoadMainInterface();
  NSBundle::setMainBundleIdentifier(mainInterface.bundleIdentifier);

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
