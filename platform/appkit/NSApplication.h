// NSApplication: the application's life. NSApplicationMain creates the one
// delegate through the main interface, tells it that launching has finished,
// and runs the main run loop until `NSApp->terminate()`; SIGTERM, SIGINT and
// SIGHUP lead to the same orderly termination. One copy runs per user (see
// ApplicationInstanceLock.h).
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/appkit/AlertPresenter.h"
#include "platform/foundation/FormatString.h"
#include "platform/foundation/NSString.h"

class NSObject {
 public:
  virtual ~NSObject() = default;
  // Sets the object up; none when that fails (a plain object never fails).
  NSObject* init() { return this; }
};

struct NSNotification {};

class NSApplicationDelegate : public NSObject {
 public:
  virtual void applicationDidFinishLaunching(const NSNotification& notification) = 0;
  virtual void applicationWillTerminate(const NSNotification& notification) = 0;
};

// The application's main interface: what the bundle's main interface file
// holds on the other platform. The application supplies one (see
// NSMainInterfaceDefinition) and NSApplicationMain loads it.
struct NSMainInterface {
  const char* bundleIdentifier;
  std::function<std::shared_ptr<NSApplicationDelegate>()> makeDelegate;
};
// Defined by the application's main interface unit.
NSMainInterface NSLoadMainInterface();

class NSApplication {
 public:
  std::shared_ptr<NSApplicationDelegate> delegate() const { return delegate_; }
  void setDelegate(std::shared_ptr<NSApplicationDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  // Tells the delegate applicationWillTerminate, then ends the process (on the
  // simulated machine: the launch). Never returns.
  [[noreturn]] void terminate(const NSObject* sender);

 private:
  std::shared_ptr<NSApplicationDelegate> delegate_;
  bool terminating_ = false;
};

// The shared application; none before NSApplicationMain has started.
extern NSApplication* NSApp;

// Runs the application; returns the exit status (only when the loop ends
// without a termination, which ends the process). When another copy of the
// application already runs, logs one INFO line and returns 0 at once;
// otherwise the platform services' launch step runs before the delegate is
// made. Main thread; blocks until the application ends.
int NSApplicationMain(int argc, const char* argv[]);

// Shows a modal alert panel and returns the button that closed it
// (NSAlertDefaultReturn, ...). Buttons left out are not shown.
template <class... Args>
long NSRunAlertPanel(const NSString& title, FormatString<std::type_identity_t<Args>...> msgFormat,
                     std::optional<NSString> defaultButton, std::optional<NSString> alternateButton,
                     std::optional<NSString> otherButton, const Args&... args) {
  return currentAlertPresenter().runModal(
      AlertPanel{title, NSString::stringWithUTF8String(formatToUTF8(msgFormat, args...)),
                 std::move(defaultButton), std::move(alternateButton), std::move(otherButton)});
}
