// Controller: start-up and shut-down of the sleep/wake application.
#include "app/Controller.h"

#include <string>

#include "app/PowerHandler.h"
#include "loginitems/SelfRegistration.h"
#include "platform/corefoundation/CFRunLoop.h"
#include "platform/corewlan/CWInterface.h"
#include "platform/foundation/NSUserDefaults.h"

Controller* Controller::init() {
  if (NSObject::init() == nullptr) return nullptr;
  NSUserDefaults::standardUserDefaults().registerDefaults({
      {"SleepDelay", NSDefaultsValue{5L}},
      {"RanBefore", NSDefaultsValue{false}},
  });
  return this;
}

void Controller::applicationDidFinishLaunching(const NSNotification&) {
  NSUserDefaults& defaults = NSUserDefaults::standardUserDefaults();

  // 1. First run: the welcome. RanBefore reaches the disk at the latest when
  //    the application terminates.
  if (!defaults.boolForKey("RanBefore")) {
    NSRunAlertPanel("Welcome!",
                    "Hushmoor will run efficiently and quietly in the background, making sure "
                    "that your computer goes to sleep when you tell it to. It will also "
                    "automatically add itself to the list of login items so that you don't have "
                    "to do anything else!\n\nEnjoy,\nYour friends at Kestrova",
                    "OK", std::nullopt, std::nullopt);
    defaults.setBool(true, "RanBefore");
  }

  // 2. Self-registration in the login items: it only logs its failures, and
  //    steps 3 to 5 use nothing it produces.
  registerSelfInLoginItems();

  // 3. Interface check.
  if (!CWInterface::interfaceWithName("en1")) {
    NSRunAlertPanel("Error", "Couldn't access airport! Hushmoor cannot run.", "OK", std::nullopt,
                    std::nullopt);
    NSApp->terminate(this);
  }

  // 4. Power registration.
  powerConnection = IORegisterForSystemPower(&powerNotificationPort, &powerNotificationPort,
                                             MySleepCallBack, &powerNotifier);
  if (powerConnection == 0) {
    // What the platform knows of the cause (logind refusing a user) goes
    // beside the message.
    const std::string causes = IORegistrationFailureCauses();
    NSRunAlertPanel("Error", "Failed to register for sleep notifications. Hushmoor cannot run.%s",
                    "OK", std::nullopt, std::nullopt, causes.empty() ? causes : "\n\n" + causes);
    NSApp->terminate(this);
  }

  // 5. From now on the main run loop delivers the notifications.
  CFRunLoopAddSource(CFRunLoopGetCurrent(),
                     IONotificationPortGetRunLoopSource(powerNotificationPort),
                     kCFRunLoopCommonModes);
}

void Controller::applicationWillTerminate(const NSNotification&) {
  NSUserDefaults::standardUserDefaults().synchronize();
  // Only a registration that was made is undone, in the reverse order of its
  // set-up; the results of these calls are of no further use.
  if (powerConnection != 0) {
    CFRunLoopRemoveSource(CFRunLoopGetCurrent(),
                          IONotificationPortGetRunLoopSource(powerNotificationPort),
                          kCFRunLoopCommonModes);
    IODeregisterForSystemPower(&powerNotifier);
    IOServiceClose(powerConnection);
    IONotificationPortDestroy(powerNotificationPort);
  }
}
