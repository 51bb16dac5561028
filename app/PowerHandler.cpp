// MySleepCallBack: the radio goes off before the system sleeps, the sleep is
// held back SleepDelay seconds, and the radio comes back on after wake when it
// had been on.
#include "app/PowerHandler.h"

#include <climits>
#include <memory>

#include "platform/corewlan/CWInterface.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/Sleeper.h"

bool airportWasOn = false;
io_connect_t powerConnection = 0;
IONotificationPortRef powerNotificationPort = nullptr;
io_object_t powerNotifier = 0;

void resetProcessWideStateForTesting() {
  airportWasOn = false;
  powerConnection = 0;
  powerNotificationPort = nullptr;
  powerNotifier = 0;
}

unsigned int sleepDelaySeconds(long sleepDelay) {
  // 0 means the default 5. A negative value is a mistake in the settings, not
  // a wish to wait for years once converted to the unsigned count sleep takes:
  // it is treated like 0. Values beyond what sleep takes are cut to its limit.
  if (sleepDelay <= 0) return 5;
  if (static_cast<unsigned long>(sleepDelay) > UINT_MAX) return UINT_MAX;
  return static_cast<unsigned int>(sleepDelay);
}

unsigned int configuredSleepWaitSeconds() {
  return sleepDelaySeconds(NSUserDefaults::standardUserDefaults().integerForKey("SleepDelay"));
}

void MySleepCallBack(void* refCon, io_service_t service, natural_t messageType,
                     void* messageArgument) {
  (void)refCon;
  (void)service;
  std::shared_ptr<NSError> error;  // no error object before any power request

  // Looked up afresh for every notification: the interface may come and go.
  std::shared_ptr<CWInterface> airport = CWInterface::interfaceWithName("en1");
  if (!airport) NSLog("WARN (%s:%d): couldn't get interface to 'en1'", __func__, __LINE__);

  // Without an interface the radio reads as off and every power request fails
  // with no error object.
  const auto radioIsOn = [&] { return airport && airport->power(); };
  const auto setRadio = [&](bool on) { return airport && airport->setPower(on, &error); };
  const intptr_t notificationID = reinterpret_cast<intptr_t>(messageArgument);

  switch (messageType) {
    case kIOMessageSystemWillSleep:
      airportWasOn = radioIsOn();
      if (airportWasOn) {
        if (setRadio(false)) {
          // Read now, not at launch: a SleepDelay changed meanwhile applies.
          platform::sleep(configuredSleepWaitSeconds());
        } else {
          NSLog("WARN (%s:%d): error trying to turn airport off: %@", __func__, __LINE__, error);
        }
      }
      IOAllowPowerChange(powerConnection, notificationID);
      break;
    case kIOMessageCanSystemSleep:
      IOAllowPowerChange(powerConnection, notificationID);
      break;
    case kIOMessageSystemHasPoweredOn:
      if (airportWasOn && !setRadio(true))
        NSLog("WARN (%s:%d): error trying to turn airport on: %@", __func__, __LINE__, error);
      break;
    default:
      break;
  }
}
